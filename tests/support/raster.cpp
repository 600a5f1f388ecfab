// Reading PNG files and rendering pages with the two independent renderers.
#include "test_support.h"

#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace testsupport {

namespace {

// Everything ReadPng changes after its setjmp lives here, on the heap, so
// that a longjmp from libpng leaves it in a defined state.
struct PngReading {
    FILE *file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
    Raster raster;
    std::string error;
    bool ok = false;
};

void PngError(png_structp png, png_const_charp message)
{
    auto *reading = static_cast<PngReading *>(png_get_error_ptr(png));
    reading->error = message;
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp)
{
}

}  // namespace

// A file libpng cannot read fails the current test and gives an empty
// raster.
Raster ReadPng(const std::string &path)
{
    auto reading = std::make_unique<PngReading>();
    PngReading *r = reading.get();
    r->file = std::fopen(path.c_str(), "rb");
    if (r->file == nullptr) {
        ADD_FAILURE() << "cannot open " << path;
        return Raster();
    }
    r->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, r, PngError, PngWarning);
    if (r->png != nullptr)
        r->info = png_create_info_struct(r->png);
    if (r->png == nullptr || r->info == nullptr) {
        png_destroy_read_struct(&r->png, &r->info, nullptr);
        std::fclose(r->file);
        ADD_FAILURE() << "libpng cannot start";
        return Raster();
    }

    if (setjmp(png_jmpbuf(r->png)) == 0) {
        png_init_io(r->png, r->file);
        png_read_info(r->png, r->info);
        png_byte color_type = png_get_color_type(r->png, r->info);
        png_byte bit_depth = png_get_bit_depth(r->png, r->info);
        // Everything becomes 8-bit RGB: palettes and small gray depths are
        // expanded, 16-bit samples keep their high byte, alpha is dropped
        // (not composited), gray is copied to all three channels.
        if (color_type == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(r->png);
        if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8)
            png_set_expand_gray_1_2_4_to_8(r->png);
        if (bit_depth == 16)
            png_set_strip_16(r->png);
        if (color_type & PNG_COLOR_MASK_ALPHA)
            png_set_strip_alpha(r->png);
        if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(r->png);
        png_set_interlace_handling(r->png);
        png_read_update_info(r->png, r->info);

        r->raster.width = static_cast<int>(png_get_image_width(r->png, r->info));
        r->raster.height = static_cast<int>(png_get_image_height(r->png, r->info));
        size_t row_bytes = png_get_rowbytes(r->png, r->info);
        if (row_bytes != static_cast<size_t>(r->raster.width) * 3)
            png_error(r->png, "unexpected row size after transformation");
        r->raster.rgb.resize(row_bytes * r->raster.height);
        r->rows.resize(r->raster.height);
        for (int y = 0; y < r->raster.height; y++)
            r->rows[y] = r->raster.rgb.data() + row_bytes * y;
        png_read_image(r->png, r->rows.data());
        png_read_end(r->png, nullptr);
        r->ok = true;
    }
    png_destroy_read_struct(&r->png, &r->info, nullptr);
    std::fclose(r->file);
    if (!r->ok) {
        ADD_FAILURE() << "cannot read PNG " << path << ": " << r->error;
        return Raster();
    }
    return std::move(r->raster);
}

Raster RenderMutool(const std::string &pdf_path, int page)
{
    TempDir dir;
    std::string png = dir.file("page.png");
    // Pages are rendered without anti-aliasing so that edges do not blend
    // with the white page; images drawn one pixel per point keep their
    // samples.
    CommandResult result = RunCommand(
        "mutool draw -q -A 0 -r 72 -c rgb -F png -o " + ShellQuote(png) + " " +
        ShellQuote(pdf_path) + " " + std::to_string(page));
    if (result.status != 0) {
        ADD_FAILURE() << "mutool draw failed on page " << page << " of " << pdf_path
                      << ":\n" << result.output;
        return Raster();
    }
    return ReadPng(png);
}

Raster RenderPoppler(const std::string &pdf_path, int page)
{
    TempDir dir;
    std::string prefix = dir.file("page");
    CommandResult result = RunCommand(
        "pdftoppm -r 288 -f " + std::to_string(page) + " -l " + std::to_string(page) +
        " -singlefile -png " + ShellQuote(pdf_path) + " " + ShellQuote(prefix));
    if (result.status != 0) {
        ADD_FAILURE() << "pdftoppm failed on page " << page << " of " << pdf_path
                      << ":\n" << result.output;
        return Raster();
    }
    Raster full = ReadPng(prefix + ".png");

    // At 288 dpi one point of the page is a 4x4 cell. Poppler draws an image
    // enlarged four times or more without smoothing, so every pixel of a cell
    // inside an image carries the sample unchanged (checked for 8-bit RGB and
    // 1-bit gray images at every offset). An image edge may still land one
    // device pixel off the cell border through rounding; offset 1 is an
    // inner pixel, away from both borders of its cell, and stays inside the
    // right image pixel when that happens.
    const int kCell = 4;
    const int kCellOffset = 1;
    Raster small;
    small.width = full.width / kCell;
    small.height = full.height / kCell;
    small.rgb.resize(static_cast<size_t>(small.width) * small.height * 3);
    for (int y = 0; y < small.height; y++)
        for (int x = 0; x < small.width; x++)
            for (int c = 0; c < 3; c++)
                small.rgb[(static_cast<size_t>(y) * small.width + x) * 3 + c] =
                    full.at(x * kCell + kCellOffset, y * kCell + kCellOffset, c);
    return small;
}

int MaxDifference(const Raster &a, const Raster &b)
{
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size())
        return 256;
    int worst = 0;
    for (size_t i = 0; i < a.rgb.size(); i++) {
        int d = std::abs(static_cast<int>(a.rgb[i]) - static_cast<int>(b.rgb[i]));
        if (d > worst)
            worst = d;
    }
    return worst;
}

}  // namespace testsupport
