// "keepalpha": the alpha of PNG and TIFF images as a soft mask. Pages
// render over white, so each pixel must show its colour composited over
// white.
#include <gtest/gtest.h>

#include "test_png_util.h"
#include "test_tiff_util.h"

using namespace foliotest;
using namespace pngtest;
using namespace testsupport;

namespace {

// `colour` composited over white with opacity `alpha`.
uint8_t OverWhite(unsigned colour, unsigned alpha) {
    return static_cast<uint8_t>((colour * alpha + 255 * (255 - alpha) + 127) / 255);
}

struct AlphaCase {
    const char *label;
    int color_type, bit_depth;
    bool interlace;
    std::vector<int> alphas;  // palette tRNS
    bool masked;              // a soft mask is expected
};

class SoftMaskRender : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(SoftMaskRender, ViewersCompositeTheAlphaOverWhite) {
    const AlphaCase &c = GetParam();
    PngSpec recipe;
    recipe.color_type = c.color_type;
    recipe.bit_depth = c.bit_depth;
    recipe.interlace = c.interlace;
    recipe.alphas = c.alphas;
    TempDir dir;
    WriteFile(dir.file("in.png"), EncodePng(recipe));
    const std::string pdf = dir.file("out.pdf");
    pdf_document *document = PDF_new();
    PDF_set_parameter(document, "keepalpha", "true");
    PDF_open_file(document, pdf.c_str());
    ShowOnLastPage(document, PDF_open_image_file(document, "png", dir.file("in.png").c_str(), "", 0),
                   23, 17);
    PDF_delete(document);

