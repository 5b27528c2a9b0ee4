// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/LiveDecoder.h"

#include <algorithm>
#include <cstring>

#include "ecu/ParameterCatalogue.h"
#include "ecu/ValueText.h"
#include "platform/Hex.h"

namespace ecu {
namespace {

// Where a parameter's bytes come from: the main block (21 01) or the
// converter block (21 03); lo < 0 for one-byte sources.
enum Block : std::uint8_t { L01, L03 };

using ValueFn = float (*)(int hi, int lo);
using PlotFn = float (*)(float v, int hi, int lo);

struct AnalogueRule {
    int number;
    Block block;
    int hi;
    int lo;
    ValueFn value;
    PlotFn plot;
};

float f(double x) { return static_cast<float>(x); }
int word(int hi, int lo) { return hi * 256 + lo; }
// hi × a + lo × b with each partial product rounded to float before the sum.
float twoPart(int hi, double a, int lo, double b) {
    return f(static_cast<double>(f(hi * a)) + static_cast<double>(f(lo * b)));
}
// ((hi + 128) mod 256): the high byte read as two's complement, offset binary.
int offset(int b) { return (b + 128) % 256; }
float idleTorque(int hi, int lo) {
    return f(static_cast<double>(f(offset(hi) * 0.78125 - 100)) + static_cast<double>(f(lo * 0.003058)));
}
float fuelTrim(int hi, int lo) { return twoPart(hi, 0.0078125, lo, 3.1375502008032126e-05); }
float volts10(int hi, int lo) { return f(word(hi, lo) * 5 * 0.0009765625); }
float volts8(int b, int) { return f(b * 5 * 0.00390625); }
float temperature(int b, int) { return f(b * 0.25 * 3 - 48); }
float byteScale(float, int b, int) { return f(b * 0.392); }
float minF(double x, double m) { return f(x > m ? m : x); }

const AnalogueRule kRules[] = {
    {1, L03, 21, 22, volts10, [](float v, int, int) { return minF(v, 2) * 50; }},
    {2, L03, 11, 12, [](int h, int l) { return f(word(h, l) * 0.0176); },
     [](float v, int, int) { return f(minF(v, 24) * 4.2); }},
    {3, L03, 25, -1, [](int b, int) { return f((b - 128) * 0.04901315); },
     [](float v, int, int) { return f((v + 6.225) * 8.03); }},
    {4, L03, 14, 15, volts10, [](float v, int, int) { return f(v * 20.0); }},
    {5, L03, 18, 19, volts10, [](float v, int, int) { return minF(v, 2) * 50; }},
    {8, L03, 20, -1, volts8, [](float v, int, int) { return f(v * 20.0); }},
    {10, L03, 13, -1, volts8, [](float v, int, int) { return f(v * 20.0); }},
    {11, L03, 26, 27, volts10, [](float v, int, int) { return minF(v, 5) * 20; }},
    {38, L01, 67, 68, idleTorque, [](float v, int, int) { return v < 0 ? 0.0f : v; }},
    {39, L01, 65, 66, idleTorque, [](float v, int, int) { return v < 0 ? 0.0f : v; }},
    {40, L01, 34, 35, idleTorque, [](float v, int, int) { return f(v * 0.5 + 50); }},
    {43, L01, 37, 38, fuelTrim, [](float v, int, int) { return f(v * 50.0); }},
    {44, L01, 69, 70, fuelTrim, [](float v, int, int) { return f(v * 50.0); }},
    {45, L01, 46, 47,
     [](int h, int l) {
         return f(static_cast<double>(f((h - 128) * 147.3384)) + 18859.3 + static_cast<double>(f(l * 0.5756)));
     },
     [](float v, int, int) {
         const double limited = v < 199 ? 200.0 : (v > 300 ? 300.0 : static_cast<double>(v));
         return f(limited - 200);
     }},
    {51, L01, 39, 40, [](int h, int l) { return twoPart(h, 0.0625, l, 0.000243); },
     [](float v, int, int) { return f(v * 6.25); }},
    {52, L01, 44, 45, [](int h, int l) { return twoPart(h, 147.338, l, 0.5757052389176741); },
     [](float v, int, int) { return minF(v * 0.2, 100); }},
    {53, L01, 20, 21, [](int h, int l) { return f(word(h, l) * 0.1); },
     [](float, int h, int l) { return minF((word(h, l) / 10) * 1.66, 100); }},
    {54, L01, 31, -1, [](int b, int) { return f(b); }, byteScale},
    {55, L01, 32, 33, [](int h, int l) { return twoPart(h, 0.4, l, 0.00156); }, [](float v, int, int) { return v; }},
    {56, L01, 19, -1, [](int b, int) { return f(b * 40); }, byteScale},
    {58, L01, 30, -1, [](int b, int) { return f(b * 10); }, byteScale},
    {60, L01, 71, 72,
     [](int h, int l) { return f(static_cast<double>(f(offset(h) * 12 - 1536)) + static_cast<double>(f(l * 0.047))); },
     [](float v, int, int) {
         const double limited = v < 0 ? 0.0 : (v > 600 ? 600.0 : static_cast<double>(v));
         return f(limited * (1.0 / 6.0));
     }},
    {61, L01, 42, 43, [](int h, int l) { return twoPart(h, 5, l, 0.01952); },
     [](float v, int, int) { return minF(v, 100); }},
    {62, L01, 24, 25, [](int h, int l) { return twoPart(h, 6, l, 0.02345); },
     [](float v, int, int) { return minF(v * 0.5, 100); }},
    {63, L01, 26, -1, [](int b, int) { return f(b * 0.75); }, [](float, int b, int) { return f(b * 0.392 * 1.9); }},
    {65, L01, 15, -1, temperature, byteScale},
    {66, L01, 41, -1, [](int b, int) { return f(b * 0.390625); }, byteScale},
    {67, L01, 28, 29, [](int h, int l) { return f(word(h, l) * 0.008 * 3); },
     [](float v, int, int) { return minF(v * 1.66, 100); }},
    {69, L01, 14, -1, temperature, byteScale},
    {70, L01, 13, -1, temperature, byteScale},
    {72, L01, 16, -1, [](int b, int) { return f(b * 0.0736865374696043); }, byteScale},
    {74, L01, 36, -1, [](int b, int) { return f(b * 5.215 - 200); }, byteScale},
    {75, L01, 17, -1, [](int b, int) { return f(b * 1.25); }, byteScale},
    {76, L01, 62, 63, [](int h, int l) { return twoPart(h, 0.54933, l, 0.0021598272138228943); },
     [](float v, int, int) { return f(v * 0.7142857142857143); }},
    {77, L01, 18, -1, [](int b, int) { return f(b * 0.39215686274509807); }, byteScale},
    {78, L01, 23, -1, [](int b, int) { return f(b * 0.75); }, byteScale},
    {79, L01, 22, -1, [](int b, int) { return f(offset(b) * 0.75 - 96); },
     [](float v, int, int) { return f((v + 96) * 0.5 + 2); }},
};

constexpr int kThr = 9;
constexpr int kWkr = 78;

// Replaces a text only when it changed, so an unchanged readout costs no
// allocation.
void setText(std::string& target, const char* text, std::size_t n) {
    if (target.size() != n || std::memcmp(target.data(), text, n) != 0) target.assign(text, n);
}

void setValueText(ParameterChannel& ch, int number, int decimals, char separator) {
    char buf[96];
    std::size_t n = 0;
    if (number == kWkr) buf[n++] = '-';  // a retard angle: always shown negative
    n += formatFixed(ch.value, decimals, separator, buf + n);
    setText(ch.valueText, buf, n);
}

void decodeThrottleVolts(ReplyBytes l03, LiveData& out) {
    const int b = l03[16];
    const int frac = l03[17];
    // Only the four quarter steps carry the fraction; any other byte keeps
    // the previous pass's.
    if (frac == 0x00)
        out.thrFraction = 0.0f;
    else if (frac == 0x40)
        out.thrFraction = 0.005f;
    else if (frac == 0x80)
        out.thrFraction = 0.01f;
    else if (frac == 0xC0)
        out.thrFraction = 0.015f;
    ParameterChannel& ch = out.analogue[kThr];
    ch.raw = {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(frac)};
    ch.value = f(static_cast<double>(volts8(b, 0)) + static_cast<double>(out.thrFraction));
    ch.plotValue = f(ch.value * 20.0);
}

// Positions in the live-data 01 reply, echo included.
constexpr int kBitBytePositions[4] = {74, 75, 76, 64};  // Byte1, Byte2, Byte3, EVSUP1
constexpr int kChecksumPosition = 60;                   // high byte, then low
constexpr std::size_t kErrorCountPosition = 12;         // N_ERR

void decodeBits(ReplyBytes l01, LiveData& out) {
    const auto& positions = kBitBytePositions;
    for (int i = 0; i < 4; ++i) {
        BitByteRecord& r = out.bitByte[static_cast<std::size_t>(i)];
        r.raw = l01[static_cast<std::size_t>(positions[i])];
        for (int k = 0; k < 8; ++k) {
            const bool set = (r.raw >> k) & 1;
            // Byte3's high nibble carries no flag and always shows "0".
            r.bitText[static_cast<std::size_t>(k)] = (set && !(i == kByte3 && k >= 4)) ? '1' : '0';
        }
    }
    for (const FlagBit& fb : kFlagBits) {
        FlagChannel& fc = out.flag[static_cast<std::size_t>(fb.number)];
        fc.state = static_cast<std::uint8_t>((out.bitByte[static_cast<std::size_t>(fb.byteIndex)].raw >> fb.bit) & 1);
        fc.plotValue = fc.state ? 80 : 0;
    }
}

void decodeCounters(ReplyBytes l01, LiveData& out) {
    const std::pair<int, int> counters[] = {{46, 48}, {47, 50}, {48, 52}, {49, 54}, {50, 56}, {68, 58}};
    for (const auto& [number, pos] : counters) {
        CounterChannel& c = out.counter[static_cast<std::size_t>(number)];
        c.raw = {l01[static_cast<std::size_t>(pos)], l01[static_cast<std::size_t>(pos + 1)]};
        c.count = c.raw[0] * 256 + c.raw[1];
        c.plotValue = static_cast<float>(c.count / 655);
    }
}

void decodeChecksum(ReplyBytes l01, LiveData& out) {
    for (int i = 0; i < 2; ++i) {
        const std::string text = platform::hexByte(l01[static_cast<std::size_t>(kChecksumPosition + i)]);
        setText(out.checksumText[static_cast<std::size_t>(i)], text.data(), 2);
    }
}

}  // namespace

void decodeLiveData(ReplyBytes l01, ReplyBytes l03, LiveData& out, char separator) {
    const auto& catalogue = ParameterCatalogue::instance();
    for (const AnalogueRule& r : kRules) {
        const ReplyBytes& src = r.block == L01 ? l01 : l03;
        const int hi = src[static_cast<std::size_t>(r.hi)];
        const int lo = r.lo >= 0 ? src[static_cast<std::size_t>(r.lo)] : 0;
        ParameterChannel& ch = out.analogue[static_cast<std::size_t>(r.number)];
        ch.raw = {static_cast<std::uint8_t>(hi), static_cast<std::uint8_t>(lo)};
        ch.value = r.value(hi, lo);
        ch.plotValue = r.plot(ch.value, hi, lo);
    }
    decodeThrottleVolts(l03, out);
    for (const AnalogueRule& r : kRules)
        setValueText(out.analogue[static_cast<std::size_t>(r.number)], r.number, catalogue.byNumber(r.number)->decimals,
                     separator);
    setValueText(out.analogue[kThr], kThr, catalogue.byNumber(kThr)->decimals, separator);
    decodeBits(l01, out);
    decodeCounters(l01, out);
    decodeChecksum(l01, out);
    out.errorCount = l01[kErrorCountPosition];
}

}  // namespace ecu
