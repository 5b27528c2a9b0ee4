// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/EcuModel.h"

#include "platform/Cp1251.h"

namespace sim {
namespace {

constexpr std::uint8_t kNegative = 0x7F;
constexpr std::uint8_t kConditionsNotCorrect = 0x22;
constexpr std::uint8_t kBusyRepeatRequest = 0x21;
constexpr std::uint8_t kServiceNotSupported = 0x11;
constexpr std::uint8_t kSubFunctionNotSupported = 0x12;
constexpr std::uint8_t kOutOfRange = 0x31;

std::vector<std::uint8_t> negative(std::uint8_t service, std::uint8_t code) { return {kNegative, service, code}; }

bool onlySwitchesOn(std::uint8_t lid) { return lid == 0x05 || lid == 0x06 || lid == 0x09; }

}  // namespace

std::vector<std::uint8_t> frameResponse(const std::vector<std::uint8_t>& data, bool longForm) {
    std::vector<std::uint8_t> f;
    if (longForm || data.size() > 63) {
        f = {0x80, 0xF1, 0x10, static_cast<std::uint8_t>(data.size())};
    } else {
        f = {static_cast<std::uint8_t>(0x80 + data.size()), 0xF1, 0x10};
    }
    f.insert(f.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (auto b : f) sum += b;
    f.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return f;
}

EcuModel::EcuModel() {
    // The identification of a plausible car; the vehicle passport is Cyrillic
    // so that the whole path carries code page 1251.
    putText(ecuId, 0, 17, "XTA21700080123456");
    putText(ecuId, 17, 16, "0261S04987654321");
    putText(ecuId, 33, 10, "2112114101");
    putText(ecuId, 43, 10, "1037394113");
    putText(ecuId, 53, 15, "21126-0015720  ");
    putText(ecuId, 68, 7, "M797E2 ");
    putText(ecuId, 75, 10, "12.03.2024");
    putText(ecuId, 85, 8, "VAZ M797");
    putText(identA2, 0, 7, "21126  ");
    putText(identA1, 0, 7, cp1251::fromUtf8("ПРИОРА "));
    putText(identA3, 0, 10, "15.04.2025");

    // A warm engine at idle.
    setLive01(12, 3);    // N_ERR
    setLive01(13, 92);   // TMST 21.0
    setLive01(14, 184);  // TMOT 90.0
    setLive01(15, 97);   // TANS 24.8
    setLive01(16, 190);  // UB 14.0
    setLive01(19, 21);   // NMOT 840
    setLive01(20, 0x00);
    setLive01(21, 95);  // ML 9.5 kg/h
    setLive01(22, 17);  // ZWOUT 12.75
    setLive01(24, 3);
    setLive01(25, 40);  // RL
    setLive01(28, 0x00);
    setLive01(29, 125);  // TI 3.0 ms
    setLive01(30, 85);   // NSOL 850
    setLive01(31, 40);   // MOMPOS
    setLive01(36, 80);   // USVK
    setLive01(37, 128);
    setLive01(38, 0);  // FR 1.0
    setLive01(69, 128);
    setLive01(70, 0);  // FRA 1.0
    setLive01(39, 16);
    setLive01(40, 0);  // LAMSBG 1.0
    setLive01(46, 1);
    setLive01(47, 178);  // FSE 249.8
    setLive01(60, 0x5A);
    setLive01(61, 0x3C);  // CHKSUMFL
    setLive01(74, 0x15);  // B_LL, S_AS, B_EKP
    setLive01(75, 0x18);  // B_LR, B_SA
    setLive01(64, 0x81);  // EVSUP1
    setLive03(11, 0x03);
    setLive03(12, 0x1B);  // ADC_BAT
    setLive03(13, 60);    // ADC_TMOT
    setLive03(14, 0x00);
    setLive03(15, 0xC8);  // ADC_MAF
    setLive03(16, 0x18);
    setLive03(17, 0x40);  // ADC_THR
    setLive03(18, 0x00);
    setLive03(19, 0x90);  // ADC_O2
    setLive03(20, 130);   // ADC_TANS
    setLive03(25, 128);   // ADC_BS
    dtcs = {{0x01, 0x02, 0xE2}, {0x01, 0x71, 0x20}, {0x16, 0x89, 0x1F}};
}

void EcuModel::wakeUp() {
    woken_ = true;
    session_ = false;
}

void EcuModel::setLive01(std::size_t position, std::uint8_t value) {
    if (position >= 12 && position - 12 < block01.size()) block01[position - 12] = value;
}
void EcuModel::setLive03(std::size_t position, std::uint8_t value) {
    if (position >= 11 && position - 11 < block03.size()) block03[position - 11] = value;
}
std::uint8_t EcuModel::live01(std::size_t position) const {
    return position >= 12 && position - 12 < block01.size() ? block01[position - 12] : 0;
}

std::vector<std::uint8_t> EcuModel::respond(const std::uint8_t* frame, std::size_t size) {
    if (size < 5) return {};
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < size; ++i) sum += frame[i];
    if ((sum & 0xFF) != frame[size - 1]) return {};
    if (frame[1] != 0x10) return {};
    const std::size_t header = (frame[0] & 0x3F) ? 3 : 4;
    const std::size_t n = (frame[0] & 0x3F) ? (frame[0] & 0x3F) : frame[3];
    if (header + n + 1 != size || n == 0) return {};
    const std::uint8_t* req = frame + header;

    if (req[0] == 0x81) {
        // A session already open is answered again, as after an adapter's
        // own initialisation that was followed by the tester's request.
        if (!woken_ && !session_) return {};
        session_ = true;
        woken_ = false;
        // Key bytes EF 8F; the wrong pair keeps the sum, so the checksum
        // still ends in C3 and only the key byte tells.
        return frameResponse(wrongKeyBytes ? std::vector<std::uint8_t>{0xC1, 0xF0, 0x8E}
                                           : std::vector<std::uint8_t>{0xC1, 0xEF, 0x8F});
    }
    if (!session_) return {};
    const auto data = serve(req, n);
    if (data.empty()) return {};
    // The main live block and the identification come in the long form, with
    // a separate length byte, as the real ECU sends them.
    const bool longForm = data[0] == 0x5A || (data[0] == 0x61 && data.size() > 1 && data[1] == 0x01);
    return frameResponse(data, longForm);
}

std::vector<std::uint8_t> EcuModel::serve(const std::uint8_t* req, std::size_t n) {
    switch (req[0]) {
        case 0x82:
            session_ = false;
            return {0xC2};
        case 0x21:
            if (n < 2) return negative(0x21, kSubFunctionNotSupported);
            return readLocal(req[1]);
        case 0x1A: {
            std::vector<std::uint8_t> d = {0x5A, 0x80};
            d.insert(d.end(), ecuId.begin(), ecuId.end());
            return d;
        }
        case 0x18: {
            std::vector<std::uint8_t> d = {0x58, static_cast<std::uint8_t>(dtcs.size())};
            for (const auto& r : dtcs) d.insert(d.end(), {r.high, r.low, r.status});
            return d;
        }
        case 0x14:
            dtcs.clear();
            ++clears;
            return {0x54, 0x00, 0x00};
        case 0x11: {
            if (n < 2) return negative(0x11, kSubFunctionNotSupported);
            if (req[1] == 0x01)
                ++resets;
            else
                ++initialisations;
            outputOn.clear();
            return {0x51, req[1]};
        }
        case 0x30:
            return ioControl(req, n);
        default:
            return negative(req[0], kServiceNotSupported);
    }
}

std::vector<std::uint8_t> EcuModel::readLocal(std::uint8_t lid) {
    std::vector<std::uint8_t> d = {0x61, lid};
    switch (lid) {
        case 0x01:
            d.insert(d.end(), block01.begin(), block01.end());
            break;
        case 0x03:
            d.insert(d.end(), block03.begin(), block03.end());
            break;
        case 0xA1:
            d.insert(d.end(), identA1.begin(), identA1.end());
            break;
        case 0xA2:
            d.insert(d.end(), identA2.begin(), identA2.end());
            break;
        case 0xA3:
            d.insert(d.end(), identA3.begin(), identA3.end());
            break;
        default:
            return negative(0x21, kSubFunctionNotSupported);
    }
    return d;
}

std::vector<std::uint8_t> EcuModel::ioControl(const std::uint8_t* req, std::size_t n) {
    if (n < 3) return negative(0x30, kSubFunctionNotSupported);
    const std::uint8_t lid = req[1];
    const std::uint8_t param = req[2];
    const bool adjustable = lid >= 0x41 && lid <= 0x43;
    if (onlySwitchesOn(lid) && engineRunning && (param == 0x01 || param == 0x06))
        return negative(0x30, kConditionsNotCorrect);
    switch (param) {
        case 0x00:
            if (busyReleases > 0) {
                --busyReleases;
                return negative(0x30, kBusyRepeatRequest);
            }
            outputOn[lid] = false;
            return {0x70, lid, 0x00};
        case 0x01:
            if (adjustable) return {0x70, lid, 0x01, adjustValue[lid]};
            return {0x70, lid, 0x01, static_cast<std::uint8_t>(outputOn[lid] ? 0xFF : 0x00)};
        case 0x06:
            if (n < 4 || adjustable) return negative(0x30, kSubFunctionNotSupported);
            outputOn[lid] = req[3] == 0xFF;
            return {0x70, lid, 0x06, req[3]};
        case 0x07:
            if (n < 4 || !adjustable) return negative(0x30, kSubFunctionNotSupported);
            if (req[3] > adjustLimit) return negative(0x30, kOutOfRange);
            adjustValue[lid] = req[3];
            return {0x70, lid, 0x07, req[3]};
        default:
            return negative(0x30, kSubFunctionNotSupported);
    }
}

}  // namespace sim
