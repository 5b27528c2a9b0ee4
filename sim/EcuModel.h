// SPDX-License-Identifier: GPL-3.0-or-later
// A Bosch M7.9.7 as seen from the K-line: answers the tester's requests from
// its state (session, identification, live-data bytes, stored error codes,
// outputs). Plain data and no timing: the adapter around it does the timing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct DtcRecord {
    std::uint8_t high, low, status;
};

class EcuModel {
public:
    // Data bytes of the live blocks: block01 holds reply positions 12..76 of
    // the 21 01 reply, block03 positions 11..27 of the 21 03 reply.
    static constexpr std::size_t kBlock01Size = 65;
    static constexpr std::size_t kBlock03Size = 17;
    static constexpr std::size_t kEcuIdSize = 93;  // reply positions 12..104

    EcuModel();

    // A fast-init wake pattern reached the ECU: it now accepts StartCommunication.
    void wakeUp();
    // One request frame in, the response frame out; empty when the ECU stays
    // silent (no session, bad checksum, or told to be silent).
    std::vector<std::uint8_t> respond(const std::uint8_t* frame, std::size_t size);

    // Live-data bytes by their position in the reply buffer.
    void setLive01(std::size_t position, std::uint8_t value);
    void setLive03(std::size_t position, std::uint8_t value);
    std::uint8_t live01(std::size_t position) const;

    void dropSession() {
        session_ = false;
        woken_ = false;
    }

    std::array<std::uint8_t, kBlock01Size> block01{};
    std::array<std::uint8_t, kBlock03Size> block03{};
    std::array<std::uint8_t, kEcuIdSize> ecuId{};
    std::array<std::uint8_t, 7> identA1{};
    std::array<std::uint8_t, 7> identA2{};
    std::array<std::uint8_t, 10> identA3{};
    std::vector<DtcRecord> dtcs;

    bool engineRunning = true;
    bool wrongKeyBytes = false;  // StartCommunication answered with key bytes other than 8F
    std::map<std::uint8_t, bool> outputOn;
    std::map<std::uint8_t, std::uint8_t> adjustValue;
    int resets = 0;
    int initialisations = 0;
    int clears = 0;
    int busyReleases = 0;   // the next hand-backs answered "busy, repeat the request"
    int adjustLimit = 255;  // a larger step is refused: "value out of range"

private:
    std::vector<std::uint8_t> serve(const std::uint8_t* req, std::size_t n);
    std::vector<std::uint8_t> ioControl(const std::uint8_t* req, std::size_t n);
    std::vector<std::uint8_t> readLocal(std::uint8_t lid);

    bool woken_ = false;
    bool session_ = false;
};

// Frames a response: short form (length in the format byte) up to 63 data
// bytes, long form (separate length byte) beyond, or when asked for.
std::vector<std::uint8_t> frameResponse(const std::vector<std::uint8_t>& data, bool longForm = false);

// Writes a 1251 text into a fixed field, padded with spaces.
template <std::size_t N>
void putText(std::array<std::uint8_t, N>& field, std::size_t offset, std::size_t width, const std::string& text1251) {
    for (std::size_t i = 0; i < width && offset + i < N; ++i)
        field[offset + i] = i < text1251.size() ? static_cast<std::uint8_t>(text1251[i]) : ' ';
}

}  // namespace sim
