// SPDX-License-Identifier: GPL-3.0-or-later
// The drive's checks against drives made for them: healthy, each fault, and
// each case with too little to judge.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>

#include "diagnosis/Checks.h"
#include "diagnosis/Limits.h"
#include "diagnosis/Report.h"
#include "diagnosis/ReportHtml.h"
#include "sim/SimulatedDrive.h"

using diagnosis::Drive;
using diagnosis::Row;
using diagnosis::Verdict;

namespace {

// A drive of one pass every 0.25 s: a cold start at 15 °C, the coolant
// rising by `perMinute` up to `top`, at idle unless `moving` says otherwise.
struct Maker {
    double seconds = 25 * 60;
    float air = 14, start = 15, perMinute = 8, top = 90, ub = 14.1f, rpm = 840, wanted = 840, iac = 35;
    std::function<bool(double)> moving = [](double t) { return t > 300 && t < 600; };
    std::function<void(Row&)> also = [](Row&) {};
    Drive make() const {
        Drive d;
        for (double t = 0; t <= seconds; t += 0.25) {
            Row r;
            r.t = t;
            r.tmot = std::min(top, start + perMinute * static_cast<float>(t / 60));
            r.tmst = start;
            r.tans = air;
            r.ub = ub;
            r.idle = !moving(t);
            r.vfzg = r.idle ? 0 : 50;
            r.nmot = r.idle ? rpm : 2500;
            r.nsol = wanted;
            r.mompos = iac;
            r.ml = r.idle ? 9 : 40;
            r.adcThr = r.idle ? 0.5f : 2.1f;
            r.fra = 1.03f;
            // Closed loop once warm: the sensor swings 100..850 mV about once a second.
            r.lambdaReady = r.tmot >= 60;
            r.usvk = std::fmod(t, 1.0) < 0.5 ? 100.0f : 850.0f;
            // Behind a working catalyst the rear sensor stays nearly still.
            r.rear = std::fmod(t, 1.0) < 0.5 ? 640.0f : 700.0f;
            also(r);
            d.rows.push_back(r);
        }
        return d;
    }
};

Verdict verdictOf(const std::vector<diagnosis::Finding>& all, const std::string& id) {
    for (const auto& f : all)
        if (f.id == id) return f.verdict;
    ADD_FAILURE() << "no check " << id;
    return Verdict::NoData;
}

ecu::PassRecord kept(const sim::DrivePass& p, int pass, bool afterGap = false) {
    ecu::PassRecord r;
    r.pass = static_cast<std::uint64_t>(pass);
    r.timeMs = p.timeMs;
    r.afterGap = afterGap;
    r.liveData01 = p.liveData01;
    r.liveData03 = p.liveData03;
    return r;
}

Drive simulatedDrive(sim::CarFaults faults, int minutes) {
    sim::SimulatedDrive car(faults);
    auto history = std::make_unique<ecu::SessionHistory>();
    for (int k = 0; k < minutes * 60 * 4; ++k) history->add(kept(car.next(), k));
    return diagnosis::readDrive(*history);
}

}  // namespace

TEST(Diagnosis, AHealthyDriveIsOkEverywhereAndEachVerdictNamesItsLimits) {
    const auto all = diagnosis::judge(Maker{}.make());
    ASSERT_EQ(all.size(), 11u);
    for (const auto& f : all) {
        SCOPED_TRACE(f.id + ": " + f.why);
        EXPECT_EQ(f.verdict, Verdict::Ok);
        EXPECT_FALSE(f.why.empty());
        EXPECT_FALSE(f.evidence.empty());
        for (const std::string& l : f.limits) EXPECT_STRNE(diagnosis::limit(l).source, "");
    }
}

