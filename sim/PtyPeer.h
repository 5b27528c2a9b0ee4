// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated adapter and ECU on the master side of a pseudo-terminal, so
// that the real termios layer can be driven end to end: open slavePath() as
// the serial device. A 0x00 byte arriving between frames is taken as the
// wake-up (that is what the slow-byte wake-up puts on a pseudo-terminal).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/AdapterCore.h"
#include "sim/ElmCore.h"

namespace sim {

class PtyPeer {
public:
    explicit PtyPeer(SimOptions options = {});
    // An ELM327-type adapter on the pseudo-terminal instead of a K-line one.
    explicit PtyPeer(ElmOptions elm);
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }

    template <typename Fn>
    auto withCore(Fn&& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(core_);
    }
    template <typename Fn>
    auto withElm(Fn&& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(*elm_);
    }
    // Bytes as they arrived at the master, with their times.
    std::vector<TimedByte> received() const;
    // Closes the master: the slave side sees the device vanish.
    void hangUp();

private:
    void begin();
    void run();

    mutable std::mutex mutex_;
    AdapterCore core_;
    std::unique_ptr<ElmCore> elm_;
    int master_ = -1;
    int stopFd_ = -1;
    std::string slavePath_;
    std::vector<TimedByte> arrived_;
    std::vector<TimedByte> pending_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace sim
