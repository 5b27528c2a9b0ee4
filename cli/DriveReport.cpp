// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DriveReport.h"

#include "diagnosis/Checks.h"
#include "diagnosis/Report.h"
#include "ecu/Identification.h"
#include "platform/Cp1251.h"

namespace cli {

bool writeReports(const std::vector<std::string>& paths, const ecu::SessionHistory& history,
                  const klink::Com_Port& link, const klink::LinkData& data, platform::WallTime started, bool withCodes,
                  bool replayed, const std::string& program, const std::function<void(const std::string&)>& say) {
    if (paths.empty()) return true;
    const diagnosis::Drive drive = diagnosis::readDrive(history);
    diagnosis::ReportInput in;
    in.program = program;
    // The identification only from replies that came whole, and texts that
    // say something.
    const auto texts = data.identText.getAll();
    for (std::size_t k = 0; k < texts.size(); ++k)
        if (const std::string shown = klink::shownText(texts[k]);
            link.identGaps()[ecu::identSourceReply(k)].empty() && !shown.empty())
            in.car.emplace_back(ecu::identFieldName(k), cp1251::toUtf8(shown));
    in.start = platform::isoTime(started.later(history.empty() ? 0 : history.timeAt(history.first())));
    in.seconds = drive.seconds();
    in.passes = drive.rows.size();
    if (!history.empty() && history.first() > 0) {
        in.droppedPasses = history.first();
        in.droppedSeconds = static_cast<double>(history.timeAt(history.first())) / 1000;
    }
    in.checks = diagnosis::judge(drive);
    in.replayed = replayed;
    if (withCodes && link.dtcRead().answered) {
        const auto& bytes = link.dtcRead().bytes;
        in.codes = diagnosis::reportCodes(bytes.data(), bytes.size());
        in.codesState = diagnosis::ReportInput::Codes::Read;
    }
    bool all = true;
    for (const std::string& path : paths) {
        const std::string failure = diagnosis::writeReport(path, in, drive);
        say(failure.empty() ? path + ": the report is written" : failure);
        all = all && failure.empty();
    }
    return all;
}

}  // namespace cli
