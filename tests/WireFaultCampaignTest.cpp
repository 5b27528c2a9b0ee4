// SPDX-License-Identifier: GPL-3.0-or-later
// The wire-fault campaign: a long drive against an ECU behind a wire that
// spoils a quarter of the exchanges at random, on a simulated clock. Every
// row the logger prints, every table row, the codes and the identification
// are compared with what the checker decodes from the bytes each pass really
// received; the drive's recording, replayed by the logger, gives the same.
// M797_CAMPAIGN_PASSES and M797_CAMPAIGN_SEED make it longer or another one
// (scripts/wire-fault-campaign.sh); M797_CAMPAIGN_RECORDING keeps the drive.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/Logger.h"
#include "ecu/EcuDecoder.h"
#include "link/RecordingLine.h"
#include "tests/TestSupport.h"
#include "tests/WireFaultCampaign.h"

namespace {

std::uint64_t envNumber(const char* name, std::uint64_t otherwise) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtoull(v, nullptr, 10) : otherwise;
}

// Lines of text as they come, a whole line at a time.
std::vector<std::string> takeLines(std::ostringstream& s) {
    std::vector<std::string> lines;
    std::istringstream in(s.str());
    s.str("");
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// Between the link and the logger: after each report of the link, what the
// logger printed is compared with what the checker expects, and forgotten,
// so that a drive of any length needs little memory.
struct Comparer : klink::LinkObserver {
    Comparer(klink::LinkObserver& next, std::ostringstream& out, campaign::Checker& checker,
             std::vector<std::string>& csv, const klink::LinkData& data)
        : next_(next), out_(out), checker_(checker), csv_(csv), data_(data) {}
    void statusWritten(const std::string& t) override { next_.statusWritten(t); }
    void adapterNote(const std::string& t) override { next_.adapterNote(t); }
    void portFailed(const std::string& d, const std::string& r) override { next_.portFailed(d, r); }
    void linkStopped() override { next_.linkStopped(); }
    void identificationRead() override {
        next_.identificationRead();
        // The screen's texts too: nothing of a reply that did not come whole.
        if (data_.identText.getAll() != checker_.screenTexts) fail("identification shown from bytes not read for it");
        compare();
    }
    void passCompleted(std::uint64_t pass) override {
        next_.passCompleted(pass);
        compare();
        // The codes the logger would print if the run ended here.
        const klink::Com_Port::DtcRead& codes = link->dtcRead();
        if ((codes.answered ? cli::logDtcLines(codes.bytes) : std::vector<std::string>{}) != checker_.codeLines())
            fail("error codes from bytes that were no whole answer, after pass " + std::to_string(pass));
        // And those the codes window shows.
        const bool read = data_.command.dtcReply.state() != klink::DtcReplyBuffer::State::NotRead;
        if ((read ? cli::logDtcLines(data_.command.dtcReply.copy()) : std::vector<std::string>{}) !=
            checker_.codeLines())
            fail("the codes window's codes from bytes that were no whole answer, after pass " + std::to_string(pass));
    }
    void compare() {
        for (const std::string& l : takeLines(out_)) {
            if (l.rfind("status: ", 0) == 0 || l.rfind("pass,time,", 0) == 0) continue;
            std::deque<std::string>& want = l.rfind("ident ", 0) == 0 ? checker_.identLines : checker_.rows;
            if (want.empty()) {
                fail("printed, never measured: " + l.substr(0, 60));
                continue;
            }
            if (l != want.front()) fail("printed: " + l.substr(0, 60) + "\n  measured: " + want.front().substr(0, 60));
            want.pop_front();
            ++compared;
        }
        if (!checker_.rows.empty() || !checker_.identLines.empty())
            fail("measured, not printed: " + (checker_.rows.empty() ? checker_.identLines : checker_.rows).front());
        checker_.rows.clear();
        checker_.identLines.clear();
        for (const std::string& row : csv_) {
            if (checker_.csv.empty() || row != checker_.csv.front()) {
                fail("table row not measured: " + row.substr(0, 60));
            } else {
                checker_.csv.pop_front();
            }
        }
        if (!checker_.csv.empty()) fail("measured, not in the table: " + checker_.csv.front().substr(0, 60));
        checker_.csv.clear();
        csv_.clear();
    }
    void fail(const std::string& why) {
        if (++failures <= 5) ADD_FAILURE() << why;
    }
    klink::LinkObserver& next_;
    std::ostringstream& out_;
    campaign::Checker& checker_;
    std::vector<std::string>& csv_;
    const klink::LinkData& data_;
    const klink::Com_Port* link = nullptr;
    std::uint64_t failures = 0;
    std::uint64_t compared = 0;
};

std::vector<std::string> rowsOf(const std::string& text) {
    std::vector<std::string> rows;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (!l.empty() && l[0] >= '0' && l[0] <= '9') rows.push_back(l);
    return rows;
}

}  // namespace

