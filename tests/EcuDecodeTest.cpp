// SPDX-License-Identifier: GPL-3.0-or-later
// Live-data decoding against worked values, byte by byte.
#include <gtest/gtest.h>

#include "ecu/Identification.h"
#include "ecu/LiveDecoder.h"
#include "ecu/ParameterCatalogue.h"
#include "ecu/ValueText.h"
#include "link/AnswerRules.h"
#include "link/WireLayout.h"
#include "platform/Cp1251.h"

using ecu::formatFixed;

namespace {

struct Buffers {
    std::array<std::uint8_t, 140> l01{};
    std::array<std::uint8_t, 40> l03{};
    ecu::LiveData d;
    Buffers() { d.setFlagNames(); }
    void decode() { ecu::decodeLiveData({l01.data(), l01.size()}, {l03.data(), l03.size()}, d); }
    const ecu::ParameterChannel& ch(int n) { return d.analogue[static_cast<std::size_t>(n)]; }
};

}  // namespace

TEST(ValueText, RoundsTenSignificantDigitsThenHalvesAwayFromZero) {
    EXPECT_EQ(formatFixed(-47.25, 1), "-47.3");
    EXPECT_EQ(formatFixed(-90.625, 2), "-90.63");
    EXPECT_EQ(formatFixed(2.505f, 3), "2.505");  // float 2.50500011 -> ten digits
    EXPECT_EQ(formatFixed(1535.985f, 1), "1536.0");
    EXPECT_EQ(formatFixed(10200, 0), "10200");
    EXPECT_EQ(formatFixed(0.0, 2), "0.00");
    EXPECT_EQ(formatFixed(-0.015, 1), "-0.0");
    EXPECT_EQ(formatFixed(9.9996, 3), "10.000");
    EXPECT_EQ(formatFixed(0.0005, 3), "0.001");
    EXPECT_EQ(formatFixed(99999.95, 1, ','), "100000,0");
    EXPECT_EQ(formatFixed(1e-300, 2), "0.00");
    EXPECT_EQ(formatFixed(std::numeric_limits<double>::quiet_NaN(), 2), "NaN");
}

TEST(LiveDecode, WorkedValuesOfTheFormulas) {
    Buffers b;
    // ADC_THR with the quarter-step fraction, kept by an unknown step byte.
    b.l03[16] = 0x80;
    b.l03[17] = 0x40;
    b.decode();
    EXPECT_FLOAT_EQ(b.ch(9).value, 2.505f);
    EXPECT_EQ(b.ch(9).valueText, "2.505");
    b.l03[17] = 0x13;
    b.decode();
    EXPECT_EQ(b.ch(9).valueText, "2.505");
    b.l03[17] = 0xC0;
    b.decode();
    EXPECT_EQ(b.ch(9).valueText, "2.515");

    // ZWOUT, WKR, FSE, RKAT, ML, ADC_2O2, NMOT.
    b.l01[22] = 0x00;
    b.l01[23] = 20;
    b.l01[71] = 0x7F;
    b.l01[72] = 0xFF;
    b.l01[20] = 0x12;
    b.l01[21] = 0x34;
    b.l03[21] = 0x03;
    b.l03[22] = 0xFF;
    b.l01[19] = 255;
    b.decode();
    EXPECT_EQ(b.ch(79).valueText, "0.0");
    EXPECT_FLOAT_EQ(b.ch(79).plotValue, 50);
    EXPECT_EQ(b.ch(78).valueText, "-15.0");
    EXPECT_NEAR(b.ch(45).value, -0.015, 0.003);
    EXPECT_EQ(b.ch(45).valueText, "-0.0");
    EXPECT_EQ(b.ch(45).plotValue, 0);
    EXPECT_EQ(b.ch(60).valueText, "1536.0");
    EXPECT_FLOAT_EQ(b.ch(60).plotValue, 100);
    EXPECT_EQ(b.ch(53).valueText, "466.00");
    EXPECT_FLOAT_EQ(b.ch(53).plotValue, 100);
    EXPECT_EQ(b.ch(1).valueText, "4.995");
    EXPECT_FLOAT_EQ(b.ch(1).plotValue, 100);
    EXPECT_EQ(b.ch(56).valueText, "10200");
    EXPECT_NEAR(b.ch(56).plotValue, 99.96, 1e-4);

    b.l01[22] = 0x80;
    b.l01[23] = 0;
    b.l01[71] = 0x80;
    b.l01[72] = 0;
    b.l01[15] = 1;
    b.l01[67] = 0x8C;
    b.l01[68] = 0;
    b.decode();
    EXPECT_EQ(b.ch(79).valueText, "-96.0");
    EXPECT_EQ(b.ch(78).valueText, "-0.0");
    EXPECT_EQ(b.ch(60).valueText, "-1536.0");
    EXPECT_EQ(b.ch(60).plotValue, 0);
    EXPECT_EQ(b.ch(65).valueText, "-47.3");
    EXPECT_EQ(b.ch(38).valueText, "-90.63");
    EXPECT_EQ(b.ch(38).plotValue, 0);  // negative values chart at 0
    b.l01[22] = 0xFF;
    b.l01[46] = 1;
    b.l01[47] = 178;  // FSE about 249.8
    b.decode();
    EXPECT_EQ(b.ch(79).valueText, "-0.8");  // -0.75: a half, away from zero
    EXPECT_NEAR(b.ch(45).plotValue, 49.8, 0.05);
}

