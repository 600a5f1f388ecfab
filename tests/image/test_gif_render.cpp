// GIF documents as independent programs see them: the re-packed code stream
// decoded by qpdf gives exactly the indices giflib decodes from the file,
// and mutool and poppler show the palette colours of the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "test_gif_util.h"

using namespace foliotest;
using namespace giftest;
using namespace testsupport;

namespace {

// Sub-block sizes that cut codes everywhere: 1, 2, 3, ... 13, 1, 2, ...
std::vector<size_t> Ragged()
{
    std::vector<size_t> sizes;
    for (int i = 0; i < 4000; i++)
        sizes.push_back(1 + i % 13);
    return sizes;
}

// Makes `pdf` a compressed one-page document of the GIF: the reader must
// open it without a message, and the structure must be sound.
void MakeDocument(const TempDir &dir, const std::string &gif, const std::string &pdf)
{
    WriteFile(dir.file("in.gif"), gif);
    ASSERT_EQ(MakeOnePageDocument(pdf, "gif", dir.file("in.gif"), 6), 0);
    EXPECT_TRUE(Log().reports.empty());
    std::string report;
    EXPECT_TRUE(QpdfCheck(pdf, &report)) << report;
}

struct RoundTrip {
    const char *label;
    std::function<void(GifSpec &)> edit;
    std::function<std::string(std::string)> damage = nullptr;  // applied to the file
};

// Writes the GIF, checks it against giflib, puts it on a page and returns
// qpdf's decoding of the XObject's stream.
void CheckRoundTrip(const RoundTrip &c)
{
    SCOPED_TRACE(c.label);
    TempDir dir;
    GifSpec recipe;
    c.edit(recipe);
    std::string gif = MakeGif(recipe);
    // The damage leaves the pixels alone; giflib judges the intact file.
    Decoded decoded = DecodeWithGiflib(gif);
    if (c.damage)
        gif = c.damage(gif);
    ASSERT_TRUE(decoded.ok) << "giflib refuses the test file";
    ASSERT_EQ(decoded.indices, PixelsOf(recipe)) << "the test encoder is wrong";

    std::string pdf = dir.file("out.pdf");
    ASSERT_NO_FATAL_FAILURE(MakeDocument(dir, gif, pdf));
    int status = -1;
    long object = ImageObject(ReadFile(pdf));
    std::string data = QpdfStreamData(pdf, object, &status);
    EXPECT_EQ(status, 0);
    // The stream holds the file's codes up to a complete end code, and
    // nothing after it.
    size_t bits = EncodeLzw(PixelsOf(recipe), recipe.lzw).stream_bits;
    EXPECT_EQ(QpdfStreamData(pdf, object, &status, true).size(), (bits + 7) / 8);
    std::vector<uint8_t> indices(data.begin(), data.end());
    ASSERT_EQ(indices.size(), decoded.indices.size());
    size_t first_difference =
        std::mismatch(indices.begin(), indices.end(), decoded.indices.begin()).first - indices.begin();
    EXPECT_EQ(first_difference, indices.size()) << "the pixels differ from this index on";
}

TEST(GifRoundTrip, QpdfDecodesTheIndicesGiflibDecodes)
{
    const RoundTrip cases[] = {
        {"2 colours", [](GifSpec &s) { s.global_colors = 2; }},
        {"16 colours", [](GifSpec &) {}},
        {"3 x 3", [](GifSpec &s) { s.width = 3; s.height = 3; }},
        {"256 colours of noise, table cleared before it is full",
         [](GifSpec &s) { s.global_colors = 256; s.noise = true; s.width = 300; s.height = 200; }},
        {"table filled completely, then cleared",
         [](GifSpec &s) {
             s.global_colors = 256; s.noise = true; s.width = 300; s.height = 200;
             s.lzw.table_limit = 4096;
         }},
        {"large image of long runs",
         [](GifSpec &s) { s.global_colors = 64; s.width = 1000; s.height = 700; }},
        {"codes cut across tiny sub-blocks",
         [](GifSpec &s) {
             s.global_colors = 256; s.noise = true; s.width = 200; s.height = 100;
             s.block_sizes = Ragged();
         }},
        {"no clear code first", [](GifSpec &s) { s.lzw.leading_clear = false; }},
        {"no end code", [](GifSpec &s) { s.lzw.end_code = false; }},
        {"no end code, last code cut across sub-blocks",
         [](GifSpec &s) { s.lzw.end_code = false; s.block_sizes = Ragged(); }},
        // After the end code the rest of its sub-block, and any further
        // sub-blocks, are skipped up to the terminator.
        {"bytes after the end code in its sub-block",
         [](GifSpec &s) { s.after_codes = std::string("\x05\x00\x07\xFF", 4); }},
        {"sub-blocks after the end code",
         [](GifSpec &s) {
             size_t codes = EncodeLzw(PixelsOf(s), s.lzw).bytes.size();
             s.block_sizes.assign(codes / 255, 255);
             s.block_sizes.insert(s.block_sizes.end(), {codes % 255, 3, 1});
             s.after_codes = std::string("\x02\x01\x00\x09", 4);
         }},
        {"file ends after the end code",
         [](GifSpec &) {}, [](std::string gif) { return gif.substr(0, gif.size() - 2); }},
        {"further images are not read",
         [](GifSpec &) {},
         [](std::string gif) { return gif.substr(0, gif.size() - 1) + ",garbage"; }},
    };
    for (const RoundTrip &c : cases)
        CheckRoundTrip(c);
}

// A table that fills completely with its clear code in the next sub-block
// is valid and must not be taken for an overflow.
TEST(GifRoundTrip, ClearCodeInTheSubBlockAfterTheTableFills)
{
    GifSpec probe;
    probe.global_colors = 256;
    probe.noise = true;
    probe.width = 120;
    probe.height = 100;
    probe.lzw.table_limit = 4096;
    std::vector<size_t> sizes = SplitAfterTableFills(PixelsOf(probe), probe.lzw);
    ASSERT_FALSE(sizes.empty());
    CheckRoundTrip({"clear code after a sub-block boundary", [&](GifSpec &s) {
                        s = probe;
                        s.block_sizes = sizes;
                    }});
}

std::vector<Rgb> Palette(int colors, int salt)
{
    std::vector<Rgb> palette;
    for (int i = 0; i < colors; i++)
        palette.push_back(PaletteColor(i, salt));
    return palette;
}

std::string MediaBox(int width, int height)
{
    char box[64];
    snprintf(box, sizeof box, "%8.2f %8.2f %8.2f %8.2f", 0.0, 0.0, double(width), double(height));
    std::string text = box;
    return text.substr(text.find_first_not_of(' '));
}

struct RenderCase {
    std::string label;
    std::function<void(GifSpec &)> edit;
    std::vector<Rgb> palette;
    int transparent;
};

// Files that cannot be re-packed, decoded instead: each minimum code size
// below 8 (with as many colours as its codes name), interlaced rows, and a
// table kept full without a clear code.
std::vector<RenderCase> DecodedCases()
{
    std::vector<RenderCase> cases;
    for (int size = 2; size <= 7; size++)
        cases.push_back({"code size " + std::to_string(size),
                         [size](GifSpec &s) { s.code_size = size; s.global_colors = 1 << size; },
                         Palette(1 << size, 0), -1});
    cases.push_back({"interlaced", [](GifSpec &s) { s.interlaced = true; s.height = 21; },
                     Palette(16, 0), -1});
    cases.push_back({"interlaced, code size 3, local table, transparent index 6",
                     [](GifSpec &s) {
                         s.interlaced = true; s.code_size = 3; s.local_colors = 8;
                         s.transparent = 6; s.height = 6;
                     },
                     Palette(8, 1), 6});
    cases.push_back({"full table not cleared",
                     [](GifSpec &s) {
                         s.global_colors = 256; s.noise = true; s.width = 160; s.height = 90;
                         s.lzw.table_limit = 0;
                     },
                     Palette(256, 0), -1});
    return cases;
}

TEST(GifRender, ViewersShowThePaletteColours)
{
    std::vector<Rgb> grey = {{0, 0, 0}, {85, 85, 85}, {170, 170, 170}, {255, 255, 255}};
    std::vector<RenderCase> cases = {
        {"16 colours", [](GifSpec &) {}, Palette(16, 0), -1},
        {"2 colours", [](GifSpec &s) { s.global_colors = 2; }, Palette(2, 0), -1},
        {"256 colours of noise",
         [](GifSpec &s) { s.global_colors = 256; s.noise = true; s.width = 160; s.height = 90; },
         Palette(256, 0), -1},
        {"256 colours of noise, table filled before each clear",
         [](GifSpec &s) {
             s.global_colors = 256; s.noise = true; s.width = 160; s.height = 90;
             s.lzw.table_limit = 4096;
         },
         Palette(256, 0), -1},
        {"local table of 4 under a global one of 256",
         [](GifSpec &s) { s.global_colors = 256; s.local_colors = 4; }, Palette(4, 1), -1},
        {"transparent index 5", [](GifSpec &s) { s.transparent = 5; }, Palette(16, 0), 5},
        {"transparent index with a local table",
         [](GifSpec &s) { s.global_colors = 256; s.local_colors = 8; s.transparent = 2; },
         Palette(8, 1), 2},
        {"no colour table",
         [](GifSpec &s) { s.global_colors = 0; s.screen_size_field = 1; s.colors_used = 4; },
         grey, -1},
    };
    for (const RenderCase &c : DecodedCases())
        cases.push_back(c);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        GifSpec recipe;
        c.edit(recipe);
        std::string gif = MakeGif(recipe);
        Decoded decoded = DecodeWithGiflib(gif);
        ASSERT_TRUE(decoded.ok);
        ASSERT_EQ(decoded.indices, PixelsOf(recipe)) << "the test encoder is wrong";
        ASSERT_EQ(decoded.transparent, c.transparent);
        if (!decoded.colors.empty()) {
            ASSERT_EQ(decoded.colors, c.palette) << "the test table is wrong";
        }
        Raster expected = Expected(decoded, c.palette, c.transparent);

        std::string pdf = dir.file("out.pdf");
        ASSERT_NO_FATAL_FAILURE(MakeDocument(dir, gif, pdf));
        EXPECT_EQ(PdfInfoField(pdf, "MediaBox", 1), MediaBox(recipe.width, recipe.height));
        EXPECT_EQ(MaxDifference(RenderMutool(pdf, 1), expected), 0);
        EXPECT_EQ(MaxDifference(RenderPoppler(pdf, 1), expected), 0);
    }
}

}  // namespace
