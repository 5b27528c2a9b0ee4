// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that makes the serial line a program talks through: a real
// port (the POSIX or the Win32 one, whichever system this is), the simulated
// car, or a replayed recording; with the wake-up method set and, when asked,
// a recording of the wire around it. Both programs make their line here and
// from then on know only what the made line tells them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "link/RecordingLine.h"
#include "link/WireRecording.h"
#include "platform/SerialLine.h"
#include "platform/WallClock.h"
#include "sim/LivingCar.h"

namespace lines {

enum class Source { Port, Simulation, Replay };

struct LineRequest {
    Source source = Source::Port;
    std::string port;       // Port: the device
    std::string replay;     // Replay: the recording
    bool realtime = false;  // Replay: at the recorded pace
    platform::WakeMethod wake = platform::WakeMethod::SlowByte;
    platform::AdapterKind adapter = platform::AdapterKind::KLine;  // Port, Simulation
    unsigned elmRate = 38400;                                      // an ELM327's serial rate
    std::string record;                                            // a recording to make of the wire, or empty
    std::string program;                                           // for the recording's header: "m797-log 1.0.0"
    std::string options;                                           // the run's options, for the recording's header
    sim::CarFaults faults;                                         // Simulation: what the car suffers from
};

struct MadeLine {
    MadeLine() = default;
    // A line made elsewhere (the tests' simulated lines): a port's ways.
    template <typename Line>
    MadeLine(std::unique_ptr<Line> made) : line(std::move(made)) {}  // NOLINT: implicit on purpose

    std::unique_ptr<platform::SerialLine> line;
    // The recording being made, if any.
    klink::WireRecorder* recorder = nullptr;
    // The recording being replayed (the line itself), if any.
    klink::ReplayLine* replay = nullptr;
    // False for a replay: nothing there could answer a command.
    bool canCommand = true;
    // False for the simulation and a replay: no port to choose.
    bool portChoosable = true;
    // The device the user thinks of ("/dev/ttyUSB0"; the one a replayed
    // drive was recorded on).
    std::string device;
    // A replayed drive whose link reconnected: the replay reconnects too.
    bool reconnects = false;
    // When the drive began: now, or when a replayed drive was recorded (its
    // wall clock, for the rows' times).
    platform::WallTime started = platform::wallNow();
    // When no line was made: why; empty when stopAsked ended the reading of
    // a recording.
    std::string error;
};

// stopAsked: polled while a recording is read (a pipe may keep it waiting).
MadeLine makeLine(const LineRequest& request, const std::function<bool()>& stopAsked = {});

}  // namespace lines
