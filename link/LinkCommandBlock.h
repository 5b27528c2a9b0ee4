// SPDX-License-Identifier: GPL-3.0-or-later
// The command area that the windows and the link thread share. Windows post a
// request by writing its payload, then setting its flag; the link serves it
// at a fixed point of its next pass and clears one-shot flags. Flags are
// atomic bytes: stored with release, loaded with acquire.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

#include "link/RequestFrame.h"
#include "link/WireLayout.h"
#include "platform/SharedText.h"

namespace klink {

using Flag = std::atomic<std::uint8_t>;

inline void post(Flag& f) { f.store(1, std::memory_order_release); }
inline void clearFlag(Flag& f) { f.store(0, std::memory_order_release); }
inline bool isSet(const Flag& f) { return f.load(std::memory_order_acquire) == 1; }
// Clears a set flag and says whether it was: a request posted again after
// this is served once more.
inline bool take(Flag& f) { return f.exchange(0, std::memory_order_acq_rel) == 1; }

// A command that changes something in the ECU: clearing the codes (14),
// a reset (11, its kind), an output's switching, adjustment or handing back
// (30, its local identifier and its option: 06 with the state, FF or 00;
// 07 with the value; 00).
struct CommandKey {
    std::uint8_t service = 0;
    std::uint8_t parameter = 0;
    std::uint8_t option = 0;
    std::uint8_t state = 0;
    bool operator==(const CommandKey&) const = default;
    // An adjustment (option 07): its state is the value sent. Its frame holds
    // only the newest value asked, so a later one replaces what is unsent.
    bool adjusts() const { return service == 0x30 && option == 0x07; }
    // An output or adjustment handed back to the ECU (option 00).
    bool handsBack() const { return service == 0x30 && option == 0x00; }
};

constexpr std::size_t kActuatorCount = 12;
constexpr std::size_t kAdjustCount = 3;

// Local identifiers of the on/off outputs, in the order the pass visits them.
constexpr std::array<std::uint8_t, kActuatorCount> kActuatorLids = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                                                                    0x09, 0x0A, 0x0D, 0x0B, 0x0E, 0x0C};
constexpr std::array<std::uint8_t, kAdjustCount> kAdjustLids = {0x41, 0x42, 0x43};

// The ignition coils and the fuel-pump relay can only be switched on; the
// ECU reports refusals for them while the engine runs.
constexpr bool actuatorHasOff(std::uint8_t lid) { return lid != 0x05 && lid != 0x06 && lid != 0x09; }

struct ActuatorCommand {
    Flag reportRequest{0};
    Flag releaseRequest{0};
    Flag onRequest{0};
    Flag offRequest{0};              // never served for LIDs 05, 06 and 09
    platform::SharedText stateText;  // "ВКЛ", "ВЫКЛ" or "Заглушите двигатель" (1251)
};

// The shortTermAdjustment frame of one adjustable output. The window writes
// bytes 6 and 7; the link copies the whole frame before sending it.
class AdjustFrame {
public:
    void setHeader(const std::array<std::uint8_t, 6>& header) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = 0; i < header.size(); ++i) bytes_[i] = header[i];
    }
    // The value and, computed from the whole frame, the checksum.
    void setValue(std::uint8_t value) {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_[6] = value;
        bytes_[7] = frameChecksum(bytes_.data(), 7);
    }
    std::array<std::uint8_t, 8> copy() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }

private:
    mutable std::mutex mutex_;
    std::array<std::uint8_t, 8> bytes_{};
};

struct AdjustCommand {
    Flag reportRequest{0};
    Flag releaseRequest{0};
    Flag adjustRequest{0};
    std::atomic<std::int32_t> adjustValue{0};  // the window's choice; the link never reads it
    std::atomic<std::int32_t> inEffect{0};     // the ECU's: the last value it took, or may have
    AdjustFrame adjustFrame;
    std::array<std::uint8_t, kCommandReplySize> reply{};  // link thread only
};

