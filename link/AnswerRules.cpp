// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/AnswerRules.h"

#include <algorithm>

#include "link/RequestFrame.h"
#include "platform/Hex.h"

namespace klink {

AnswerRule controlAnswerRule(std::uint8_t lid, std::size_t lastRead) { return {"30", 0x30, lid, 3, lastRead}; }

std::string negativeReason(std::uint8_t code) {
    // KWP2000's response codes that an engine ECU gives.
    switch (code) {
        case 0x10:
            return "general reject";
        case 0x11:
            return "service not supported";
        case 0x12:
            return "subfunction not supported";
        case 0x21:
            return "busy, repeat the request";
        case 0x22:
            return "conditions not correct";
        case 0x31:
            return "request out of range";
        case 0x33:
            return "security access denied";
        case 0x78:
            return "answer pending";
        case 0x80:
            return "not supported in this session";
        default:
            return "reason " + platform::hexByte(code);
    }
}

int negativeAnswerCode(const std::uint8_t* reply, std::size_t n, std::size_t echoLength, std::uint8_t service) {
    if (n < echoLength + 4) return -1;
    const std::uint8_t* a = reply + echoLength;
    const std::size_t header = (a[0] & 0x3F) != 0 ? 3 : 4;
    const std::size_t length = (a[0] & 0x3F) != 0 ? (a[0] & 0x3F) : a[3];
    if ((a[0] & 0xC0) != 0x80 || length != 3 || n < echoLength + header + length + 1) return -1;
    if (frameChecksum(a, header + length) != a[header + length]) return -1;
    if (a[header] != 0x7F || a[header + 1] != service) return -1;
    return a[header + 2];
}

std::size_t asShortForm(std::uint8_t* reply, std::size_t n, std::size_t echoLength) {
    if (n <= echoLength + 3 || (reply[echoLength] & 0x3F) != 0) return n;
    std::copy(reply + echoLength + 4, reply + n, reply + echoLength + 3);
    return n - 1;
}

std::size_t pendingAnswerEnd(const std::uint8_t* reply, std::size_t n, std::size_t echoLength, std::uint8_t service) {
    if (negativeAnswerCode(reply, n, echoLength, service) != 0x78) return 0;
    return echoLength + ((reply[echoLength] & 0x3F) != 0 ? 3 : 4) + 3 + 1;
}

std::string answerGap(const AnswerRule& rule, const std::uint8_t* reply, std::size_t n, std::size_t echoLength) {
    if (n <= echoLength) return "no answer";
    const std::uint8_t* a = reply + echoLength;
    const std::size_t got = n - echoLength;
    if (got < 4) return "the answer was cut short (" + std::to_string(got) + " bytes)";
    const bool shortForm = (a[0] & 0x3F) != 0;
    const std::size_t header = shortForm ? 3 : 4;
    const std::size_t length = shortForm ? (a[0] & 0x3F) : a[3];
    if ((a[0] & 0xC0) != 0x80 || length == 0) return "the answer's header is not a KWP2000 header";
    const std::size_t whole = header + length + 1;
    // Another request's answer, by the bytes that say which it answers.
    const auto another = [&](std::size_t have) -> std::string {
        const std::uint8_t service = a[header];
        if (service != 0x7F && service != static_cast<std::uint8_t>(rule.service + 0x40))
            return "answer for service " + platform::hexByte(static_cast<std::uint8_t>(service - 0x40)) + ", asked " +
                   platform::hexByte(rule.service);
        if (service != 0x7F && rule.parameter >= 0 && have > header + 1 && a[header + 1] != rule.parameter)
            return "answer for local identifier " + platform::hexByte(a[header + 1]) + ", asked " +
                   platform::hexByte(static_cast<std::uint8_t>(rule.parameter));
        return {};
    };
    if (got < whole) {
        // A longer answer to another request is read only as far as this
        // one's goes: which it answers is the better reason.
        if (const std::string why = got > header ? another(got) : std::string(); !why.empty()) return why;
        return "the answer was cut short (" + std::to_string(got) + " of " + std::to_string(whole) + " bytes)";
    }
    if (frameChecksum(a, header + length) != a[header + length]) return "the answer's checksum is wrong";
    if (a[header] == 0x7F) {
        const std::uint8_t asked = length >= 2 ? a[header + 1] : 0;
        const std::uint8_t code = length >= 3 ? a[header + 2] : 0;
        return "negative answer 7F " + platform::hexByte(asked) + " " + platform::hexByte(code) + ": " +
               negativeReason(code);
    }
    if (const std::string why = another(header + length); !why.empty()) return why;
    // One request, one answer: more bytes after it are another answer (one
    // that came too late for its own request) or the start of one, and
    // which of them answers this request nobody can tell.
    if (got > whole)
        return "more bytes came than the answer holds (" + std::to_string(got) + " of " + std::to_string(whole) +
               "): another answer may be among them";
    if (rule.parameter >= 0 && length < 2) return "the answer ends before its local identifier";
    std::size_t lastRead = rule.lastRead;
    if (rule.service == kDtcAnswer.service) {
        const std::size_t count = echoLength + header + 1;
        lastRead = count + kDtcRecordSize * (n > count ? reply[count] : 0);
    }
    const std::size_t lastData = echoLength + header + length - 1;
    if (lastData < lastRead)
        return "answer ends at byte " + std::to_string(lastData) + ", the decoder reads up to byte " +
               std::to_string(lastRead);
    // The positions read are fixed: another header moves every one of them.
    if (rule.header != 0 && header != rule.header)
        return "the answer's header has " + std::to_string(header) + " bytes where " + std::to_string(rule.header) +
               " are read";
    return {};
}

}  // namespace klink
