// Raw samples from memory, drawn and read back through a renderer.
#include <cstdio>
#include <string>
#include <vector>

#include "draw/colorspace.h"
#include "core/data_source.h"
#include "image/images.h"
#include "image/xobject.h"
#include "folio_support.h"

using namespace foliotest;
using testsupport::ReadFile;
using testsupport::Raster;

namespace {

const int kWidth = 13;   // odd, so rows end inside a byte and need padding
const int kHeight = 7;

int Sample(int x, int y, int c, int bpc) { return (x * 3 + y * 5 + c * 7) % (1 << bpc); }

// Packs the samples of every row, most significant bits first; each row
// starts on a byte, and on a four-byte boundary when `pad4` is set (the
// padding filled with a pattern that must not show).
std::vector<unsigned char> PackRows(int components, int bpc, bool pad4)
{
    size_t row_length = (static_cast<size_t>(kWidth) * components * bpc + 7) / 8;
    size_t stride = pad4 ? (row_length + 3) / 4 * 4 : row_length;
    std::vector<unsigned char> data(stride * kHeight, 0);
    for (int y = 0; y < kHeight; ++y) {
        for (size_t i = row_length; i < stride; ++i) data[y * stride + i] = 0xA5;
        int bit = 0;
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < components; ++c, bit += bpc) {
                int value = Sample(x, y, c, bpc);
                for (int b = bpc - 1, at = bit; b >= 0; --b, ++at)
                    if (value >> b & 1)
                        data[y * stride + at / 8] |= static_cast<unsigned char>(0x80 >> at % 8);
            }
    }
    return data;
}

// Writes one page of kWidth x kHeight points showing the image at scale 1.
bool WritePage(Doc &doc, const std::string &path, const char *source,
               const std::vector<unsigned char> &data, int components, int bpc,
               const char *params = "")
{
    bool written = doc.recorder.Call([&] {
        EXPECT_EQ(PDF_open_file(doc.pdf, path.c_str()), 1);
        int image = PDF_open_image(doc.pdf, "raw", source,
                                   reinterpret_cast<const char *>(data.data()),
                                   static_cast<long>(data.size()), kWidth, kHeight, components,
                                   bpc, params);
        EXPECT_EQ(image, 0);
        PDF_begin_page(doc.pdf, kWidth, kHeight);
        PDF_place_image(doc.pdf, image, 0, 0, 1);
        PDF_close_image(doc.pdf, image);
        PDF_end_page(doc.pdf);
        PDF_close(doc.pdf);
    });
    if (!written) ADD_FAILURE() << doc.recorder.Last().message;
    return written;
}

struct RawCase {
    const char *label;
    int components;
    int bpc;
    const char *source;
};

const RawCase kCases[] = {
    {"gray1", 1, 1, "memory"},   {"gray2", 1, 2, "memory"},
    {"gray4", 1, 4, "memory"},   {"gray8", 1, 8, "memory"},
    {"rgb2", 3, 2, "memory"},    {"rgb4", 3, 4, "memory"},
    {"rgb8", 3, 8, "memory"},    {"gray1_32", 1, 1, "memory32"},
    {"gray4_32", 1, 4, "memory32"}, {"rgb8_32", 3, 8, "memory32"},
};

class RawImage : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawImage, RendersItsSamples)
{
    const RawCase &c = GetParam();
    testsupport::TempDir dir;
    std::string path = dir.file(std::string(c.label) + ".pdf");
    Doc doc;
    bool padded = std::string(c.source) == "memory32";
    ASSERT_TRUE(WritePage(doc, path, c.source, PackRows(c.components, c.bpc, padded),
                          c.components, c.bpc));

    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(path, &report)) << report;
    Raster raster = testsupport::RenderMutool(path, 1);
    ASSERT_EQ(raster.width, kWidth);
    ASSERT_EQ(raster.height, kHeight);
    int max = (1 << c.bpc) - 1;
    int worst = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int channel = 0; channel < 3; ++channel) {
                int component = c.components == 1 ? 0 : channel;
                int expected = (Sample(x, y, component, c.bpc) * 255 + max / 2) / max;
                int difference = std::abs(raster.at(x, y, channel) - expected);
                if (difference > worst) worst = difference;
            }
    EXPECT_LE(worst, 1) << c.label;
}

INSTANTIATE_TEST_SUITE_P(Samples, RawImage, ::testing::ValuesIn(kCases), ByLabel());

