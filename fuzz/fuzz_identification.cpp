// SPDX-License-Identifier: GPL-3.0-or-later
// Four identification replies of any length and content.
#include <vector>

#include "ecu/Identification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<klink::ReplyView> parts;
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t want = pos < size ? data[pos] : 0;
        pos = pos < size ? pos + 1 : pos;
        const std::size_t len = std::min(want, size - pos);
        parts.push_back({data + pos, len});
        pos += len;
    }
    const auto texts = ecu::buildIdentTexts({parts[0], parts[1], parts[2], parts[3]});
    std::size_t shown = 0;
    for (const auto& t : texts) shown += klink::shownText(t).size();
    volatile std::size_t sink = shown;
    (void)sink;
    return 0;
}