    const std::string bytes = ReadFile(pdf);
    EXPECT_EQ(bytes.substr(0, 9), "%PDF-1.4\n");
    EXPECT_EQ(CountOf(bytes, "/SMask"), c.masked ? 1 : 0);
    EXPECT_EQ(CountOf(bytes, "/Mask["), 0);  // never a colour key as well
    // Fully opaque palette entries need no mask, and the data pass through.
    EXPECT_EQ(CountOf(bytes, "/Predictor 15"), c.masked ? 0 : 1);
    EXPECT_TRUE(QpdfCheck(pdf));
    Raster expected = Expected(recipe, false);
    for (int y = 0; y < 17; y++)
        for (int x = 0; x < 23; x++) {
            unsigned index = Sample(recipe, x, y, 0);
            unsigned alpha = index < c.alphas.size() ? c.alphas[index] : 255;
            if (c.alphas.empty()) alpha = Sample(recipe, x, y, Channels(recipe) - 1) >> (c.bit_depth - 8);
            for (int k = 0; k < 3; k++) {
                uint8_t &v = expected.rgb[(static_cast<size_t>(y) * 23 + x) * 3 + k];
                v = OverWhite(v, alpha);
            }
        }
    EXPECT_LE(MaxDifference(RenderMutool(pdf, 1), expected), 1);
    EXPECT_LE(MaxDifference(RenderPoppler(pdf, 1), expected), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Alpha, SoftMaskRender,
    ::testing::ValuesIn(std::vector<AlphaCase>{
        {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}, true},
        {"rgba16_interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 16, true, {}, true},
        {"gray_alpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {}, true},
        {"gray_alpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, {}, true},
        {"palette8", PNG_COLOR_TYPE_PALETTE, 8, false, {255, 200, 0, 10, 128, 64, 255, 30}, true},
        {"palette2_interlaced", PNG_COLOR_TYPE_PALETTE, 2, true, {255, 90, 180}, true},
        {"palette4_opaque", PNG_COLOR_TYPE_PALETTE, 4, false, {255, 255}, false}}),
    [](const ::testing::TestParamInfo<AlphaCase> &info) { return std::string(info.param.label); });

// A TIFF page with alpha bound with "keepalpha" on; the PDF's path.
std::string BindTiffWithAlpha(const TempDir &dir, const char *name,
                              const tifftest::TiffSpec &recipe, const char *param) {
    const std::string tiff = dir.file(std::string(name) + ".tif");
    const std::string pdf = dir.file(std::string(name) + ".pdf");
    EXPECT_TRUE(tifftest::WriteTiff(tiff, recipe));
    pdf_document *document = PDF_new();
    PDF_set_parameter(document, "keepalpha", "true");
    PDF_open_file(document, pdf.c_str());
    ShowOnLastPage(document, PDF_open_image_file(document, "tiff", tiff.c_str(), param, 0),
                   recipe.width, recipe.height);
    PDF_delete(document);
    return pdf;
}

struct TiffAlphaCase {
    const char *label;
    uint16_t samples, bits, photometric, extra_type;
    const char *param;
    const char *matte;  // the soft mask's entry; "" for none
};

class TiffAlphaRender : public ::testing::TestWithParam<TiffAlphaCase> {};

// Associated alpha: the stored colours are already multiplied by it, so
// over white a pixel shows them plus white where it is not opaque. Where
// the samples are shown inverted, they were multiplied against white.
TEST_P(TiffAlphaRender, PixelsShowTheCompositeTheImageMeans) {
    const TiffAlphaCase &c = GetParam();
    tifftest::TiffSpec recipe;
    recipe.samples = c.samples;
    recipe.bits = c.bits;
    recipe.photometric = c.photometric;
    recipe.extra_samples = 1;
    recipe.extra_type = c.extra_type;
    TempDir dir;
    const std::string pdf = BindTiffWithAlpha(dir, "alpha", recipe, c.param);
    const std::string bytes = ReadFile(pdf);
    EXPECT_EQ(CountOf(bytes, "/SMask"), 1);
    EXPECT_EQ(CountOf(bytes, *c.matte ? c.matte : "/Matte"), *c.matte ? 1 : 0);
    EXPECT_TRUE(QpdfCheck(pdf));

    Raster expected{40, 24, {}};
    bool associated = c.extra_type == EXTRASAMPLE_ASSOCALPHA;
    bool flip = (c.photometric == PHOTOMETRIC_MINISWHITE) != (*c.param != '\0');
    int shift = c.bits - 8;
    for (uint32_t y = 0; y < 24; y++)
        for (uint32_t x = 0; x < 40; x++)
            for (int k = 0; k < 3; k++) {
                unsigned alpha = tifftest::Sample(recipe, x, y, c.samples - 1) >> shift;
                unsigned v = tifftest::Sample(recipe, x, y, c.samples == 2 ? 0 : k) >> shift;
                if (flip) v = 255 - v;
                expected.rgb.push_back(!associated ? OverWhite(v, alpha)
                                       : flip      ? static_cast<uint8_t>(v)
                                                   : static_cast<uint8_t>(v + 255 - alpha));
            }
    EXPECT_LE(MaxDifference(RenderMutool(pdf, 1), expected), 2);
    EXPECT_LE(MaxDifference(RenderPoppler(pdf, 1), expected), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Tiff, TiffAlphaRender,
    ::testing::ValuesIn(std::vector<TiffAlphaCase>{
        {"gray8", 2, 8, PHOTOMETRIC_MINISBLACK, EXTRASAMPLE_ASSOCALPHA, "", "/Matte[0]"},
        {"gray8_white_is_zero", 2, 8, PHOTOMETRIC_MINISWHITE, EXTRASAMPLE_ASSOCALPHA, "",
         "/Matte[1]"},
        {"rgb8", 4, 8, PHOTOMETRIC_RGB, EXTRASAMPLE_ASSOCALPHA, "", "/Matte[0 0 0]"},
        {"rgb16", 4, 16, PHOTOMETRIC_RGB, EXTRASAMPLE_ASSOCALPHA, "", "/Matte[0 0 0]"},
        {"rgb8_inverted", 4, 8, PHOTOMETRIC_RGB, EXTRASAMPLE_ASSOCALPHA, "invert", "/Matte[1 1 1]"},
        {"rgb8_unassociated", 4, 8, PHOTOMETRIC_RGB, EXTRASAMPLE_UNASSALPHA, "", ""}}),
    [](const ::testing::TestParamInfo<TiffAlphaCase> &info) {
        return std::string(info.param.label);
    });

// CMYK with associated alpha was multiplied against no ink: it shows as
// its twin of unassociated alpha, whose colours are not multiplied.
// pdftoppm takes the matte out after turning the colours into RGB, which
// lands only near the twin (27 levels off, 52 without the matte).
TEST(TiffAlphaRender, CmykShowsAsItsUnassociatedTwin) {
    tifftest::TiffSpec recipe;
    recipe.samples = 5;
    recipe.photometric = PHOTOMETRIC_SEPARATED;
    recipe.extra_samples = 1;
    TempDir dir;
    const std::string twin = BindTiffWithAlpha(dir, "twin", recipe, "");
    recipe.extra_type = EXTRASAMPLE_ASSOCALPHA;
    const std::string pdf = BindTiffWithAlpha(dir, "associated", recipe, "");
    EXPECT_EQ(CountOf(ReadFile(pdf), "/Matte[0 0 0 0]"), 1);
    EXPECT_TRUE(QpdfCheck(pdf));
    EXPECT_LE(MaxDifference(RenderMutool(pdf, 1), RenderMutool(twin, 1)), 2);
}

}  // namespace
