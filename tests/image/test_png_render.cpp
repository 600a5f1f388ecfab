// PNG documents as independent viewers see them: every colour type at every
// bit depth, interlaced or not, with and without a tRNS colour key, split
// over several IDAT chunks or not.
#include <gtest/gtest.h>

#include "test_png_util.h"

using namespace foliotest;
using namespace pngtest;
using namespace testsupport;

namespace {

struct RenderCase {
    int color_type;
    int bit_depth;
    bool interlace;
    bool transparency;
    bool split;  // many small IDAT chunks
};

std::string Label(const RenderCase &c)
{
    return "type" + std::to_string(c.color_type) + "_" + std::to_string(c.bit_depth) + "bit" +
           (c.interlace ? "_interlaced" : "") + (c.transparency ? "_trns" : "") +
           (c.split ? "_split" : "");
}

std::vector<RenderCase> AllCases()
{
    struct Depths {
        int color_type;
        std::vector<int> depths;
    } table[] = {
        {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},
        {PNG_COLOR_TYPE_RGB, {8, 16}},
        {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
        {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
        {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}},
    };
    std::vector<RenderCase> cases;
    int n = 0;
    for (const Depths &row : table)
        for (int depth : row.depths)
            for (bool interlace : {false, true}) {
                bool keyable = !(row.color_type & PNG_COLOR_MASK_ALPHA);
                for (bool transparency : {false, true}) {
                    if (transparency && !keyable)
                        continue;
                    // Every other case spreads its data over small chunks.
                    cases.push_back({row.color_type, depth, interlace, transparency,
                                     (n++ / 2 + transparency) % 2 == 1});
                }
            }
    return cases;
}

class PngRender : public ::testing::TestWithParam<RenderCase> {};

TEST_P(PngRender, ViewersShowTheSourceSamples)
{
    const RenderCase &c = GetParam();
    PngSpec recipe;
    recipe.color_type = c.color_type;
    recipe.bit_depth = c.bit_depth;
    recipe.interlace = c.interlace;
    recipe.idat_size = c.split ? 16 : 0;
    if (c.transparency) {
        if (c.color_type == PNG_COLOR_TYPE_PALETTE && c.bit_depth == 1)
            recipe.alphas = {255, 0};  // index 1 is keyed out
        else if (c.color_type == PNG_COLOR_TYPE_PALETTE)
            recipe.alphas = {255, 200, 0, 10};  // index 2 is keyed out
        else
            recipe.key = true;
    }
    if (c.color_type == PNG_COLOR_TYPE_PALETTE && c.bit_depth == 8)
        recipe.palette_size = 200;  // fewer entries than the indices can name

    TempDir dir;
    std::string png = EncodePng(recipe);
    if (c.split) {
        ASSERT_GT(IdatCount(png), 2);
    }
    WriteFile(dir.file("in.png"), png);
    std::string pdf = dir.file("out.pdf");
    pdf_document *document = NewDocument(pdf, 6);
    int image = OpenPng(document, dir.file("in.png"));
    ASSERT_EQ(image, 0);
    // Which road the data took: the file's own Flate data or decoded rows.
    bool eligible = c.bit_depth <= 8 && c.color_type <= PNG_COLOR_TYPE_PALETTE && !c.interlace;
    FinishWithPage(document, image);
    std::string dictionary = FirstImage(ReadFile(pdf)).dictionary;
    EXPECT_EQ(dictionary.find("/Predictor 15") != std::string::npos, eligible) << dictionary;
    EXPECT_TRUE(Log().reports.empty());

    std::string report;
    EXPECT_TRUE(QpdfCheck(pdf, &report)) << report;
    EXPECT_EQ(PdfInfoField(pdf, "MediaBox", 1), "0.00     0.00    23.00    17.00");
    Raster expected = Expected(recipe, c.transparency);
    // mutool ignores the colour key of palette images below 8 bits per
    // index (poppler honours it): there it shows every pixel unmasked.
    bool mutool_keys = !(c.transparency && c.color_type == PNG_COLOR_TYPE_PALETTE &&
                         c.bit_depth < 8);
    EXPECT_EQ(MaxDifference(RenderMutool(pdf, 1), mutool_keys ? expected : Expected(recipe, false)),
              0);
    EXPECT_EQ(MaxDifference(RenderPoppler(pdf, 1), expected), 0);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, PngRender, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<RenderCase> &info) {
                             return Label(info.param);
                         });

}  // namespace
