// SPDX-License-Identifier: GPL-3.0-or-later
// The drive's report as its reader gets it: printed by a real browser on
// A4, with the pages it should have and charts that drew; its JSON read
// against the schema the README documents.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "diagnosis/Checks.h"
#include "diagnosis/Report.h"
#include "diagnosis/ReportHtml.h"
#include "sim/SimulatedDrive.h"

namespace {

std::string run(const std::string& command) {
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char b[4096];
        while (std::size_t n = std::fread(b, 1, sizeof b, p)) out.append(b, n);
        if (pclose(p) != 0) out = "failed: " + out;
    }
    return out;
}

// A cold start and 25 minutes with a lazy front sensor and a weak alternator.
struct Sample {
    diagnosis::ReportInput in;
    diagnosis::Drive drive;
    Sample() {
        std::string error;
        sim::SimulatedDrive car(*sim::parseCarFaults("lazy-lambda,weak-charging", error));
        auto history = std::make_unique<ecu::SessionHistory>();
        for (int k = 0; k < 25 * 60 * 4; ++k) {
            const sim::DrivePass& p = car.next();
            ecu::PassRecord r;
            r.pass = static_cast<std::uint64_t>(k);
            r.timeMs = p.timeMs;
            r.liveData01 = p.liveData01;
            r.liveData03 = p.liveData03;
            history->add(r);
        }
        drive = diagnosis::readDrive(*history);
        in.program = "m797-tester 1.0.0";
        // The whole identification, as a car gives it: the first sheet
        // holds it with the summary.
        in.car = {{"Модель автомобиля", "XTA21700080123456"},
                  {"Серийный номер", "0261S04987654321"},
                  {"Код ЭБУ", "2112114101"},
                  {"Код программы", "1037394113"},
                  {"Двигатель", "21126-0015720"},
                  {"Код запчастей", "M797E2"},
                  {"Подготовка ПЗУ", "12.03.2024"},
                  {"Идентификатор", "VAZ M797"},
                  {"Двигатель (паспорт автомобиля)", "21126"},
                  {"Кузов", "ПРИОРА"},
                  {"Дата изготовления", "15.04.2025"}};
        in.start = "2026-12-09T10:15:02.000+03:00";
        in.seconds = drive.seconds();
        in.passes = drive.rows.size();
        in.checks = diagnosis::judge(drive);
        const std::uint8_t reply[] = {0x80, 0xF1, 0x10, 0x0A, 0x58, 0,    0,    0,    0,   0,
                                      0,    0,    2,    0x01, 0x02, 0xE1, 0x01, 0x71, 0x60};
        in.codes = diagnosis::reportCodes(reply, sizeof reply);
        in.actions = {{600, "коды стёрты"}};
    }
};

}  // namespace

TEST(ReportPrint, TheHtmlPrintsOnA4WithItsPagesAndChartsInARealBrowser) {
    const Sample s;
    const std::string dir = testing::TempDir(), html = dir + "report.html", pdf = dir + "report.pdf";
    std::ofstream(html, std::ios::binary) << diagnosis::reportHtml(s.in, s.drive);
    const std::string profile = dir + "chromium-profile";
    const std::string printed =
        run("chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
            "--disable-background-networking --disable-component-update --disable-sync --user-data-dir=" +
            profile + " --no-pdf-header-footer --print-to-pdf=" + pdf + " file://" + html + " 2>&1");
    ASSERT_EQ(printed.rfind("failed", 0), std::string::npos) << printed;
    const std::string info = run("pdfinfo " + pdf);
    // A4 in points, and the pages: the summary, the eight checks, the codes.
    EXPECT_NE(info.find("pts (A4)"), std::string::npos) << info;
    const std::string text = run("pdftotext -layout " + pdf + " -");
    std::vector<std::string> pages;
    std::stringstream all(text);
    for (std::string page; std::getline(all, page, '\f');) pages.push_back(page);
    if (!pages.empty() && pages.back().find_first_not_of(" \n") == std::string::npos) pages.pop_back();
    ASSERT_GE(pages.size(), 4u) << info;
    EXPECT_NE(pages.front().find("Итог"), std::string::npos);
    EXPECT_NE(pages.front().find("неисправность"), std::string::npos);  // the weak alternator
    // The whole summary on the first sheet: a verdict for every check.
    std::size_t verdicts = 0;
    std::stringstream first(pages.front());
    for (std::string line; std::getline(first, line);)
        if (line.find("На графиках") == std::string::npos)
            for (const char* word : {"  норма  ", "  подозрение  ", "  неисправность  ", "  нет данных  "})
                if (line.find(word) != std::string::npos) ++verdicts;
    EXPECT_EQ(verdicts, s.in.checks.size()) << pages.front();
    EXPECT_NE(pages.back().find("P 0102"), std::string::npos) << pages.back();
    EXPECT_NE(pages.back().find("Заметки мастера"), std::string::npos);
    // Each check after the summary, in the report's order, none cut between pages.
    std::size_t checks = 0;
    while (checks < pages.size() && pages[checks].find("Что проверить") == std::string::npos) ++checks;
    ASSERT_LT(checks, pages.size());
    std::size_t at = text.find("На графиках:");
    for (const auto& f : s.in.checks) {
        const std::string title = diagnosis::checkTitle(f.id), word = title.substr(0, title.find(' '));
        at = at == std::string::npos ? at : text.find(word, at + 1);
        EXPECT_NE(at, std::string::npos) << title;
    }
    // The charts drew: the trace's blue fills pixels on the checks' first page.
    const std::string png = dir + "page", page = std::to_string(checks + 1);
    ASSERT_EQ(run("pdftoppm -r 60 -f " + page + " -l " + page + " -png " + pdf + " " + png).rfind("failed", 0),
              std::string::npos);
    const std::string counted = run("convert " + png + "-" + page +
                                    ".png -fuzz 12% -fill black -opaque '#1f5fa8' -fill white "
                                    "+opaque black -format '%[fx:int(w*h*(1-mean))]' info:");
    EXPECT_GT(std::atoi(counted.c_str()), 300) << counted;
}

TEST(ReportPrint, TheJsonValidatesAgainstItsDocumentedSchema) {
    const Sample s;
    const std::string path = testing::TempDir() + "report.json";
    std::ofstream(path, std::ios::binary) << diagnosis::reportJson(s.in);
    const std::string checked =
        run("/usr/bin/python3 -c \"import json, sys, jsonschema; "
            "jsonschema.validate(json.load(open(sys.argv[2])), json.load(open(sys.argv[1])))\" " +
            std::string(M797_SOURCE_DIR) + "/docs/report-schema.json " + path + " 2>&1");
    EXPECT_EQ(checked, "") << checked;
}