TEST(Diagnosis, EachFaultGivesItsOwnVerdictAndNoOther) {
    struct Case {
        const char* check;
        Verdict verdict;
        std::function<void(Maker&)> fault;
        std::vector<std::string> cannotJudge = {};  // checks left without what they need
    };
    const Case cases[] = {
        {"charging", Verdict::Fault, [](Maker& m) { m.ub = 12.4f; }},
        {"charging", Verdict::Suspect, [](Maker& m) { m.ub = 13.3f; }},
        {"charging", Verdict::Suspect, [](Maker& m) { m.ub = 14.9f; }},
        // A thermostat stuck open: the coolant stops at 66 °C.
        {"warm-up",
         Verdict::Suspect,
         [](Maker& m) { m.top = 66; },
         {"idle", "air-mass", "knock", "mixture", "lambda-front", "catalyst"}},
        {"warm-up", Verdict::Fault,
         [](Maker& m) { m.also = [](Row& r) { r.tmot = std::max(r.tmot, r.t > 900 ? 118.0f : r.tmot); }; }},
        {"temperature-sensors", Verdict::Fault, [](Maker& m) { m.air = 40; }},
        {"temperature-sensors", Verdict::Suspect, [](Maker& m) { m.air = 22; }},
        {"idle", Verdict::Fault, [](Maker& m) { m.rpm = 1050; }},
        {"idle", Verdict::Suspect, [](Maker& m) { m.rpm = 780; }},
        // Fuel pressure too low: the adaptation adds a fifth; a third.
        {"mixture", Verdict::Suspect, [](Maker& m) { m.also = [](Row& r) { r.fra = 1.18f; }; }},
        {"mixture", Verdict::Fault, [](Maker& m) { m.also = [](Row& r) { r.fra = 1.32f; }; }},
        // An air leak: the additive part at idle grows as well, and the hint says so.
        {"mixture", Verdict::Suspect,
         [](Maker& m) {
             m.also = [](Row& r) {
                 r.fra = 1.15f;
                 r.rkat = 3;
             };
         }},
        // A lazy front lambda sensor, and a dead one (its heater gone).
        // Neither leaves the catalyst anything to be compared with.
        {"lambda-front",
         Verdict::Suspect,
         [](Maker& m) { m.also = [](Row& r) { r.usvk = r.usvk > 500 ? 600.0f : 300.0f; }; },
         {"catalyst"}},
        {"lambda-front", Verdict::Fault, [](Maker& m) { m.also = [](Row& r) { r.usvk = 450; }; }, {"catalyst"}},
        // The rear sensor follows the front one: more than half, nearly all.
        {"catalyst", Verdict::Suspect, [](Maker& m) { m.also = [](Row& r) { r.rear = 300 + 0.55f * r.usvk; }; }},
        {"catalyst", Verdict::Fault, [](Maker& m) { m.also = [](Row& r) { r.rear = 50 + 0.9f * r.usvk; }; }},
        // Air passing the meter (a leak after it); a sensor reading high.
        {"air-mass", Verdict::Suspect, [](Maker& m) { m.also = [](Row& r) { r.ml = r.idle ? 5.5f : r.ml; }; }},
        {"air-mass", Verdict::Fault, [](Maker& m) { m.also = [](Row& r) { r.ml = r.idle ? 15.0f : r.ml; }; }},
        // Knock under load: one step held four seconds a minute; two steps, five.
        {"knock", Verdict::Suspect,
         [](Maker& m) { m.also = [](Row& r) { r.wkr = !r.idle && std::fmod(r.t, 60.0) < 4 ? 3.0f : 0.0f; }; }},
        {"knock", Verdict::Fault,
         [](Maker& m) { m.also = [](Row& r) { r.wkr = !r.idle && std::fmod(r.t, 60.0) < 5 ? 7.5f : 0.0f; }; }},
        // Swinging fully, but a quarter of a minute rich at a time.
        {"lambda-front", Verdict::Suspect,
         [](Maker& m) { m.also = [](Row& r) { r.usvk = std::fmod(r.t, 30.0) < 15 ? 850.0f : 100.0f; }; }},
        // A worn throttle sensor track: its closed voltage has crept up.
        {"throttle-sensor", Verdict::Suspect, [](Maker& m) { m.also = [](Row& r) { r.adcThr += 0.4f; }; }},
        // Its track worn part-way open: the voltage drops out for a pass now and then.
        {"throttle-sensor", Verdict::Suspect,
         [](Maker& m) { m.also = [](Row& r) { r.adcThr = !r.idle && std::fmod(r.t, 20.0) == 10 ? 0.6f : r.adcThr; }; }},
        // Cylinder 3 misfires now and then; then badly enough to harm the catalyst.
        {"misfire", Verdict::Suspect,
         [](Maker& m) { m.also = [](Row& r) { r.misfires[2] = static_cast<int>(r.t / 100) % 5; }; }},
        {"misfire", Verdict::Fault,
         [](Maker& m) {
             m.also = [](Row& r) {
                 r.misfires[2] = static_cast<int>(r.t / 10);
                 r.catalystMisfires = static_cast<int>(r.t / 60);
             };
         }},
    };
    for (const Case& c : cases) {
        Maker m;
        c.fault(m);
        const auto all = diagnosis::judge(m.make());
        for (const auto& f : all) {
            SCOPED_TRACE(std::string(c.check) + " case, " + f.id + ": " + f.why);
            EXPECT_EQ(f.verdict, f.id == c.check                                                ? c.verdict
                                 : std::count(c.cannotJudge.begin(), c.cannotJudge.end(), f.id) ? Verdict::NoData
                                                                                                : Verdict::Ok);
            if (f.id == c.check) {
                EXPECT_FALSE(f.next.empty());
                // The mixture's leak hint only where the additive part grew.
                if (f.id == "mixture") {
                    EXPECT_EQ(f.next.find("подсос воздуха") != std::string::npos, m.make().rows.back().rkat > 1);
                }
            }
        }
    }
}

