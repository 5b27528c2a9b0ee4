// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "link/Com_Port.h"
#include "sim/SimulatedLine.h"
#include "tests/TestSupport.h"

using testsupport::Bytes;
using testsupport::hex;

namespace {
Bytes bytesOf(const klink::RequestFrame& f) { return Bytes(f.bytes.begin(), f.bytes.begin() + f.length); }
}  // namespace

// The frames as they must appear on the wire, checksums included.
TEST(RequestCatalogue, EveryFrameIsByteExactWithItsChecksumAndReadLimit) {
    klink::LinkData data;
    sim::SimulatedLine line;
    klink::Com_Port port(line, data);
    const auto& c = port.catalogue();

    struct Want {
        const klink::RequestFrame* f;
        const char* bytes;
        unsigned read;
    };
    const Want fixed[] = {
        {&c.startCommunication, "81 10 F1 81 03", 14}, {&c.stopCommunication, "81 10 F1 82 04", 14},
        {&c.identA1, "82 10 F1 21 A1 45", 21},         {&c.identA2, "82 10 F1 21 A2 46", 21},
        {&c.identA3, "82 10 F1 21 A3 47", 30},         {&c.ecuIdentification, "82 10 F1 1A 80 1D", 130},
        {&c.liveData01, "82 10 F1 21 01 A5", 140},     {&c.liveData03, "82 10 F1 21 03 A7", 40},
        {&c.dtcRead, "84 10 F1 18 00 00 00 9D", 1024}, {&c.dtcClear, "83 10 F1 14 00 00 98", 40},
        {&c.ecuReset, "82 10 F1 11 01 95", 40},        {&c.ecuInit, "82 10 F1 11 90 24", 40},
    };
    for (const auto& w : fixed) {
        EXPECT_EQ(hex(bytesOf(*w.f)), w.bytes);
        EXPECT_EQ(w.f->readMax, w.read) << w.bytes;
    }

    // LID table: report, release, on, off ("" where the output has no off).
    const char* table[][4] = {
        {"83 10 F1 30 01 01 B6", "83 10 F1 30 01 00 B5", "84 10 F1 30 01 06 FF BB", "84 10 F1 30 01 06 00 BC"},
        {"83 10 F1 30 02 01 B7", "83 10 F1 30 02 00 B6", "84 10 F1 30 02 06 FF BC", "84 10 F1 30 02 06 00 BD"},
        {"83 10 F1 30 03 01 B8", "83 10 F1 30 03 00 B7", "84 10 F1 30 03 06 FF BD", "84 10 F1 30 03 06 00 BE"},
        {"83 10 F1 30 04 01 B9", "83 10 F1 30 04 00 B8", "84 10 F1 30 04 06 FF BE", "84 10 F1 30 04 06 00 BF"},
        {"83 10 F1 30 05 01 BA", "83 10 F1 30 05 00 B9", "84 10 F1 30 05 06 FF BF", ""},
        {"83 10 F1 30 06 01 BB", "83 10 F1 30 06 00 BA", "84 10 F1 30 06 06 FF C0", ""},
        {"83 10 F1 30 09 01 BE", "83 10 F1 30 09 00 BD", "84 10 F1 30 09 06 FF C3", ""},
        {"83 10 F1 30 0A 01 BF", "83 10 F1 30 0A 00 BE", "84 10 F1 30 0A 06 FF C4", "84 10 F1 30 0A 06 00 C5"},
        {"83 10 F1 30 0D 01 C2", "83 10 F1 30 0D 00 C1", "84 10 F1 30 0D 06 FF C7", "84 10 F1 30 0D 06 00 C8"},
        {"83 10 F1 30 0B 01 C0", "83 10 F1 30 0B 00 BF", "84 10 F1 30 0B 06 FF C5", "84 10 F1 30 0B 06 00 C6"},
        {"83 10 F1 30 0E 01 C3", "83 10 F1 30 0E 00 C2", "84 10 F1 30 0E 06 FF C8", "84 10 F1 30 0E 06 00 C9"},
        {"83 10 F1 30 0C 01 C1", "83 10 F1 30 0C 00 C0", "84 10 F1 30 0C 06 FF C6", "84 10 F1 30 0C 06 00 C7"},
    };
    for (std::size_t i = 0; i < klink::kActuatorCount; ++i) {
        EXPECT_EQ(hex(bytesOf(c.actuator[i].report)), table[i][0]);
        EXPECT_EQ(hex(bytesOf(c.actuator[i].release)), table[i][1]);
        EXPECT_EQ(hex(bytesOf(c.actuator[i].on)), table[i][2]);
        EXPECT_EQ(hex(bytesOf(c.actuator[i].off)), table[i][3]);
    }
    const char* adjust[][2] = {{"83 10 F1 30 41 01 F6", "83 10 F1 30 41 00 F5"},
                               {"83 10 F1 30 42 01 F7", "83 10 F1 30 42 00 F6"},
                               {"83 10 F1 30 43 01 F8", "83 10 F1 30 43 00 F7"}};
    for (std::size_t i = 0; i < klink::kAdjustCount; ++i) {
        EXPECT_EQ(hex(bytesOf(c.adjust[i].report)), adjust[i][0]);
        EXPECT_EQ(hex(bytesOf(c.adjust[i].release)), adjust[i][1]);
    }

    // The link writes the adjustment frames' fixed bytes into the command area.
    auto frame43 = data.command.adjust[2].adjustFrame.copy();
    EXPECT_EQ(hex(Bytes(frame43.begin(), frame43.begin() + 6)), "84 10 F1 30 43 07");
    data.command.adjust[2].adjustFrame.setValue(100);
    frame43 = data.command.adjust[2].adjustFrame.copy();
    EXPECT_EQ(hex(Bytes(frame43.begin(), frame43.end())), "84 10 F1 30 43 07 64 63");
    EXPECT_EQ(klink::frameChecksum(frame43.data(), 7), frame43[7]);
}

