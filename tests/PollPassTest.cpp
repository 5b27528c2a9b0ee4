// SPDX-License-Identifier: GPL-3.0-or-later
// The poll pass and the command area, one pass at a time on the test thread.
#include <gtest/gtest.h>

#include "link/Com_Port.h"
#include "sim/SimulatedLine.h"
#include "tests/TestSupport.h"

using namespace testsupport;
using klink::post;

namespace {

struct Connected {
    explicit Connected(sim::SimOptions o = {}) : line(o, true), port(line, data) {
        port.loopTurn();
        EXPECT_TRUE(port.linkUp());
        mark = requestCount();
    }
    std::size_t requestCount() {
        return line.withCore([](sim::AdapterCore& c) { return c.requests().size(); });
    }
    // The services sent since the last call.
    std::vector<std::string> pass() {
        port.loopTurn();
        auto all = line.withCore([](sim::AdapterCore& c) { return services(c.requests()); });
        std::vector<std::string> out(all.begin() + static_cast<long>(mark), all.end());
        mark = all.size();
        return out;
    }
    klink::ActuatorCommand& actuator(std::uint8_t lid) {
        return data.command.actuator[static_cast<std::size_t>(klink::LinkCommandBlock::actuatorIndex(lid))];
    }
    klink::LinkData data;
    sim::SimulatedLine line;
    klink::Com_Port port;
    std::size_t mark = 0;
};

using V = std::vector<std::string>;

}  // namespace

TEST(PollPass, APassWithoutRequestsReadsTheTwoBlocksAndRaisesTheFlags) {
    Connected c;
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03"}));
    EXPECT_EQ(c.data.sampleReady.load(), 1);
    EXPECT_EQ(c.data.dataValid.load(), 1);
    EXPECT_EQ(cp1251::toUtf8(c.data.statusText.get()), "Данные получены.");
    EXPECT_EQ(c.port.passCount(), 1u);
}

TEST(PollPass, ErrorCodesAreReadEveryPassAndClearedOnceAfterTheReadAndAClearNotConfirmedKeepsThem) {
    using State = klink::DtcReplyBuffer::State;
    Connected c;
    EXPECT_EQ(c.data.command.dtcReply.state(), State::NotRead);
    post(c.data.command.dtcReadRequest);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "18 00 00 00"}));
    EXPECT_EQ(c.data.command.dtcReply.state(), State::Read);
    EXPECT_EQ(c.data.command.dtcReply.at(12), 3);  // the simulated ECU's three codes
    EXPECT_EQ(c.data.command.dtcReply.at(13), 0x01);
    // A clear the ECU does not confirm leaves the codes as last read.
    const auto silent = [&c](bool on) {
        c.line.withCore([on](sim::AdapterCore& core) {
            return core.options().fault = on ? sim::LineFault::SilentEcu : sim::LineFault::None;
        });
    };
    c.data.command.dtcReply.awaitClear();
    post(c.data.command.dtcClearRequest);
    silent(true);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "18 00 00 00", "14 00 00"}));
    silent(false);
    EXPECT_EQ(c.data.command.dtcReply.at(12), 3);
    EXPECT_EQ(c.data.command.dtcReply.state(), State::Read);
    EXPECT_EQ(c.pass(), (V{"82", "81", "21 A1", "21 A2", "21 A3", "1A 80"}));  // the link woke the ECU again
    // As the codes window asks: the read before the clear is not kept.
    c.data.command.dtcReply.awaitClear();
    post(c.data.command.dtcClearRequest);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "18 00 00 00", "14 00 00"}));
    EXPECT_EQ(c.data.command.dtcClearRequest.load(), 0);
    EXPECT_EQ(c.data.command.dtcReply.at(12), 0);
    EXPECT_EQ(c.data.command.dtcReply.state(), State::Cleared);  // the empty reply is no reading
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "18 00 00 00"}));
    EXPECT_EQ(c.data.command.dtcReply.at(12), 0);
    EXPECT_EQ(c.data.command.dtcReply.state(), State::Read);
    klink::clearFlag(c.data.command.dtcReadRequest);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03"}));
}

TEST(PollPass, ControlRowsAreServedInOrderAndOnlyWhileControlIsActive) {
    Connected c;
    auto& lid1 = c.actuator(0x01);
    post(lid1.onRequest);
    post(lid1.offRequest);
    post(c.data.command.ecuResetRequest);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03"}));  // pending: control not active yet
    post(c.data.command.controlActive);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 01 06 FF", "30 01 06 00", "11 01"}));
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03"}));

    // A report runs every pass; a release sends the report once more, then
    // the release, and then neither.
    post(lid1.reportRequest);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 01 01"}));
    EXPECT_EQ(cp1251::toUtf8(lid1.stateText.get()), "ВЫКЛ");
    post(lid1.onRequest);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 01 06 FF", "30 01 01"}));
    EXPECT_EQ(cp1251::toUtf8(lid1.stateText.get()), "ВКЛ");
    post(lid1.releaseRequest);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 01 01", "30 01 00"}));
    EXPECT_EQ(lid1.reportRequest.load(), 0);
    EXPECT_EQ(lid1.releaseRequest.load(), 0);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03"}));

    // A hand-back the ECU refuses as busy is asked again at the next passes,
    // three times at most.
    for (const int busy : {1, 5}) {
        c.line.withCore([busy](sim::AdapterCore& a) { a.ecu().busyReleases = busy; });
        post(lid1.releaseRequest);
        EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 01 00"}));
        EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 01 00"}));
        if (busy > 1) {
            EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 01 00"}));
        }
        EXPECT_EQ(lid1.releaseRequest.load(), 0);
        EXPECT_EQ(c.pass(), (V{"21 01", "21 03"}));
    }
}

