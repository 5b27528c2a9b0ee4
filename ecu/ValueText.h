// SPDX-License-Identifier: GPL-3.0-or-later
// Readout texts of the analogue parameters: fixed point with a given number
// of decimals, after rounding the value to ten significant digits; halves
// round away from zero; negative values carry a leading minus sign.
#pragma once

#include <cstddef>
#include <string>

namespace ecu {

// Writes the text into out (at least 48 bytes) and returns its length.
std::size_t formatFixed(double value, int decimals, char separator, char* out);
std::string formatFixed(double value, int decimals, char separator = '.');

}  // namespace ecu
