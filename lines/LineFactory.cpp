// SPDX-License-Identifier: GPL-3.0-or-later
#include "lines/LineFactory.h"

#include "lines/PortLine.h"
#include "link/RecordingLine.h"
#include "sim/ElmPort.h"
#include "sim/SimulatedCar.h"

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
            if (request.adapter == platform::AdapterKind::Elm327) {
                // The simulated car behind a simulated ELM327, through the same
                // line a real one is spoken to by.
                made.line = std::make_unique<PortLine>("simulated", request.adapter, request.elmRate,
                                                       [faults = request.faults](const std::string&) {
                                                           auto port = std::make_unique<sim::ElmPort>();
                                                           port->bringToLife(faults);
                                                           return port;
                                                       });
            } else {
                made.line = std::make_unique<sim::SimulatedCar>(request.faults);
            }
            made.device = "simulated";
            made.portChoosable = false;
            break;
        case Source::Port:
            made.line = std::make_unique<PortLine>(request.port, request.adapter, request.elmRate);
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