TEST(PollPass, IgnitionAndPumpReportRefusalsAndTheirOnlyOnState) {
    Connected c;
    post(c.data.command.controlActive);
    auto& pump = c.actuator(0x09);
    post(pump.reportRequest);
    c.pass();
    EXPECT_EQ(cp1251::toUtf8(pump.stateText.get()), "Заглушите двигатель");
    post(pump.offRequest);  // the pump has no off: never served, never sent
    c.line.withCore([](sim::AdapterCore& a) {
        a.ecu().engineRunning = false;
        return 0;
    });
    post(pump.onRequest);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 09 06 FF", "30 09 01"}));
    EXPECT_EQ(cp1251::toUtf8(pump.stateText.get()), "ВКЛ");
    post(pump.releaseRequest);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 09 01", "30 09 00"}));
}

TEST(PollPass, AdjustmentFramesAreSentAsTheWindowLeftThem) {
    Connected c;
    post(c.data.command.controlActive);
    auto& purge = c.data.command.adjust[2];
    purge.adjustFrame.setValue(0x64);
    post(purge.adjustRequest);
    post(purge.reportRequest);
    post(c.data.command.ecuInitRequest);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 43 07 64", "30 43 01", "11 90"}));
    EXPECT_EQ(purge.adjustRequest.load(), 0);
    EXPECT_EQ(c.line.withCore([](sim::AdapterCore& a) { return a.ecu().adjustValue[0x43]; }), 0x64);
}

TEST(PollPass, AStepPressedWhileItsFrameIsOutGoesNextAndAnOutputSwitchedIntoADeadLineNeverGoesLater) {
    Connected c;
    post(c.data.command.controlActive);
    auto& purge = c.data.command.adjust[2];
    purge.adjustFrame.setValue(1);
    post(purge.adjustRequest);
    // The window steps again while the ECU is still to answer the first step.
    c.line.withCore([&](sim::AdapterCore& a) {
        a.beforeAnswer = [&](const std::vector<std::uint8_t>& frame, auto) {
            if (frame.size() > 6 && frame[3] == 0x30 && frame[4] == 0x43 && frame[6] == 1) {
                purge.adjustFrame.setValue(2);
                post(purge.adjustRequest);
            }
        };
        return 0;
    });
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 43 07 01"}));
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 43 07 02"}));
    EXPECT_EQ(c.line.withCore([](sim::AdapterCore& a) { return a.ecu().adjustValue[0x43]; }), 2);

    // Nothing comes back, not even the echo: an output switched on then
    // never goes later, unasked, once the adapter answers again; its
    // hand-back does.
    auto& starter = c.actuator(0x0E);
    post(starter.onRequest);
    post(starter.releaseRequest);
    c.line.withCore([](sim::AdapterCore& a) { return a.options().fault = sim::LineFault::NoAdapter; });
    c.pass();
    EXPECT_EQ(starter.onRequest.load(), 0);
    EXPECT_EQ(starter.releaseRequest.load(), 1);
    // Nor does one asked while the link is down: the new connection drops it.
    post(starter.onRequest);
    c.line.withCore([](sim::AdapterCore& a) { return a.options().fault = sim::LineFault::None; });
    while (!c.port.linkUp()) c.pass();
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "30 0E 00"}));
    EXPECT_EQ(starter.onRequest.load(), 0);
}

TEST(PollPass, AMissingLiveDataReplyEndsTheConnectionButStillRaisesTheFlags) {
    Connected c;
    c.pass();
    c.data.sampleReady = 0;
    c.line.withCore([](sim::AdapterCore& a) {
        a.ecu().dropSession();
        return 0;
    });
    c.pass();
    EXPECT_FALSE(c.port.linkUp());
    EXPECT_EQ(c.data.sampleReady.load(), 1);
    EXPECT_EQ(c.data.dataValid.load(), 1);
    EXPECT_EQ(cp1251::toUtf8(c.data.statusText.get()), "Данные получены.");
    // The old bytes stay in the buffer, index 8 excepted.
    EXPECT_EQ(c.port.liveData01Reply()[8], 0);
    EXPECT_EQ(c.port.liveData01Reply()[19], 21);
    // A read posted meanwhile waits for the next connection; a clear does
    // not, and the codes are stored again once it is dropped.
    post(c.data.command.dtcReadRequest);
    c.data.command.dtcReply.awaitClear();
    post(c.data.command.dtcClearRequest);
    EXPECT_EQ(c.pass(), (V{"82", "81", "21 A1", "21 A2", "21 A3", "1A 80"}));
    std::uint64_t before = 0, after = 0;
    c.data.command.dtcReply.copy(before);
    EXPECT_EQ(c.pass(), (V{"21 01", "21 03", "18 00 00 00"}));
    c.data.command.dtcReply.copy(after);
    EXPECT_EQ(after, before + 1);
    // The requests left unanswered before the wake-up owe nothing after it:
    // the first pass of the new connection measures.
    EXPECT_EQ(c.port.passGap(), "");
}

TEST(PollPass, DamagedRepliesNeverBreakThePass) {
    for (auto fault : {sim::LineFault::ShortReplies, sim::LineFault::GarbledReplies, sim::LineFault::NoisyReplies}) {
        sim::SimOptions o;
        o.fault = fault;
        sim::SimulatedLine line(o, true);
        klink::LinkData data;
        klink::Com_Port port(line, data);
        post(data.command.controlActive);
        post(data.command.dtcReadRequest);
        for (int i = 0; i < 300; ++i) {
            for (auto& a : data.command.actuator) post(a.reportRequest);
            post(data.command.dtcClearRequest);
            port.loopTurn();
            if (port.stoppedItself()) port.loopTurn();
        }
        EXPECT_GT(port.passCount(), 100u);
    }
}