// The raw error-code reply. The link stores each reply's received bytes over
// the previous contents; readers take whole copies.
class DtcReplyBuffer {
public:
    using Bytes = std::array<std::uint8_t, kDtcReplySize>;
    void storeReceived(const std::uint8_t* data, std::size_t size) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (awaitingClear_) return;
        for (std::size_t i = 0; i < size && i < bytes_.size(); ++i) bytes_[i] = data[i];
        ++received_;
        clearedSinceRead_ = false;
    }
    // A clear is asked: the reply empties, and until the clear has gone out
    // no reply is stored. A pass reads the codes before it clears them, so
    // the read in that pass would show the codes just cleared as read again.
    void awaitClear() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!awaitingClear_) {
            beforeClear_ = bytes_;
            clearedBefore_ = clearedSinceRead_;
        }
        bytes_.fill(0);
        awaitingClear_ = true;
        clearedSinceRead_ = true;
    }
    // The clear went out, or was dropped: replies are stored again. One the
    // ECU did not confirm (refused, unanswered, never sent) leaves the codes
    // as they were last read: the ECU may still hold them.
    void clearGone(bool confirmed) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (awaitingClear_ && !confirmed) {
            bytes_ = beforeClear_;
            clearedSinceRead_ = clearedBefore_;
        }
        awaitingClear_ = false;
    }
    Bytes copy() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }
    // The reply with how many have been stored so far (a new one since an
    // earlier copy when the count grew).
    Bytes copy(std::uint64_t& received) const {
        std::lock_guard<std::mutex> lock(mutex_);
        received = received_;
        return bytes_;
    }
    std::uint8_t at(std::size_t i) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return i < bytes_.size() ? bytes_[i] : 0;
    }
    // Whether the reply holds codes as read: none stored yet, or emptied by
    // a clear and none stored since, says nothing of what the ECU keeps.
    enum class State { NotRead, Read, Cleared };
    State state() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return clearedSinceRead_ ? State::Cleared : received_ == 0 ? State::NotRead : State::Read;
    }

private:
    mutable std::mutex mutex_;
    Bytes bytes_{};
    std::uint64_t received_ = 0;
    bool awaitingClear_ = false;
    bool clearedSinceRead_ = false;
    Bytes beforeClear_{};  // what a clear not confirmed gives back
    bool clearedBefore_ = false;
};

struct LinkCommandBlock {
    DtcReplyBuffer dtcReply;
    Flag dtcClearRequest{0};
    Flag dtcReadRequest{0};
    Flag controlActive{0};
    std::array<ActuatorCommand, kActuatorCount> actuator;
    std::array<AdjustCommand, kAdjustCount> adjust;
    Flag ecuResetRequest{0};
    Flag ecuInitRequest{0};

    // Drops what the windows asked of the ECU that no link has carried yet
    // (a clear, a reset, an output switched or stepped): it belongs to the
    // moment it was asked in, not to the next "Старт" or connection.
    // dropped is told each command dropped. The outputs' releases and
    // reports stay.
    void dropCommands(const std::function<void(const CommandKey&)>& dropped = {}) {
        const auto drop = [&dropped](Flag& f, const CommandKey& key) {
            if (take(f) && dropped) dropped(key);
        };
        drop(dtcClearRequest, {0x14, 0x00, 0x00});
        dtcReply.clearGone(false);
        drop(ecuResetRequest, {0x11, 0x01, 0x00});
        drop(ecuInitRequest, {0x11, 0x90, 0x00});
        for (std::size_t i = 0; i < kActuatorCount; ++i) {
            drop(actuator[i].onRequest, {0x30, kActuatorLids[i], 0x06, 0xFF});
            drop(actuator[i].offRequest, {0x30, kActuatorLids[i], 0x06, 0x00});
        }
        for (std::size_t i = 0; i < kAdjustCount; ++i)
            drop(adjust[i].adjustRequest, {0x30, kAdjustLids[i], 0x07, adjust[i].adjustFrame.copy()[6]});
    }

    // True while an output's release waits for the link.
    bool releasePending() const {
        for (const ActuatorCommand& a : actuator)
            if (isSet(a.releaseRequest)) return true;
        for (const AdjustCommand& a : adjust)
            if (isSet(a.releaseRequest)) return true;
        return false;
    }

    // Index of an output's record by its local identifier; -1 if none.
    static int actuatorIndex(std::uint8_t lid) {
        for (std::size_t i = 0; i < kActuatorLids.size(); ++i)
            if (kActuatorLids[i] == lid) return static_cast<int>(i);
        return -1;
    }
};

}  // namespace klink
