// Helpers of the JPEG reader tests: JPEG files made and decoded with libjpeg
// and marker surgery on their bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "folio_support.h"

namespace jpegtest {

struct JpegSpec {
    int width = 48;
    int height = 32;
    int components = 3;        // 1 gray, 3 RGB, 4 CMYK
    bool progressive = false;
    bool arithmetic = false;
    bool adobe = true;         // only for CMYK
    bool jfif = true;          // write libjpeg's JFIF segment
    int quality = 92;
};

// A smooth, deterministic test picture: each component a different ramp.
inline uint8_t Sample(const JpegSpec &recipe, int x, int y, int c)
{
    int ramp = (x * 200 / recipe.width + y * 55 / recipe.height + c * 60) % 256;
    return static_cast<uint8_t>(c % 2 ? 255 - ramp : ramp);
}

inline std::string EncodeJpeg(const JpegSpec &recipe)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = recipe.width;
    cinfo.image_height = recipe.height;
    cinfo.input_components = recipe.components;
    cinfo.in_color_space = recipe.components == 1 ? JCS_GRAYSCALE
                           : recipe.components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, recipe.quality, TRUE);
    cinfo.write_JFIF_header = recipe.jfif;
    if (recipe.components == 4)
        cinfo.write_Adobe_marker = recipe.adobe;
    cinfo.arith_code = recipe.arithmetic;
    if (recipe.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(recipe.width * recipe.components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < recipe.width; x++)
            for (int c = 0; c < recipe.components; c++)
                row[x * recipe.components + c] = Sample(recipe, x, cinfo.next_scanline, c);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<char *>(out), size);
    free(out);
    return bytes;
}

// Decodes a JPEG to RGB as a PDF viewer should show it. CMYK samples are
// taken as stored inverted (the Adobe convention) and converted naively.
inline testsupport::Raster DecodeJpeg(const std::string &bytes)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.data()),
                 bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    testsupport::Raster raster;
    raster.width = cinfo.output_width;
    raster.height = cinfo.output_height;
    int n = cinfo.output_components;
    std::vector<uint8_t> row(raster.width * n);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        for (int x = 0; x < raster.width; x++) {
            const uint8_t *p = &row[x * n];
            for (int c = 0; c < 3; c++) {
                int value = n == 1 ? p[0] : n == 3 ? p[c] : p[c] * p[3] / 255;
                raster.rgb.push_back(static_cast<uint8_t>(value));
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return raster;
}

// Offset of the 0xFF of the first marker `code` in the header segments
// (before the first scan), or npos.
inline size_t FindMarker(const std::string &jpeg, int code)
{
    size_t at = 2;
    while (at + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[at]) == 0xFF) {
        int marker = static_cast<uint8_t>(jpeg[at + 1]);
        if (marker == code)
            return at;
        if (marker == 0xDA)
            break;
        at += 2 + (static_cast<uint8_t>(jpeg[at + 2]) << 8) + static_cast<uint8_t>(jpeg[at + 3]);
    }
    return std::string::npos;
}

// A marker segment with its length field.
inline std::string Segment(int code, const std::string &data)
{
    size_t length = data.size() + 2;
    return std::string{'\xFF', static_cast<char>(code), static_cast<char>(length >> 8),
                       static_cast<char>(length & 0xFF)} + data;
}

// Inserts a segment right after the start-of-image marker.
inline std::string WithSegment(std::string jpeg, const std::string &segment)
{
    return jpeg.insert(2, segment);
}

// An Exif segment (APP1) whose IFD0 holds a tag before the Orientation tag
// and then Orientation with `value` of TIFF type `type` (3 is SHORT), in
// big- or little-endian order.
inline std::string Exif(int value, bool big_endian, int type = 3)
{
    auto u16 = [big_endian](int v) {
        return big_endian ? std::string{static_cast<char>(v >> 8), static_cast<char>(v)}
                          : std::string{static_cast<char>(v), static_cast<char>(v >> 8)};
    };
    auto u32 = [&](int v) { return big_endian ? u16(0) + u16(v) : u16(v) + u16(0); };
    std::string tiff = (big_endian ? "MM" : "II") + u16(42) + u32(8) + u16(2);
    tiff += u16(0x010F) + u16(2) + u32(4) + std::string("Cam\0", 4);  // Make
    tiff += u16(0x0112) + u16(type) + u32(1) + u16(value) + u16(0);
    tiff += u32(0);  // no next IFD
    return Segment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

// Opens a JPEG image file; -2 when a fatal error left the call.
inline int OpenJpeg(pdf_document *document, const std::string &path,
                    const char *stringparam = "", int intparam = 0)
{
    return foliotest::OpenImageFile(document, "jpeg", path, stringparam, intparam);
}

// The bytes of the first DCTDecode stream of an uncompressed document.
inline std::string DctStream(const std::string &pdf)
{
    size_t filter = pdf.find("/Filter[/DCTDecode]");
    return filter == std::string::npos ? "" : foliotest::StreamAround(pdf, filter).data;
}

}  // namespace jpegtest
