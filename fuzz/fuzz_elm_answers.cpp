// SPDX-License-Identifier: GPL-3.0-or-later
// The line through an ELM327-type adapter fed arbitrary adapter text: every
// read of the port returns the next bytes of the input. Whatever comes, each
// request's bytes read back begin with its echo, whole and in place.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "link/Elm327Line.h"
#include "link/RequestCatalogue.h"

namespace {

class ScriptedPort : public platform::SerialLine {
public:
    ScriptedPort(const std::uint8_t* d, std::size_t n) : data_(d), size_(n) {}
    std::function<void()> atEnd;
    bool open() override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    void write(const std::uint8_t*, std::size_t) override {}
    std::size_t read(std::uint8_t* buffer, std::size_t max) override {
        if (pos_ >= size_) {
            if (atEnd) atEnd();
            return 0;
        }
        const std::size_t n = std::min<std::size_t>({data_[pos_++] % 64u, max, size_ - pos_});
        std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        return n;
    }
    void purgeReceive() override {}
    void wakeUp() override {}
    void interrupt() override {}
    bool done() const { return pos_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ScriptedPort port(data, size);
    klink::Elm327Line line(port);
    port.atEnd = [&line] { line.interrupt(); };
    if (!line.open()) return 0;
    const klink::RequestCatalogue frames;
    const klink::RequestFrame* asked[] = {&frames.startCommunication, &frames.liveData01, &frames.liveData03,
                                          &frames.dtcRead, &frames.ecuIdentification};
    std::uint8_t reply[2048];
    for (int turn = 0; turn < 64 && !port.done(); ++turn) {
        if (turn % 7 == 0) line.wakeUp();
        const klink::RequestFrame& f = *asked[turn % 5];
        line.write(f.data(), f.length);
        const std::size_t n = line.read(reply, sizeof reply);
        if (n < f.length || std::memcmp(reply, f.data(), f.length) != 0) std::abort();
        line.purgeReceive();
    }
    return 0;
}
