// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/JpegImage.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

extern const unsigned char kBackgroundJpeg[];
extern const std::size_t kBackgroundJpegSize;

namespace qtface {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onError(j_common_ptr info) {
    // libjpeg must not end the program on a bad file: unwind to the caller.
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void silently(j_common_ptr) {}

}  // namespace

QImage decodeJpeg(const std::uint8_t* data, std::size_t size) {
    jpeg_decompress_struct info{};
    ErrorManager err{};
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.output_message = silently;
    QImage image;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGB888);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

QImage backgroundPicture() { return decodeJpeg(kBackgroundJpeg, kBackgroundJpegSize); }

}  // namespace qtface