TEST(Diagnosis, TooLittleToJudgeIsSaidWithWhatWasMissing) {
    Maker shortDrive;
    shortDrive.seconds = 20;
    for (const auto& f : diagnosis::judge(shortDrive.make())) {
        EXPECT_EQ(f.verdict, f.id == "temperature-sensors" ? Verdict::Ok : Verdict::NoData) << f.id;
        if (f.verdict == Verdict::NoData) {
            EXPECT_FALSE(f.limits.empty()) << f.id;
        }
    }
    // Never warm within the time a warm-up takes: no idle to judge, the
    // warm-up not finished.
    Maker cold;
    cold.seconds = 8 * 60;
    cold.perMinute = 4;
    const auto coldAll = diagnosis::judge(cold.make());
    EXPECT_EQ(verdictOf(coldAll, "idle"), Verdict::NoData);
    EXPECT_EQ(verdictOf(coldAll, "warm-up"), Verdict::NoData);
    EXPECT_EQ(verdictOf(coldAll, "charging"), Verdict::Ok);
    // Started warm: no cold start to compare the sensors or time the warm-up.
    Maker warm;
    warm.start = 88;
    const auto warmAll = diagnosis::judge(warm.make());
    EXPECT_EQ(verdictOf(warmAll, "temperature-sensors"), Verdict::NoData);
    EXPECT_EQ(verdictOf(warmAll, "warm-up"), Verdict::NoData);
    EXPECT_EQ(verdictOf(warmAll, "idle"), Verdict::Ok);
    // Never at idle.
    Maker driving;
    driving.moving = [](double) { return true; };
    EXPECT_EQ(verdictOf(diagnosis::judge(driving.make()), "idle"), Verdict::NoData);
}