TEST(WireFaultCampaign, EveryRowCodeAndIdentificationComesFromTheBytesOfItsOwnPass) {
    const std::uint64_t passes = envNumber("M797_CAMPAIGN_PASSES", 5000);
    const auto seed = static_cast<std::uint32_t>(envNumber("M797_CAMPAIGN_SEED", 797));
    // A drive of the test's length is recorded and replayed; a longer one
    // would outgrow what a recording may hold.
    const bool record = passes <= 50000;
    // M797_CAMPAIGN_RECORDING keeps the drive's recording where it says.
    const char* keep = std::getenv("M797_CAMPAIGN_RECORDING");
    const std::string path =
        keep && *keep ? keep : testsupport::tempDir() + "/campaign-" + std::to_string(seed) + ".txt";

    auto faulty = std::make_unique<sim::FaultyEcuLine>(seed);
    sim::FaultyEcuLine& wire = *faulty;
    std::unique_ptr<platform::SerialLine> line = std::move(faulty);
    klink::WireRecorder* recorder = nullptr;
    if (record) {
        std::string error;
        auto recording =
            klink::RecordingLine::create(std::move(line), path, {"m797-log campaign", "faulty", "--dtc"}, error);
        ASSERT_TRUE(recording) << error;
        recorder = &recording->recorder();
        recorder->setClock([&wire] { return wire.clockMs(); });
        line = std::move(recording);
    }
    const platform::WallTime started = recorder ? recorder->started() : platform::wallNow();
    campaign::Checker checker(started);
    checker.keepRows = record;
    wire.onExchange = [&checker](const sim::FaultExchange& e) { checker.exchange(e); };

    klink::LinkData data;
    ecu::LiveDataStore live;
    live.write([](ecu::LiveData& d) {
        d.setFlagNames();
        return 0;
    });
    ecu::EcuDecoder decoder(live);
    std::ostringstream out, err;
    std::vector<std::string> csv;
    cli::Logger logger(out, data, -1, err, "faulty");
    Comparer comparer(logger, out, checker, csv, data);
    std::optional<klink::RecordingObserver> recordingObserver;
    klink::LinkObserver* observer = &comparer;
    if (recorder) observer = &recordingObserver.emplace(*recorder, &comparer);
    klink::Com_Port link(*line, data, &decoder, observer);
    logger.setRows(link, live, started, [&csv](const std::string& row) { csv.push_back(row); });
    comparer.link = &link;
    link.setReconnect(true);
    klink::post(data.command.dtcReadRequest);
    while (link.passCount() < passes && comparer.failures == 0) {
        link.loopTurn();
        if (err.tellp() > (1 << 20)) err.str("");
    }
    link.shutdown();
    comparer.compare();

    // The codes: from the last whole answer, or none at all.
    std::ostringstream codesErr;
    cli::Logger codesLogger(out, data, -1, codesErr, "faulty");
    codesLogger.setRows(link, live, started);
    out.str("");
    codesLogger.printCodes();
    EXPECT_EQ(takeLines(out), checker.codeLines());

    const auto& counts = wire.faultCounts();
    std::ostringstream figures;
    for (std::size_t f = 0; f < counts.size(); ++f)
        figures << " " << sim::wireFaultName(static_cast<sim::WireFault>(f)) << " " << counts[f] << ";";
    std::cout << "campaign: seed " << seed << ", " << checker.passes() << " passes, " << checker.measured()
              << " measured, " << comparer.compared << " lines compared, " << wire.exchanges()
              << " exchanges, faults:" << figures.str() << "\n";
    EXPECT_EQ(comparer.failures, 0u);
    // Every kind of fault was drawn, and most passes still measured.
    for (std::size_t f = 0; f < counts.size(); ++f)
        EXPECT_GT(counts[f], 0u) << sim::wireFaultName(static_cast<sim::WireFault>(f));
    EXPECT_GT(checker.measured(), checker.passes() / 4);

    if (!record) return;
    ASSERT_TRUE(recorder->finish());
    // The logger replays the drive's recording: the same rows, codes and table.
    const auto replay =
        testsupport::runCommand(std::string(M797_LOG_PATH) + " --replay " + path + " --dtc 2>/dev/null");
    EXPECT_EQ(replay.status, 0);
    std::vector<std::string> liveRows;
    for (const auto& [pass, row] : checker.byPass) liveRows.push_back(row);
    const std::vector<std::string> replayed = rowsOf(replay.out);
    EXPECT_EQ(replayed.size(), liveRows.size());
    EXPECT_TRUE(replayed == liveRows);
    std::vector<std::string> codeLines;
    std::istringstream in(replay.out);
    for (std::string l; std::getline(in, l);)
        if (l.rfind("dtc", 0) == 0) codeLines.push_back(l);
    EXPECT_EQ(codeLines, checker.codeLines());
}
