// generate_jpeg.cpp -- the JPEG writer of generate.h (needs libjpeg).
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "generate.h"

namespace bench {

void WriteJpeg(const std::string &path, int width, int height, unsigned seed, int quality) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "bench: cannot create %s\n", path.c_str());
        std::exit(1);
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);  // libjpeg's default handler exits
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row;
    while (cinfo.next_scanline < cinfo.image_height) {
        PhotoRow(width, height, 3, seed, static_cast<int>(cinfo.next_scanline), &row);
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    if (std::fclose(file) != 0) {
        std::fprintf(stderr, "bench: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

}  // namespace bench
