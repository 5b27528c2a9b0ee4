// SPDX-License-Identifier: GPL-3.0-or-later
#include "lines/LineFactory.h"

#include "link/RecordingLine.h"
#include "sim/SimulatedCar.h"
#ifdef _WIN32
#include "platform/Win32SerialLine.h"
#else
#include "platform/PosixSerialLine.h"
#endif

namespace lines {

MadeLine makeLine(const LineRequest& request, const std::function<bool()>& stopAsked) {
    MadeLine made;
    switch (request.source) {
        case Source::Replay: {
            auto replay = klink::ReplayLine::load(request.replay, request.realtime, made.error, stopAsked);
            if (!replay) {
                if (!made.error.empty()) made.error = request.replay + ": " + made.error;
                return made;
            }
            made.device = replay->name();
            if (replay->started()) made.started = *replay->started();
            made.reconnects = replay->reconnected();
            made.canCommand = false;
            made.portChoosable = false;
            made.replay = replay.get();
            made.line = std::move(replay);
            break;
        }
        case Source::Simulation:
            made.line = std::make_unique<sim::SimulatedCar>();
            made.device = "simulated";
            made.portChoosable = false;
            break;
        case Source::Port:
#ifdef _WIN32
            made.line = std::make_unique<platform::Win32SerialLine>(request.port);
#else
            made.line = std::make_unique<platform::PosixSerialLine>(request.port);
#endif
            made.device = request.port;
            break;
    }
    made.line->setWakeMethod(request.wake);
    if (request.record.empty()) return made;
    klink::RecordingHeader header{request.program, made.device, request.options};
    auto recorded = klink::RecordingLine::create(std::move(made.line), request.record, header, made.error);
    if (!recorded) {
        made.error = request.record + ": " + made.error;
        return made;
    }
    made.recorder = &recorded->recorder();
    made.started = made.recorder->started();  // the line's clock runs from there
    made.line = std::move(recorded);
    return made;
}

}  // namespace lines