// CMYK has no exact RGB rendering; the inks must still land where they were
// put: paper white, full black, and cyan without red.
TEST(RawImageCmyk, InksLandOnTheirPixels)
{
    std::vector<unsigned char> data(kWidth * kHeight * 4, 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            unsigned char *p = &data[(y * kWidth + x) * 4];
            if (x % 3 == 1) p[3] = 255;  // black
            if (x % 3 == 2) p[0] = 255;  // cyan
        }
    testsupport::TempDir dir;
    std::string path = dir.file("cmyk.pdf");
    Doc doc;
    ASSERT_TRUE(WritePage(doc, path, "memory", data, 4, 8));
    EXPECT_TRUE(testsupport::QpdfCheck(path));
    Raster raster = testsupport::RenderMutool(path, 1);
    ASSERT_EQ(raster.width, kWidth);
    for (int y = 0; y < kHeight; ++y) {
        EXPECT_GT(raster.at(0, y, 0), 230);
        EXPECT_GT(raster.at(0, y, 2), 230);
        EXPECT_LT(raster.at(1, y, 0), 70);
        EXPECT_LT(raster.at(1, y, 1), 70);
        EXPECT_LT(raster.at(2, y, 0), 90);
        EXPECT_GT(raster.at(2, y, 2), 150);
    }
}

// A stencil mask opened from memory, attached to a gray image through the
// mask reference: the masked pixels show the paper.
TEST(RawImageMask, MaskedImageShowsPaperUnderMask)
{
    testsupport::TempDir dir;
    std::string path = dir.file("masked.pdf");
    Doc doc;
    // Mask: left half bits 0 (paint), right half bits 1 (masked out).
    std::vector<unsigned char> mask_bits(2 * kHeight, 0);
    for (int y = 0; y < kHeight; ++y) {
        mask_bits[y * 2] = 0x01;      // x = 7 is masked
        mask_bits[y * 2 + 1] = 0xF8;  // x = 8..12 masked
    }
    std::vector<unsigned char> gray(kWidth * kHeight, 0x40);

    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, path.c_str()), 1);
    int mask = PDF_open_image(doc.pdf, "raw", "memory",
                              reinterpret_cast<const char *>(mask_bits.data()),
                              static_cast<long>(mask_bits.size()), kWidth, kHeight, 1, 1, "mask");
    ASSERT_EQ(mask, 0);
    EXPECT_EQ(pdf_image_slot(doc.pdf, mask)->colorspace, PDF_CS_IMAGEMASK);
    int slot = FillRawSlot(doc.pdf, gray, kWidth, kHeight, 1, 8, PDF_CS_DEVICEGRAY);
    pdf_image_slot(doc.pdf, slot)->mask_image = mask;
    pdf_write_image_xobject(doc.pdf, slot, 1);
    ShowOnLastPage(doc.pdf, slot, kWidth, kHeight);

    EXPECT_TRUE(testsupport::QpdfCheck(path));
    std::string pdf = ReadFile(path);
    EXPECT_NE(pdf.find("/ImageMask true\n"), std::string::npos);
    EXPECT_NE(pdf.find("/Mask 4 0 R\n"), std::string::npos);
    Raster raster = testsupport::RenderMutool(path, 1);
    ASSERT_EQ(raster.width, kWidth);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            EXPECT_EQ(raster.at(x, y, 0), x < 7 ? 0x40 : 0xFF) << x << "," << y;
}

// A palette image as the palette readers leave it: the palette object
// follows the image, and the colour key hides one index.
TEST(RawImagePalette, PaletteAndColourKeyRender)
{
    testsupport::TempDir dir;
    std::string path = dir.file("indexed.pdf");
    Doc doc;
    unsigned char palette[9] = {255, 0, 0, 0, 0, 255, 0, 255, 0};  // red, blue, green
    std::vector<unsigned char> indexes(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) indexes[y * kWidth + x] = static_cast<unsigned char>((x + y) % 3);

    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, path.c_str()), 1);
    int slot = FillRawSlot(doc.pdf, indexes, kWidth, kHeight, 1, 8, PDF_CS_INDEXED);
    pdf_image *image = pdf_image_slot(doc.pdf, slot);
    image->palette = palette;
    image->palette_count = 3;
    image->has_key_color = 1;
    image->key_color[0] = 2;
    pdf_write_image_xobject(doc.pdf, slot, 1);
    ShowOnLastPage(doc.pdf, slot, kWidth, kHeight);

    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(path, &report)) << report;
    std::string pdf = ReadFile(path);
    EXPECT_NE(pdf.find("/Mask[2 2]\n/ColorSpace[/Indexed/DeviceRGB 2 5 0 R]\n"), std::string::npos);
    EXPECT_NE(pdf.find("/ProcSet[/PDF/ImageC/ImageI]\n"), std::string::npos);
    Raster raster = testsupport::RenderMutool(path, 1);
    ASSERT_EQ(raster.width, kWidth);
    const int expected[3][3] = {{255, 0, 0}, {0, 0, 255}, {255, 255, 255}};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(raster.at(x, y, c), expected[(x + y) % 3][c]) << x << "," << y;
}

