// SPDX-License-Identifier: GPL-3.0-or-later
// Decoded live data: one channel per catalogue parameter that has data,
// indexed by the parameter's number. Zero and empty until the first pass.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "ecu/ParameterTable.h"

namespace ecu {

constexpr std::size_t kChannelSlots = kParameterCount + 1;  // index = parameter number

struct ParameterChannel {
    std::array<std::uint8_t, 2> raw{};  // as received, high byte first (one-byte sources in [0])
    float value = 0;                    // engineering units
    float plotValue = 0;                // mapped into the chart band, usually 0..100
    std::string valueText;              // 1251, fixed point
};

struct FlagChannel {
    std::uint8_t state = 0;
    std::int32_t plotValue = 0;  // 80 when set
    std::string flagName;        // the mnemonic, shown as a flag chart's readout
};

struct CounterChannel {
    std::array<std::uint8_t, 2> raw{};
    std::int32_t count = 0;
    float plotValue = 0;
};

struct BitByteRecord {
    std::uint8_t raw = 0;
    std::array<char, 8> bitText{'0', '0', '0', '0', '0', '0', '0', '0'};  // [k] for bit k
    // The eight bit texts from bit 7 down to bit 0, as a chart shows them.
    std::string chartText() const;
};

enum BitByteIndex { kByte1 = 0, kByte2 = 1, kByte3 = 2, kEvsup1 = 3 };

struct LiveData {
    std::array<ParameterChannel, kChannelSlots> analogue{};
    std::array<FlagChannel, kChannelSlots> flag{};
    std::array<CounterChannel, kChannelSlots> counter{};
    std::array<BitByteRecord, 4> bitByte{};
    std::array<std::string, 2> checksumText{};  // CHKSUMFL high, low
    std::uint8_t errorCount = 0;                // N_ERR
    float thrFraction = 0;                      // ADC_THR, carried from pass to pass

    // Sets each flag's mnemonic; done once when the data area is prepared.
    void setFlagNames();
    // The text a chart shows as the parameter's readout; empty where none.
    std::string chartReadout(int number) const;
    // The history sample of a charted parameter: plotValue truncated toward zero.
    std::int32_t sample(int number) const;
};

// The live data with the lock that the decoder holds while it writes and
// every reader holds while it copies.
class LiveDataStore {
public:
    template <typename Fn>
    auto read(Fn&& fn) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(static_cast<const LiveData&>(data_));
    }
    template <typename Fn>
    auto write(Fn&& fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        return fn(data_);
    }

private:
    mutable std::mutex mutex_;
    LiveData data_;
};

}  // namespace ecu
