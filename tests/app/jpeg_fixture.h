// Writes small baseline JPEG files with libjpeg for the book tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace testfixture {

// A `width` x `height` RGB JPEG filled with one colour, with a resolution
// in dots per inch when `dpi_x` and `dpi_y` are given. Returns false when
// the file cannot be created.
inline bool WriteSolidJpeg(const std::string &path, int width, int height,
                           unsigned char r, unsigned char g, unsigned char b,
                           int dpi_x = 0, int dpi_y = 0) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (dpi_x > 0 && dpi_y > 0) {
        info.density_unit = 1;
        info.X_density = static_cast<UINT16>(dpi_x);
        info.Y_density = static_cast<UINT16>(dpi_y);
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
    for (int x = 0; x < width; ++x) {
        row[x * 3] = r;
        row[x * 3 + 1] = g;
        row[x * 3 + 2] = b;
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

}  // namespace testfixture
