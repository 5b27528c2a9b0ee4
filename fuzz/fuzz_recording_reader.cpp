// SPDX-License-Identifier: GPL-3.0-or-later
// Any file given to --replay: the reader refuses it or reads it, what it
// reads writes back the same, and the link runs the replay to its end.
#include <string>
#include <string_view>
#include <vector>

#include "ecu/EcuDecoder.h"
#include "link/Com_Port.h"
#include "link/RecordingLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<klink::WireEvent> events;
    std::string error;
    const bool whole = klink::parseRecording(text, events, error);
    // Read as a file is, in pieces, it reads the same, or is refused for
    // the same reason.
    klink::RecordingSplitter splitter;
    std::vector<klink::WireEvent> streamed;
    std::string streamedError;
    const auto keep = [&streamed](klink::WireEvent&& e) { streamed.push_back(std::move(e)); };
    const std::size_t step = 1 + (size > 0 ? data[size - 1] % 61 : 0);
    bool inPieces = true;
    for (std::size_t at = 0; inPieces && at < size; at += step)
        inPieces = splitter.feed(text.substr(at, step), keep, streamedError);
    inPieces = inPieces && splitter.finish(keep, streamedError);
    if (inPieces != whole || (!whole && streamedError != error) || (whole && streamed.size() != events.size()))
        __builtin_trap();
    if (!whole) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    // What was read writes back as lines that read the same.
    std::string again = std::string(klink::kRecordingMagic) + "\n";
    for (const auto& e : events) again += klink::formatEvent(e) + "\n";
    std::vector<klink::WireEvent> back;
    if (!klink::parseRecording(again, back, error) || back.size() != events.size()) __builtin_trap();
    for (std::size_t i = 0; i < back.size(); ++i)
        if (back[i].bytes != events[i].bytes || back[i].kind != events[i].kind) __builtin_trap();

    auto line = klink::ReplayLine::fromText(text, false, error);
    if (!line) return 0;
    klink::LinkData link;
    ecu::LiveDataStore live;
    ecu::EcuDecoder decoder(live);
    klink::post(link.command.dtcReadRequest);
    klink::Com_Port port(*line, link, &decoder);
    for (int turn = 0; turn < 64 && !port.stoppedItself(); ++turn) port.loopTurn();
    return 0;
}