// What a real drive holds beside the fault it shows: one stray pass, the
// catalyst's oxygen after an overrun, knock control giving the angle back
// at idle, a car that came warm. None decides a verdict alone; a rear
// sensor that does not work is said.
TEST(Diagnosis, AStrayPassOrTheSecondsAfterAnOverrunDecideNoVerdict) {
    const auto judged = [](const Maker& m, const char* id) {
        for (const auto& f : diagnosis::judge(m.make()))
            if (f.id == id) return f;
        return diagnosis::Finding{};
    };
    Maker cut;  // an overrun at 700 s; the rear sensor lean once, just after it
    cut.also = [](Row& r) {
        r.fuelCut = r.t >= 700 && r.t < 702;
        if (r.t == 703) r.rear = 80;
    };
    EXPECT_EQ(judged(cut, "catalyst").verdict, Verdict::Ok) << judged(cut, "catalyst").why;
    Maker deadRear;
    deadRear.also = [](Row& r) { r.rear = 450; };
    EXPECT_EQ(judged(deadRear, "catalyst").verdict, Verdict::Suspect) << judged(deadRear, "catalyst").why;
    Maker lazy;  // 350..590 mV, with one pass at each end of the scale
    lazy.also = [](Row& r) { r.usvk = r.t == 900 ? 92 : r.t == 1000 ? 760 : r.usvk < 450 ? 350 : 590; };
    EXPECT_EQ(judged(lazy, "lambda-front").verdict, Verdict::Suspect) << judged(lazy, "lambda-front").why;
    Maker dither;  // a dead sensor's dither about the middle is no switching
    dither.also = [](Row& r) { r.usvk = r.usvk < 450 ? 430 : 475; };
    EXPECT_NE(judged(dither, "lambda-front").why.find(" 0 переключений"), std::string::npos)
        << judged(dither, "lambda-front").why;
    Maker knock;  // 3° for a second under load, given back through the first idle passes
    knock.also = [](Row& r) {
        if (r.t >= 599 && r.t < 600.5) r.wkr = r.t < 600 ? 3 : 1.5f;
    };
    EXPECT_EQ(judged(knock, "knock").verdict, Verdict::Ok) << judged(knock, "knock").why;
    Maker flat;  // the reason names the limit that decided
    flat.ub = 12.4f;
    EXPECT_NE(judged(flat, "charging").why.find("ниже 13,0 В"), std::string::npos) << judged(flat, "charging").why;
    Maker spikes;  // 3° held five seconds a minute, 6° only a second of it: suspect, not a fault
    spikes.also = [](Row& r) {
        const double s = std::fmod(r.t, 60.0);
        r.wkr = r.idle || s >= 5 ? 0.0f : s >= 2 && s < 3 ? 6.0f : 3.0f;
    };
    EXPECT_EQ(judged(spikes, "knock").verdict, Verdict::Suspect) << judged(spikes, "knock").why;
    Maker warmOpen;  // came at 40 °C and stays at 64 °C: the thermostat is open
    warmOpen.start = 40;
    warmOpen.top = 64;
    EXPECT_EQ(judged(warmOpen, "warm-up").verdict, Verdict::Suspect) << judged(warmOpen, "warm-up").why;
}

TEST(Diagnosis, AReconnectionGapIsNoTimeSeen) {
    // 40 s of warm idle, cut by a reconnection 30 s long, or by 30 s of
    // passes that measured nothing: what was seen is the passes' own time,
    // not the gap, and the evidence does not run across it.
    for (const bool reconnected : {true, false}) {
        SCOPED_TRACE(reconnected ? "a reconnection" : "passes that measured nothing");
        Maker m;
        m.start = 88;
        m.seconds = 60;
        Drive d = m.make();
        Drive cut;
        for (const Row& r : d.rows)
            if (r.t < 10 || r.t >= 40) cut.rows.push_back(r);
        for (Row& r : cut.rows)
            if (r.t == 40) r.afterGap = reconnected;
        const diagnosis::Finding idle = diagnosis::checkIdle(cut);
        ASSERT_EQ(idle.verdict, Verdict::Ok) << idle.why;
        double seconds = -1;
        for (const auto& [name, value] : idle.figures)
            if (name == "seconds") seconds = value;
        EXPECT_NEAR(seconds, 30, 2.5);
        ASSERT_EQ(idle.evidence.size(), 2u);  // two ranges: the gap splits them
        EXPECT_NEAR(idle.evidence[0].to, 10, 2.3);
        EXPECT_NEAR(idle.evidence[1].from, 40, 0.01);
    }
}