// A band-wise written image: three XObjects of 3, 3 and 2 rows, drawn top
// to bottom so that together they show the whole picture.
TEST(RawImageBands, BandsStackFromTheTop)
{
    testsupport::TempDir dir;
    std::string path = dir.file("bands.pdf");
    Doc doc;
    const int height = 8, rows_per_band = 3;
    std::vector<unsigned char> rows(kWidth * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < kWidth; ++x) rows[y * kWidth + x] = static_cast<unsigned char>(y * 30 + x);

    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, path.c_str()), 1);
    std::vector<std::vector<unsigned char>> bands;
    for (int row = 0; row < height; row += rows_per_band)
        bands.emplace_back(rows.begin() + row * kWidth,
                           rows.begin() + std::min(height, row + rows_per_band) * kWidth);
    int slot = FillRawSlot(doc.pdf, bands[0], kWidth, rows_per_band, 1, 8, PDF_CS_DEVICEGRAY);
    pdf_image *image = pdf_image_slot(doc.pdf, slot);
    image->band_count = static_cast<int>(bands.size());
    image->rows_per_band = rows_per_band;
    int first = -1;
    for (size_t b = 0; b < bands.size(); ++b) {
        image = pdf_image_slot(doc.pdf, slot);
        image->height = static_cast<float>(bands[b].size() / kWidth);
        pdf_set_memory_source(&image->source, bands[b].data(), bands[b].size());
        pdf_write_image_xobject(doc.pdf, slot, b == 0);
        if (b == 0) first = image->xobject_index;
    }
    image->height = static_cast<float>(height);
    image->xobject_index = first;

    PDF_set_value(doc.pdf, "compress", 0);
    ShowOnLastPage(doc.pdf, slot, kWidth, height);

    EXPECT_TRUE(testsupport::QpdfCheck(path));
    std::string pdf = ReadFile(path);
    EXPECT_NE(pdf.find("q\n13 0 0 3 0 5 cm\n/I0 Do\nQ\n"
                       "q\n13 0 0 3 0 2 cm\n/I1 Do\nQ\n"
                       "q\n13 0 0 2 0 0 cm\n/I2 Do\nQ\n"),
              std::string::npos);
    Raster raster = testsupport::RenderMutool(path, 1);
    ASSERT_EQ(raster.height, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(raster.at(x, y, 1), rows[y * kWidth + x]) << x << "," << y;
}

const pdf_color kGold = {PDF_CS_DEVICECMYK, {0, 0.2f, 1, 0}};

// A gray image drawn in a spot colour refers to the slot's object, inverts
// its samples once, and makes the page list the slot.
TEST(Colorspaces, ImageInSpotColourUsesTheSlot)
{
    testsupport::TempDir dir;
    std::string path = dir.file("colorized.pdf");
    Doc doc;
    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, path.c_str()), 1);
    int spot = pdf_add_colorspace(doc.pdf, PDF_CS_SEPARATION, "Gold", &kGold);
    long object = doc.pdf->colorspaces->slots[spot].object_number;
    std::vector<unsigned char> gray = {0, 128, 255, 64};
    int slot = FillRawSlot(doc.pdf, gray, 2, 2, 1, 8, PDF_CS_SLOT_BASE + spot);
    pdf_write_image_xobject(doc.pdf, slot, 1);
    ShowOnLastPage(doc.pdf, slot, 2, 2);

    std::string pdf = ReadFile(path);
    EXPECT_NE(pdf.find("/ColorSpace " + std::to_string(object) + " 0 R\n"), std::string::npos);
    EXPECT_NE(pdf.find("/Decode[1 0]\n"), std::string::npos);
    EXPECT_NE(pdf.find("/ColorSpace<</CS0 " + std::to_string(object) + " 0 R\n>>\n"),
              std::string::npos);
    EXPECT_NE(pdf.find("/ProcSet[/PDF]\n"), std::string::npos);
    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(path, &report)) << report;
}

}  // namespace
