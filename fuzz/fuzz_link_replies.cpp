// SPDX-License-Identifier: GPL-3.0-or-later
// The link fed arbitrary reply bytes: every read returns the next bytes of
// the input, as a broken adapter or a noisy line might deliver them.
#include <algorithm>
#include <cstring>

#include "ecu/EcuDecoder.h"
#include "link/Com_Port.h"

namespace {

class ScriptedLine : public platform::SerialLine {
public:
    ScriptedLine(const std::uint8_t* d, std::size_t n) : data_(d), size_(n) {}
    bool open() override { return pos_ < size_ && data_[pos_++] != 0xEE; }
    void close() override {}
    bool isOpen() const override { return true; }
    void write(const std::uint8_t*, std::size_t) override {}
    std::size_t read(std::uint8_t* buffer, std::size_t max) override {
        if (pos_ >= size_) return 0;
        const std::size_t n = std::min<std::size_t>({data_[pos_++], max, size_ - pos_});
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
    ScriptedLine line(data, size);
    klink::LinkData shared;
    ecu::LiveDataStore store;
    ecu::EcuDecoder decoder(store);
    klink::Com_Port port(line, shared, &decoder);
    klink::post(shared.command.controlActive);
    klink::post(shared.command.dtcReadRequest);
    for (int turn = 0; turn < 64 && !line.done(); ++turn) {
        for (auto& a : shared.command.actuator) klink::post(a.reportRequest);
        klink::post(shared.command.actuator[4].onRequest);
        port.loopTurn();
    }
    return 0;
}
