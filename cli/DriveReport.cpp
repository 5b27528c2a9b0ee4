// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DriveReport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diagnosis/Checks.h"
#include "diagnosis/Report.h"
#include "diagnosis/ReportHtml.h"
#include "ecu/Identification.h"
#include "platform/Cp1251.h"
#include "platform/FileAccess.h"

namespace cli {

std::optional<ReportKind> reportKindOf(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    const auto endsWith = [&lower](const char* end) {
        const std::size_t n = std::strlen(end);
        return lower.size() > n && lower.compare(lower.size() - n, n, end) == 0;
    };
    if (endsWith(".html") || endsWith(".htm")) return ReportKind::Html;
    if (endsWith(".json")) return ReportKind::Json;
    return std::nullopt;
}

bool writeReports(const std::vector<std::string>& paths, const ecu::SessionHistory& history,
                  const klink::Com_Port& link, const klink::LinkData& data, platform::WallTime started, bool withCodes,
                  const std::string& program, const std::function<void(const std::string&)>& say) {
    if (paths.empty()) return true;
    const diagnosis::Drive drive = diagnosis::readDrive(history);
    diagnosis::ReportInput in;
    in.program = program;
    // The identification only from replies that came whole.
    const auto texts = data.identText.getAll();
    for (std::size_t k = 0; k < texts.size(); ++k)
        if (link.identGaps()[ecu::identSourceReply(k)].empty())
            in.car.emplace_back(ecu::kIdentCaptions[k], cp1251::toUtf8(klink::shownText(texts[k])));
    in.start = platform::isoTime(started.later(history.empty() ? 0 : history.timeAt(history.first())));
    in.seconds = drive.seconds();
    in.passes = drive.rows.size();
    in.checks = diagnosis::judge(drive);
    if (withCodes && link.dtcRead().answered) {
        const auto& bytes = link.dtcRead().bytes;
        in.codes = diagnosis::reportCodes(bytes.data(), bytes.size());
    }
    bool all = true;
    for (const std::string& path : paths) {
        const std::string text =
            reportKindOf(path) == ReportKind::Json ? diagnosis::reportJson(in) : diagnosis::reportHtml(in, drive);
        std::FILE* f = platform::openFile(path, "wb");
        bool ok = f != nullptr;
        int error = ok ? 0 : errno;
        if (f) {
            if (std::fwrite(text.data(), 1, text.size(), f) != text.size()) ok = false, error = errno;
            if (std::fclose(f) != 0 && ok) ok = false, error = errno;
        }
        if (!ok) {
            say(path + ": " + std::strerror(error ? error : EIO) + "; the report is not written");
            all = false;
        }
    }
    return all;
}

}  // namespace cli