// Every formula row with bytes that differ at every position: a row whose
// byte moves or whose factor changes reads differently. The values were
// worked out from the formulas by hand (with single-precision partial
// products), not by this code.
TEST(LiveDecode, EveryFormulaRowReadsItsOwnBytes) {
    Buffers b;
    for (std::size_t i = 0; i < b.l01.size(); ++i) b.l01[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (std::size_t i = 0; i < b.l03.size(); ++i) b.l03[i] = static_cast<std::uint8_t>(i * 53 + 29);
    b.decode();
    struct Pinned {
        int number;
        const char* text;
        float plot;
    };
    const Pinned pinned[] = {
        {1, "148.335", 100.0000f},   // L03[21]=118, [22]=171
        {2, "453.253", 100.8000f},   // L03[11]=100, [12]=153
        {3, "-2.647", 28.7337f},     // L03[25]=74
        {4, "4.023", 80.4688f},      // L03[14]=3, [15]=56
        {5, "268.809", 100.0000f},   // L03[18]=215, [19]=12
        {8, "1.270", 25.3906f},      // L03[20]=65
        {10, "4.023", 80.4688f},     // L03[13]=206
        {11, "159.629", 100.0000f},  // L03[26]=127, [27]=180
        {38, "-54.01", 0.0000f},     // L01[67]=186, [68]=223
        {39, "87.96", 87.9556f},     // L01[65]=112, [66]=149
        {40, "-8.51", 45.7429f},     // L01[34]=245, [35]=26
        {43, "0.786", 39.2774f},     // L01[37]=100, [38]=137
        {44, "0.033", 1.6268f},      // L01[69]=4, [70]=41
        {45, "26202.1", 100.0000f},  // L01[46]=177, [47]=214
        {51, "10.926", 68.2892f},    // L01[39]=174, [40]=211
        {52, "15256.4", 100.0000f},  // L01[44]=103, [45]=140
        {53, "6120.40", 100.0000f},  // L01[20]=239, [21]=20
        {54, "134", 52.5280f},       // L01[31]=134
        {55, "68.72", 68.7245f},     // L01[32]=171, [33]=208
        {56, "8080", 79.1840f},      // L01[19]=202
        {58, "970", 38.0240f},       // L01[30]=97
        {60, "941.4", 100.0000f},    // L01[71]=78, [72]=115
        {61, "146.29", 100.0000f},   // L01[42]=29, [43]=66
        {62, "789.94", 100.0000f},   // L01[24]=131, [25]=168
        {63, "153.75", 152.6840f},   // L01[26]=205
        {65, "-7.5", 21.1680f},      // L01[15]=54
        {66, "96.9", 97.2160f},      // L01[41]=248
        {67, "142.75", 100.0000f},   // L01[28]=23, [29]=60
        {69, "-35.3", 6.6640f},      // L01[14]=17
        {70, "129.0", 92.5120f},     // L01[13]=236
        {72, "6.71", 35.6720f},      // L01[16]=91
        {74, "129", 24.6960f},       // L01[36]=63
        {75, "160.0", 50.1760f},     // L01[17]=128
        {76, "0.63", 0.4510f},       // L01[62]=1, [63]=38
        {77, "64.7", 64.6800f},      // L01[18]=165
        {78, "-70.5", 36.8480f},     // L01[23]=94
        {79, "42.8", 71.3750f},      // L01[22]=57
    };
    for (const Pinned& p : pinned) {
        SCOPED_TRACE(p.number);
        EXPECT_EQ(b.ch(p.number).valueText, p.text);
        EXPECT_NEAR(b.ch(p.number).plotValue, p.plot, 0.001);
    }
}

TEST(LiveDecode, ZeroBuffersGiveTheFormulasValuesForZeroBytes) {
    Buffers b;
    b.decode();
    EXPECT_EQ(b.ch(69).valueText, "-48.0");  // TMOT
    EXPECT_EQ(b.ch(74).valueText, "-200");   // USVK
    EXPECT_EQ(b.ch(79).valueText, "0.0");
    EXPECT_EQ(b.d.checksumText[0] + b.d.checksumText[1], "0000");
}

TEST(LiveDecode, FlagsCountersAndBitBytesLandOnTheirNumbers) {
    const ecu::ParameterCatalogue& cat = ecu::ParameterCatalogue::instance();
    for (const ecu::FlagBit& fb : ecu::kFlagBits) {
        Buffers b;
        b.l01[static_cast<std::size_t>(74 + fb.byteIndex)] = static_cast<std::uint8_t>(1 << fb.bit);
        b.decode();
        for (const ecu::FlagBit& other : ecu::kFlagBits) {
            const auto& fc = b.d.flag[static_cast<std::size_t>(other.number)];
            EXPECT_EQ(fc.state, other.number == fb.number ? 1 : 0) << other.number;
            EXPECT_EQ(fc.plotValue, other.number == fb.number ? 80 : 0);
        }
        EXPECT_EQ(b.d.chartReadout(fb.number), cat.byNumber(fb.number)->mnemonic);
    }
    Buffers b;
    b.l01[64] = 0x81;
    b.l01[76] = 0xFF;
    b.l01[74] = 0x13;
    b.l01[56] = 0xFF;
    b.l01[57] = 0xFF;  // FZAKATS
    b.l01[58] = 0x01;
    b.l01[59] = 0x02;  // TIME
    b.l01[60] = 0xAB;
    b.l01[61] = 0x0C;
    b.l01[12] = 255;
    b.decode();
    EXPECT_EQ(std::string(b.d.bitByte[ecu::kEvsup1].bitText.begin(), b.d.bitByte[ecu::kEvsup1].bitText.end()),
              "10000001");
    EXPECT_EQ(b.d.chartReadout(41), "10000001");
    EXPECT_EQ(b.d.chartReadout(36), "00001111");  // Byte3's high nibble shows "0"
    for (int n : {25, 24, 30, 28}) EXPECT_EQ(b.d.flag[static_cast<std::size_t>(n)].state, 1);
    EXPECT_EQ(b.d.chartReadout(34), "00010011");
    EXPECT_EQ(b.d.counter[50].count, 65535);
    EXPECT_FLOAT_EQ(b.d.counter[50].plotValue, 100);
    EXPECT_EQ(b.d.chartReadout(68), "258");
    EXPECT_EQ(b.d.chartReadout(37), "AB0C");
    EXPECT_EQ(b.d.chartReadout(59), "255");
    EXPECT_EQ(b.d.chartReadout(6), "");
    EXPECT_EQ(b.d.chartReadout(0), "");
    EXPECT_EQ(b.d.chartReadout(80), "");
}

TEST(LiveDecode, HistorySamplesTruncateTowardZero) {
    ecu::LiveData d;
    d.analogue[56].plotValue = 99.9f;
    EXPECT_EQ(d.sample(56), 99);
    d.analogue[56].plotValue = -0.5f;
    EXPECT_EQ(d.sample(56), 0);
    d.analogue[56].plotValue = -1.7f;
    EXPECT_EQ(d.sample(56), -1);
    d.analogue[56].plotValue = 1e30f;
    EXPECT_EQ(d.sample(56), INT32_MAX);
    d.analogue[56].plotValue = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(d.sample(56), 0);
    d.flag[21].plotValue = 80;
    EXPECT_EQ(d.sample(21), 80);
    EXPECT_EQ(d.sample(59), 0);  // no history
}

TEST(ParameterCatalogue, TextsKindsAndLabelPositions) {
    const auto& cat = ecu::ParameterCatalogue::instance();
    EXPECT_EQ(cat.byNumber(0), nullptr);
    EXPECT_EQ(cat.byNumber(80), nullptr);
    int history = 0, reserved = 0, analogue = 0;
    for (const auto& p : cat.all()) {
        history += p.hasHistory();
        reserved += p.kind == ecu::ParameterKind::Reserved;
        analogue += p.kind == ecu::ParameterKind::Analogue;
        if (p.kind == ecu::ParameterKind::Reserved) {
            EXPECT_EQ(cp1251::toUtf8(p.chartCaption), "Резерв Е3.");
        }
    }
    EXPECT_EQ(history, 64);
    EXPECT_EQ(reserved, 9);
    EXPECT_EQ(analogue, 38);
    EXPECT_EQ(cat.byNumber(11)->mnemonic, "ADC_EGR");
    EXPECT_EQ(cp1251::toUtf8(cat.byNumber(1)->listText), "1  ADC_2O2        АЦП датчика кислорода после катализатора");
    EXPECT_EQ(cp1251::toUtf8(cat.byNumber(44)->chartCaption),
              "FRA   Mультипл. сocтaвляющaя кoppeкции cмecи caмooбучeниeм.");
    const auto& tans = *cat.byNumber(65);
    ASSERT_EQ(tans.scaleLabels.size(), 3u);
    EXPECT_EQ(tans.scaleLabels[1].y, 90);
    EXPECT_EQ(tans.companionSource, 8);
    EXPECT_EQ(cp1251::toUtf8(tans.companionPrefix), "ADC_TANS  ");
    EXPECT_EQ(cat.byNumber(3)->scaleLabels[2].x, 15);
    const auto& kstums = *cat.byNumber(18);
    ASSERT_EQ(kstums.scaleLabels.size(), 2u);
    EXPECT_EQ(cp1251::toUtf8(kstums.scaleLabels[0].text), "Россия");
    EXPECT_EQ(kstums.scaleLabels[1].y, 115);
    EXPECT_TRUE(cat.byNumber(34)->scaleLabels.empty());
    int companions = 0;
    for (const auto& p : cat.all()) companions += p.companionSource != 0;
    EXPECT_EQ(companions, 10);
}

// The link's answer check demands each answer reach the highest position the
// decoding reads, and no further: the decoding never reads past what its
// table says (a byte changed beyond it changes no readout) and does read the
// position itself. The same for the identification texts.
TEST(LiveDecode, TheAnswerRulesNameTheHighestPositionsTheDecodersRead) {
    const auto readouts = [](const std::vector<std::uint8_t>& l01, const std::vector<std::uint8_t>& l03) {
        ecu::LiveData d;
        d.setFlagNames();
        ecu::decodeLiveData({l01.data(), l01.size()}, {l03.data(), l03.size()}, d);
        std::string all;
        for (const auto& p : ecu::ParameterCatalogue::instance().all()) all += d.chartReadout(p.number) + "|";
        for (const auto& f : d.flag) all += std::to_string(f.state);
        return all;
    };
    for (const klink::AnswerRule* rule : {&klink::kLiveData01Answer, &klink::kLiveData03Answer}) {
        SCOPED_TRACE(rule->request);
        const bool main = rule == &klink::kLiveData01Answer;
        std::vector<std::uint8_t> l01(klink::kLiveData01ReplySize), l03(klink::kLiveData03ReplySize);
        for (std::size_t i = 0; i < l01.size(); ++i) l01[i] = static_cast<std::uint8_t>(i * 37 + 11);
        for (std::size_t i = 0; i < l03.size(); ++i) l03[i] = static_cast<std::uint8_t>(i * 53 + 7);
        const std::string base = readouts(l01, l03);
        std::vector<std::uint8_t>& block = main ? l01 : l03;
        for (std::size_t p = rule->lastRead; p < block.size(); ++p) {
            const std::uint8_t kept = block[p];
            block[p] = static_cast<std::uint8_t>(kept ^ 0xA5);
            if (p == rule->lastRead)
                EXPECT_NE(readouts(l01, l03), base) << "position " << p << " is not read";
            else
                EXPECT_EQ(readouts(l01, l03), base) << "position " << p << " is read";
            block[p] = kept;
        }
    }
    const std::array<const klink::AnswerRule*, 4> sources = {&klink::kIdentA1Answer, &klink::kIdentA2Answer,
                                                             &klink::kIdentA3Answer, &klink::kEcuIdAnswer};
    std::array<std::size_t, 4> highest{};
    for (std::size_t k = 0; k < klink::kIdentTextCount; ++k) {
        std::size_t& h = highest[ecu::identSourceReply(k)];
        h = std::max(h, ecu::identLastPosition(k));
    }
    for (std::size_t r = 0; r < sources.size(); ++r) EXPECT_EQ(highest[r], sources[r]->lastRead) << sources[r]->request;
}