TEST(Diagnosis, TheDriveIsReadFromTheKeptPassesInTheirUnits) {
    // Passes the simulated car answers ten minutes after its cold start,
    // kept as the link keeps them.
    sim::SimulatedDrive car;
    for (int k = 0; k < 10 * 60 * 4; ++k) car.next();
    ecu::SessionHistory history;
    for (int k = 0; k < 3; ++k) history.add(kept(car.next(), k, k == 2));
    const Drive d = diagnosis::readDrive(history);
    ASSERT_EQ(d.rows.size(), 3u);
    EXPECT_DOUBLE_EQ(d.rows[1].t, 0.25);
    EXPECT_TRUE(d.rows[2].afterGap);
    // The simulated car idles warm, its alternator charging.
    const Row& r = d.rows[0];
    EXPECT_NEAR(r.nmot, 850, 150);
    EXPECT_NEAR(r.ub, 14, 1);
    EXPECT_NEAR(r.tmot, 88, 10);
    EXPECT_LT(r.tmst, r.tmot);
    EXPECT_TRUE(r.idle);
    EXPECT_NEAR(r.fra, 1, 0.2);
}

TEST(Diagnosis, TheSimulatedCarsFaultsAreEachFoundByTheirCheckAndTheHealthyCarByNone) {
    // 25 minutes from a cold start on the simulated clock.
    struct Case {
        const char* faults;
        const char* check;  // that says fault or suspect; empty: none does
    } cases[] = {
        {"", ""},
        {"weak-charging", "charging"},
        {"lazy-lambda", "lambda-front"},
        {"dead-lambda", "lambda-front"},
        {"stuck-thermostat", "warm-up"},
        {"air-leak", "mixture"},
        {"misfire", "misfire"},
        {"worn-throttle", "throttle-sensor"},
        {"worn-catalyst", "catalyst"},
        {"knock", "knock"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        std::string error;
        const auto faults = sim::parseCarFaults(c.faults, error);
        ASSERT_TRUE(faults) << error;
        for (const auto& f : diagnosis::judge(simulatedDrive(*faults, 25))) {
            SCOPED_TRACE(f.id + ": " + f.why);
            if (f.id == c.check)
                EXPECT_TRUE(f.verdict == Verdict::Fault || f.verdict == Verdict::Suspect);
            else if (!*c.check)
                EXPECT_EQ(f.verdict, Verdict::Ok);
            else  // a cold engine leaves the warm checks without data
                EXPECT_TRUE(f.verdict == Verdict::Ok || f.verdict == Verdict::NoData);
            // The misfires are cylinder 3's under load; the fan came on warm.
            if (f.id == "misfire" && f.id == c.check) {
                EXPECT_NE(f.why.find("в цилиндре 3 на холостом ходу 0, под нагрузкой"), std::string::npos);
            }
            if (f.id == "warm-up" && !*c.check) {
                EXPECT_NE(f.why.find("; вентилятор включился при 8"), std::string::npos);
            }
        }
    }
    std::string error;
    EXPECT_FALSE(sim::parseCarFaults("lazy-lambda,flat-tyre", error));
    EXPECT_NE(error.find("flat-tyre"), std::string::npos);
}

TEST(Diagnosis, TheJsonReportReadsBackWithEveryCheckItsLimitsAndTheCodes) {
    diagnosis::ReportInput in;
    in.program = "m797-tester 1.0.0";
    in.car = {{"vin", "XTA21700080123456"}, {"engine", "21126"}};
    in.start = "2026-12-09T10:15:02";
    const Drive d = Maker{}.make();
    in.seconds = d.seconds();
    in.passes = d.rows.size();
    in.checks = diagnosis::judge(d);
    in.codesState = diagnosis::ReportInput::Codes::Read;
    in.codes = {{"P  0130", "Датчик \"кислорода\"\nцепь", "лампа диагностики; присутствует при запросе"}};
    in.actions = {{12.5, "коды стёрты"}};
    const std::string path = testing::TempDir() + "report.json";
    {
        std::ofstream out(path, std::ios::binary);
        out << diagnosis::reportJson(in);
    }
    // Read by another program's parser: every check there, with its limits
    // and their sources, the quote and the line break in a text intact.
    const std::string script = testing::TempDir() + "read-report.py";
    std::ofstream(script) << R"(import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
assert r["format"] == 1 and r["car"]["engine"] == "21126" and r["drive"]["passes"] > 1000
ids = [c["id"] for c in r["checks"]]
assert ids == ["charging", "warm-up", "temperature-sensors", "idle", "air-mass", "misfire", "knock", "throttle-sensor", "mixture", "lambda-front", "catalyst"], ids
assert all(c["verdict"] == "ok" and c["limits"] and all(l["source"] for l in c["limits"]) for c in r["checks"])
assert r["checks"][0]["figures"]["mean_v"] > 14
assert r["codes"][0]["text"] == "Датчик \"кислорода\"\nцепь" and r["actions"][0]["at_s"] == 12.5
assert r["codes_state"] == "read" and r["drive"]["dropped_passes"] == 0
assert [c["codes"] for c in r["checks"]] == [["P  0130"] if c["id"] == "lambda-front" else [] for c in r["checks"]]
)";
    EXPECT_EQ(std::system(("python3 " + script + " " + path).c_str()), 0);
    // The stored code beside the check of its system, which found nothing in
    // this drive; a beginning the history no longer kept said as not judged.
    in.droppedPasses = 1024;
    in.droppedSeconds = 4 * 3600 + 12 * 60;
    EXPECT_NE(
        diagnosis::reportJson(in).find("\"passes\": " + std::to_string(in.passes) + ", \"dropped_passes\": 1024}"),
        std::string::npos);
    const std::string page = diagnosis::reportHtml(in, d);
    EXPECT_NE(page.find("<th>Не оценено</th><td>первые 1024 замеров, 4 ч 12 мин 00 с от начала сеанса"),
              std::string::npos);
    const std::size_t section = page.find("id=\"check-lambda-front\""), next = page.find("<section", section);
    const std::size_t stored = page.find("В памяти ЭБУ по этой системе:", section);
    EXPECT_LT(stored, next);
    EXPECT_LT(page.find("ЭБУ отмечает неисправность как присутствующую", stored), next);  // the code's status says so
    EXPECT_EQ(page.find("В памяти ЭБУ по этой системе:", next), std::string::npos);
    // No codes listed: never read, none kept, or cleared and not read since.
    const std::string html = testing::TempDir() + "codes.html";
    for (const auto& [state, says] : std::vector<std::pair<diagnosis::ReportInput::Codes, std::string>>{
             {diagnosis::ReportInput::Codes::NotRead, "Коды не прочитаны."},
             {diagnosis::ReportInput::Codes::Read, "В памяти ЭБУ кодов нет."},
             {diagnosis::ReportInput::Codes::Cleared, "Коды стёрты; после этого они не читались."}}) {
        in.codes.clear();
        in.codesState = state;
        ASSERT_EQ(diagnosis::writeReport(html, in, d), "");
        std::ifstream file(html);
        const std::string text{std::istreambuf_iterator<char>(file), {}};
        EXPECT_NE(text.find("<h2>Коды неисправностей</h2>\n<p>" + says + "</p>"), std::string::npos) << says;
    }
}
