// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of a busy garage: 1,000 visits of 200 cars, each visit with
// eight actions and a recording. Measured: the journal's window opened (the
// journal read, every car listed with its visit count, the newest car's
// visits and its newest visit's actions shown), every visit listed
// (m797-log --journal-list's query), and a search by part of a VIN. Against,
// in the same run, the open dialog's work on the same visits: the
// recordings' folder listed with each file's size and time.
//   journal_bench [visits]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "journal/Journal.h"
#include "logic/JournalWindow.h"
#include "platform/FileAccess.h"

namespace {

using Clock = std::chrono::steady_clock;

// The median of runs of f, in milliseconds.
template <typename F>
double medianMs(int runs, F f) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t = Clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int visits = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("m797-journal-bench-" + std::to_string(platform::processId()));
    fs::create_directories(dir / "recordings");
    const std::string path = (dir / "journal.sqlite3").string();
    {
        std::string why;
        auto j = journal::Journal::open(path, why);
        if (!j) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        for (int v = 0; v < visits; ++v) {
            char vin[32];
            std::snprintf(vin, sizeof vin, "XTA2170%010d", v % 200);
            const std::string recording = (dir / "recordings" / (std::to_string(v) + ".m797")).string();
            std::ofstream(recording) << "M797 recording\n";
            const auto id = j->beginVisit({"m797-tester 1.0.0", "/dev/ttyUSB0", "kline", recording});
            j->setCar(id, {vin, "0261S04987654321", "2112114101", "1037394113", "21126-0015720", "M797E2", "12.03.2024",
                           "VAZ M797", "21126", "ПРИОРА", "15.04.2025"});
            for (int a = 0; a < 8; ++a)
                j->addAction(id, a * 12.5, a % 2 ? "output" : "codes-read", "Реле вентилятора 1: включено");
            j->endVisit(id);
        }
    }
    constexpr int kRuns = 21;
    std::size_t rows = 0;
    const double window = medianMs(kRuns, [&] {
        logic::JournalWindow w(path, {});
        w.open();
        rows = w.shown(logic::ui::kJournalCars).rows.size();
    });
    std::size_t listed = 0;
    const double all = medianMs(kRuns, [&] {
        std::string why;
        auto j = journal::Journal::open(path, why);
        listed = j->visits(0).size();
    });
    std::size_t found = 0;
    const double search = medianMs(kRuns, [&] {
        logic::JournalWindow w(path, {});
        w.open();
        w.typed(logic::ui::kJournalSearch, "0000000042");
        w.pressed(logic::ui::kJournalFind, true);
        found = w.cars().size();
    });
    std::size_t files = 0;
    const double folder = medianMs(kRuns, [&] {
        files = 0;
        for (const auto& e : fs::directory_iterator(dir / "recordings")) {
            (void)e.file_size();
            (void)e.last_write_time();
            ++files;
        }
    });
    std::printf("%d visits of 200 cars, 8 actions each; medians of %d runs\n", visits, kRuns);
    std::printf("journal window opened (%zu cars):   %7.2f ms\n", rows, window);
    std::printf("every visit listed (%zu):          %7.2f ms\n", listed, all);
    std::printf("search by part of a VIN (%zu car):   %7.2f ms\n", found, search);
    std::printf("reference, the folder listed (%zu): %7.2f ms\n", files, folder);
    std::printf("window / reference: %.1f\n", window / folder);
    fs::remove_all(dir);
    return window < 100 && all < 100 ? 0 : 1;
}
