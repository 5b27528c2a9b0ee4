// SPDX-License-Identifier: GPL-3.0-or-later
// KWP2000 request frames as the tester sends them: format byte, target 0x10,
// source 0xF1, service and parameters, additive checksum.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace klink {

constexpr std::uint8_t kEcuAddress = 0x10;
constexpr std::uint8_t kTesterAddress = 0xF1;

// Sum of the bytes modulo 256: the frame's last byte.
constexpr std::uint8_t frameChecksum(const std::uint8_t* bytes, std::size_t size) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += bytes[i];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

struct RequestFrame {
    std::array<std::uint8_t, 8> bytes{};
    std::uint8_t length = 0;    // 5..8
    std::uint16_t readMax = 0;  // how many reply bytes an exchange reads at most

    const std::uint8_t* data() const { return bytes.data(); }
};

// Builds a frame from the service byte and its parameters: prepends the
// header with the data length in the format byte, appends the checksum.
inline RequestFrame makeRequest(std::initializer_list<std::uint8_t> serviceAndParams, std::uint16_t readMax) {
    RequestFrame f;
    f.bytes[0] = static_cast<std::uint8_t>(0x80 + serviceAndParams.size());
    f.bytes[1] = kEcuAddress;
    f.bytes[2] = kTesterAddress;
    std::size_t n = 3;
    for (std::uint8_t b : serviceAndParams) f.bytes[n++] = b;
    f.bytes[n] = frameChecksum(f.bytes.data(), n);
    f.length = static_cast<std::uint8_t>(n + 1);
    f.readMax = readMax;
    return f;
}

}  // namespace klink
