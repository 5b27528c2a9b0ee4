// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes in the two live-data buffers, and buffers of any length.
#include <algorithm>
#include <cstring>
#include <vector>

#include "ecu/LiveDecoder.h"
#include "ecu/ParameterCatalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t n01 = size > 0 ? data[0] % 141 : 0;
    const std::vector<std::uint8_t> rest(size > 1 ? data + 1 : data, data + size);
    std::vector<std::uint8_t> l01(rest.begin(), rest.begin() + static_cast<long>(std::min(n01, rest.size())));
    std::vector<std::uint8_t> l03(rest.begin() + static_cast<long>(l01.size()), rest.end());
    if (l03.size() > 40) l03.resize(40);
    ecu::LiveData d;
    d.setFlagNames();
    for (int pass = 0; pass < 2; ++pass) {
        ecu::decodeLiveData({l01.data(), l01.size()}, {l03.data(), l03.size()}, d, pass ? ',' : '.');
        for (int n = -1; n <= 81; ++n) {
            volatile std::size_t len = d.chartReadout(n).size();
            volatile std::int32_t s = d.sample(n);
            (void)len;
            (void)s;
        }
        std::reverse(l01.begin(), l01.end());
    }
    return 0;
}