// Each way a reply can fail to answer its request has its own reason.
TEST(AnswerRules, EachWayAReplyFailsItsRequestHasItsOwnReason) {
    const klink::RequestCatalogue c;
    const auto reply = [&](std::vector<std::uint8_t> answer) {
        std::vector<std::uint8_t> r(c.liveData01.data(), c.liveData01.data() + c.liveData01.length);
        unsigned sum = 0;
        for (auto b : answer) sum += b;
        answer.push_back(static_cast<std::uint8_t>(sum));
        r.insert(r.end(), answer.begin(), answer.end());
        return klink::answerGap(klink::kLiveData01Answer, r.data(), r.size(), c.liveData01.length);
    };
    std::vector<std::uint8_t> whole = {0x80, 0xF1, 0x10, 67, 0x61, 0x01};
    whole.resize(4 + 67, 0x5A);
    EXPECT_EQ(reply(whole), "");
    EXPECT_EQ(reply({0x84, 0xF1, 0x10, 0x61, 0x01, 0x5A, 0x5A}),
              "answer ends at byte 12, the decoder reads up to byte 76");
    EXPECT_EQ(reply({0x83, 0xF1, 0x10, 0x7F, 0x21, 0x12}), "negative answer 7F 21 12: subfunction not supported");
    std::vector<std::uint8_t> other = whole;
    other[5] = 0x02;
    EXPECT_EQ(reply(other), "answer for local identifier 02, asked 01");
    other = whole;
    other[4] = 0x5A;
    EXPECT_EQ(reply(other), "answer for service 1A, asked 21");
    std::vector<std::uint8_t> cut(c.liveData01.data(), c.liveData01.data() + c.liveData01.length);
    EXPECT_EQ(klink::answerGap(klink::kLiveData01Answer, cut.data(), cut.size(), cut.size()), "no answer");
    cut.insert(cut.end(), whole.begin(), whole.begin() + 9);
    EXPECT_EQ(klink::answerGap(klink::kLiveData01Answer, cut.data(), cut.size(), c.liveData01.length),
              "the answer was cut short (9 of 72 bytes)");
    // The long answer to 21 01 read only as far as 21 03's answer goes.
    cut.resize(c.liveData03.length);
    std::copy(c.liveData03.data(), c.liveData03.data() + c.liveData03.length, cut.begin());
    cut.insert(cut.end(), whole.begin(), whole.begin() + 34);
    EXPECT_EQ(klink::answerGap(klink::kLiveData03Answer, cut.data(), cut.size(), c.liveData03.length),
              "answer for local identifier 01, asked 03");
    cut.resize(c.liveData01.length);
    cut.insert(cut.end(), whole.begin(), whole.end());
    unsigned sum = 0;
    for (auto b : whole) sum += b;
    cut.push_back(static_cast<std::uint8_t>(sum + 1));  // a wrong checksum
    EXPECT_EQ(klink::answerGap(klink::kLiveData01Answer, cut.data(), cut.size(), c.liveData01.length),
              "the answer's checksum is wrong");
}
