// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes a JPEG held in memory with libjpeg.
#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>

namespace qtface {

// A null image when the data is not a JPEG libjpeg can read.
QImage decodeJpeg(const std::uint8_t* data, std::size_t size);

// The main window's background, compiled into the program.
QImage backgroundPicture();

}  // namespace qtface
