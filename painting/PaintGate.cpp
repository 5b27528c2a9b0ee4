// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting/PaintGate.h"

#include <cstring>

#include "ecu/ParameterCatalogue.h"
#include "ecu/SessionHistory.h"
#include "painting/ChartReview.h"

namespace display {
namespace {

void appendColours(std::string& s, const ColourScheme& c) {
    char bytes[sizeof(ColourScheme)];
    std::memcpy(bytes, &c, sizeof bytes);
    s.append(bytes, sizeof bytes);
}

std::string chartInputs(int slot, const DisplaySources& src) {
    const int number = (*src.chartParameter)[static_cast<std::size_t>(slot - 1)];
    const ecu::Parameter* p = ecu::ParameterCatalogue::instance().byNumber(number);
    if (src.review && !src.review->following()) {
        // A paused view stays still while the link goes on: it changes
        // only with the view, the chart's parameter, the colours and the
        // previous drive beside it.
        std::string s = "review" + std::to_string(src.review->generation()) + ' ' + std::to_string(number);
        appendColours(s, *src.colours);
        if (src.previous) s += '\2' + src.previousLabel;  // a previous drive shown beside, or no longer
        return s;
    }
    if (p && ecu::chartedSlot(number) >= 0) return {};  // the trace moves every tick
    // A cursor or a span of its own, following the newest data: the picture
    // moves every tick with or without a trace (a cursor stays at its time).
    if (src.review && !src.review->ordinary()) return {};
    std::string s = "chart" + std::to_string(number);
    appendColours(s, *src.colours);
    if (src.previous) s += '\2' + src.previousLabel;
    if (p) {
        s += src.live->read([&](const ecu::LiveData& d) {
            return d.chartReadout(number) + '\1' +
                   (p->companionSource ? d.analogue[static_cast<std::size_t>(p->companionSource)].valueText
                                       : std::string());
        });
    }
    return s;
}

std::string stripInputs(const DisplaySources& src) {
    std::string s = src.live->read([](const ecu::LiveData& d) {
        std::string t;
        for (const auto& f : d.flag) t += static_cast<char>(f.state);
        return t + d.checksumText[0] + d.checksumText[1] + '\1' + std::to_string(d.errorCount);
    });
    s += '\1' + src.link->statusText.get() + '\1' + src.portName;
    appendColours(s, *src.colours);
    return s;
}

std::string passportInputs(const DisplaySources& src) {
    std::string s;
    for (const auto& t : src.link->identText.getAll()) s += t + '\1';
    appendColours(s, *src.colours);
    return s;
}

}  // namespace

std::string panelInputs(int k, const DisplaySources& src) {
    if (k <= 5) return chartInputs(k, src);
    return k == 6 ? stripInputs(src) : passportInputs(src);
}

bool PaintGate::needsPaint(int k, const DisplaySources& src) {
    const std::size_t i = static_cast<std::size_t>(k);
    std::string inputs = panelInputs(k, src);
    if (inputs.empty()) return true;
    if (known_[i] && inputs == last_[i]) return false;
    last_[i] = std::move(inputs);
    known_[i] = true;
    return true;
}

}  // namespace display
