// TIFF documents as independent viewers see them: every supported kind of
// file, decoded or passed through, must show what libtiff's own decoding of
// the file shows, with colours as stored (alpha neither multiplied in nor
// shown) and 16-bit samples cut to their high byte.
#include <gtest/gtest.h>

#include "test_tiff_util.h"

using namespace foliotest;
using namespace tifftest;
using namespace testsupport;

namespace {

// What the page must show.
enum Reference {
    kSame,        // libtiff's decoding of the file itself
    kPlainTwin,   // libtiff's decoding of PlainTwin(recipe)
    kLevels,      // the recipe's samples scaled to 8 bits (no RGBA decoding by libtiff)
};

struct RenderCase {
    const char *name;
    TiffSpec recipe;
    const char *filter;  // the image's /Filter entry; "" for none
    int tolerance;
    Reference reference = kSame;
};

TiffSpec Make(uint16_t samples, uint16_t bits, uint16_t photometric, uint16_t compression)
{
    TiffSpec recipe;
    recipe.samples = samples;
    recipe.bits = bits;
    recipe.photometric = photometric;
    recipe.compression = compression;
    return recipe;
}

TiffSpec With(TiffSpec recipe, void (*change)(TiffSpec &))
{
    change(recipe);
    return recipe;
}

// The same picture as one uncompressed strip of 8-bit samples without
// alpha: what a file whose colours are kept as stored and whose 16-bit
// samples are cut to their high byte must show.
TiffSpec PlainTwin(TiffSpec recipe)
{
    recipe.samples = static_cast<uint16_t>(recipe.samples - recipe.extra_samples);
    recipe.extra_samples = 0;
    if (recipe.bits == 16)
        recipe.bits = 8;
    recipe.compression = COMPRESSION_NONE;
    recipe.predictor = 0;
    recipe.planar = PLANARCONFIG_CONTIG;
    recipe.tile = 0;
    recipe.big = false;
    return recipe;
}

// The recipe's colour samples of fewer than 8 bits as 8-bit levels.
Raster Levels(const TiffSpec &recipe)
{
    Raster raster;
    raster.width = static_cast<int>(recipe.width);
    raster.height = static_cast<int>(recipe.height);
    unsigned top = (1u << recipe.bits) - 1;
    for (uint32_t y = 0; y < recipe.height; y++)
        for (uint32_t x = 0; x < recipe.width; x++)
            for (int c = 0; c < 3; c++)
                raster.rgb.push_back(static_cast<uint8_t>(Sample(recipe, x, y, c) * 255 / top));
    return raster;
}

// Viewers turn CMYK into RGB each in their own way; a wrong ink order or
// inversion would be off by far more.
const int kCmykTolerance = 90;

const RenderCase kCases[] = {
    {"GrayNone", Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE), "", 1},
    {"GrayWhiteIsZeroNone", Make(1, 8, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE), "", 1},
    {"Gray4BitNone", Make(1, 4, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE), "", 1},
    {"RgbNoneStrips", With(Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE),
                           [](TiffSpec &s) { s.rows_per_strip = 5; }), "", 1},
    {"PaletteNone", Make(1, 8, PHOTOMETRIC_PALETTE, COMPRESSION_NONE), "", 1},
    {"CmykNone", With(Make(4, 8, PHOTOMETRIC_SEPARATED, COMPRESSION_NONE),
                      [](TiffSpec &s) { s.rows_per_strip = 7; }), "", kCmykTolerance},
    {"CmykPackBits", Make(4, 8, PHOTOMETRIC_SEPARATED, COMPRESSION_PACKBITS),
     "RunLengthDecode", kCmykTolerance},
    {"RgbaPackBits", With(Make(4, 8, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS),
                          [](TiffSpec &s) { s.extra_samples = 1; }), "", 1, kPlainTwin},
    {"RgbLzwStrips", With(Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW),
                          [](TiffSpec &s) { s.rows_per_strip = 10; }), "LZWDecode", 1},
    {"RgbLzwPredictorStrips", With(Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW),
                                   [](TiffSpec &s) {
                                       s.rows_per_strip = 10;
                                       s.predictor = PREDICTOR_HORIZONTAL;
                                   }), "LZWDecode", 1},
    {"GrayWhiteIsZeroLzwPredictor", With(Make(1, 8, PHOTOMETRIC_MINISWHITE, COMPRESSION_LZW),
                                         [](TiffSpec &s) {
                                             s.rows_per_strip = 9;
                                             s.predictor = PREDICTOR_HORIZONTAL;
                                         }), "LZWDecode", 1},
    {"PaletteLzw", Make(1, 4, PHOTOMETRIC_PALETTE, COMPRESSION_LZW), "LZWDecode", 1},
    {"RgbDeflatePredictor", With(Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE),
                                 [](TiffSpec &s) {
                                     s.rows_per_strip = 8;
                                     s.predictor = PREDICTOR_HORIZONTAL;
                                 }), "FlateDecode", 1},
    {"GrayWhiteIsZeroDeflate", Make(1, 8, PHOTOMETRIC_MINISWHITE, COMPRESSION_DEFLATE),
     "FlateDecode", 1},
    {"GrayPackBits", With(Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS),
                          [](TiffSpec &s) { s.rows_per_strip = 11; }), "RunLengthDecode", 1},
    {"BilevelWhiteIsZeroPackBits", Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_PACKBITS),
     "RunLengthDecode", 1},
    {"PalettePackBits", With(Make(1, 4, PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS),
                             [](TiffSpec &s) { s.rows_per_strip = 10; }), "RunLengthDecode", 1},
    {"Palette8BitMapPackBits", With(Make(1, 8, PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS),
                                    [](TiffSpec &s) { s.colormap_8bit = true; }),
     "RunLengthDecode", 1},
    {"CcittRleWhiteIsZero", Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTRLE),
     "CCITTFaxDecode", 1},
    {"CcittRleBlackIsZero", Make(1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_CCITTRLE),
     "CCITTFaxDecode", 1},
    {"Group3OneDWhiteIsZero", Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX3),
     "CCITTFaxDecode", 1},
    {"Group3OneDBlackIsZero", Make(1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_CCITTFAX3),
     "CCITTFaxDecode", 1},
    {"Group3TwoD", With(Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX3),
                        [](TiffSpec &s) { s.group3_options = GROUP3OPT_2DENCODING; }),
     "CCITTFaxDecode", 1},
    {"Group3TwoDFillOrder2", With(Make(1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_CCITTFAX3),
                                  [](TiffSpec &s) {
                                      s.group3_options = GROUP3OPT_2DENCODING;
                                      s.fill_order = FILLORDER_LSB2MSB;
                                  }), "CCITTFaxDecode", 1},
    {"Group4WhiteIsZero", Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4),
     "CCITTFaxDecode", 1},
    {"Group4BlackIsZero", Make(1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_CCITTFAX4),
     "CCITTFaxDecode", 1},
    {"Group4FillOrder2Strips", With(Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4),
                                    [](TiffSpec &s) {
                                        s.fill_order = FILLORDER_LSB2MSB;
                                        s.rows_per_strip = 7;
                                    }), "CCITTFaxDecode", 1},
    {"TiledRgbNone", With(Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE),
                          [](TiffSpec &s) { s.tile = 16; }), "", 1},
    {"TiledGrayPackBits", With(Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS),
                               [](TiffSpec &s) { s.tile = 16; }), "", 1},
    {"TiledGroup4", With(Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4),
                         [](TiffSpec &s) { s.tile = 16; }), "", 1},
    {"SeparatePlanesRgbNone", With(Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE),
                                   [](TiffSpec &s) { s.planar = PLANARCONFIG_SEPARATE; }),
     "", 1},
    {"SeparatePlanesCmykNone", With(Make(4, 8, PHOTOMETRIC_SEPARATED, COMPRESSION_NONE),
                                    [](TiffSpec &s) { s.planar = PLANARCONFIG_SEPARATE; }),
     "", kCmykTolerance},
    // Decoded through libtiff: JPEG data compare with libtiff's decoding of
    // the same file, the rest with their plain twin.
    {"YCbCrJpeg", With(Make(3, 8, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG),
                       [](TiffSpec &s) { s.rows_per_strip = 16; }), "", 1},
    // YCbCr samples under the codecs whose strips otherwise pass through.
    {"YCbCrLzw", Make(3, 8, PHOTOMETRIC_YCBCR, COMPRESSION_LZW), "", 1},
    {"YCbCrDeflate", Make(3, 8, PHOTOMETRIC_YCBCR, COMPRESSION_ADOBE_DEFLATE), "", 1},
    {"YCbCrPackBits", Make(3, 8, PHOTOMETRIC_YCBCR, COMPRESSION_PACKBITS), "", 1},
    {"TiledRgbJpeg", With(Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_JPEG),
                          [](TiffSpec &s) { s.tile = 16; }), "", 1},
    {"SeparatePlanesRgbLzw", With(Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW),
                                  [](TiffSpec &s) {
                                      s.planar = PLANARCONFIG_SEPARATE;
                                      s.rows_per_strip = 10;
                                  }), "", 1},
    {"TiledRgbLzwPredictor", With(Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW),
                                  [](TiffSpec &s) {
                                      s.tile = 16;
                                      s.predictor = PREDICTOR_HORIZONTAL;
                                  }), "", 1},
    {"TiledGrayDeflate", With(Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE),
                              [](TiffSpec &s) { s.tile = 16; }), "", 1},
    {"TiledPaletteLzw", With(Make(1, 8, PHOTOMETRIC_PALETTE, COMPRESSION_LZW),
                             [](TiffSpec &s) { s.tile = 16; }), "", 1},
    {"RgbaUnassociatedLzw", With(Make(4, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW),
                                 [](TiffSpec &s) { s.extra_samples = 1; }), "", 1, kPlainTwin},
    {"GrayAlphaDeflate", With(Make(2, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE),
                              [](TiffSpec &s) { s.extra_samples = 1; }), "", 1, kPlainTwin},
    {"CmykAlphaSeparatePlanesLzw", With(Make(5, 8, PHOTOMETRIC_SEPARATED, COMPRESSION_LZW),
                                        [](TiffSpec &s) {
                                            s.extra_samples = 1;
                                            s.planar = PLANARCONFIG_SEPARATE;
                                        }), "", kCmykTolerance, kPlainTwin},
    {"Rgb4BitNone", Make(3, 4, PHOTOMETRIC_RGB, COMPRESSION_NONE), "", 1, kLevels},
    {"Gray16LzwPredictor", With(Make(1, 16, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW),
                                [](TiffSpec &s) { s.predictor = PREDICTOR_HORIZONTAL; }),
     "", 1, kPlainTwin},
    {"GrayWhiteIsZero16None", Make(1, 16, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE), "", 1,
     kPlainTwin},
    {"Rgb16Deflate", Make(3, 16, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE), "", 1, kPlainTwin},
    {"Palette16None", Make(1, 16, PHOTOMETRIC_PALETTE, COMPRESSION_NONE), "", 1, kPlainTwin},
    {"Cmyk16PackBits", Make(4, 16, PHOTOMETRIC_SEPARATED, COMPRESSION_PACKBITS), "",
     kCmykTolerance, kPlainTwin},
    {"BigTiffRgbLzwStrips", With(Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW),
                                 [](TiffSpec &s) {
                                     s.big = true;
                                     s.rows_per_strip = 10;
                                 }), "LZWDecode", 1},
};

void PrintTo(const RenderCase &c, std::ostream *os) { *os << c.name; }

class TiffRender : public ::testing::TestWithParam<RenderCase> {};

TEST_P(TiffRender, ViewersShowWhatLibtiffDecodes)
{
    const RenderCase &c = GetParam();
    TempDir dir;
    std::string tiff = dir.file("in.tif");
    ASSERT_TRUE(WriteTiff(tiff, c.recipe));
    Raster expected;
    if (c.reference == kSame) {
        expected = DecodeTiff(tiff);
    } else if (c.reference == kPlainTwin) {
        ASSERT_TRUE(WriteTiff(dir.file("twin.tif"), PlainTwin(c.recipe)));
        expected = DecodeTiff(dir.file("twin.tif"));
    } else {
        expected = Levels(c.recipe);
    }
    ASSERT_EQ(expected.width, static_cast<int>(c.recipe.width));

    std::string pdf = dir.file("out.pdf");
    ASSERT_EQ(MakeOnePageDocument(pdf, "tiff", tiff), 0)
        << (Log().reports.empty() ? "" : Log().reports[0].message);
    EXPECT_TRUE(Log().reports.empty());

    std::string report;
    EXPECT_TRUE(QpdfCheck(pdf, &report)) << report;
    std::vector<float> box{0, 0, static_cast<float>(c.recipe.width),
                           static_cast<float>(c.recipe.height)};
    EXPECT_EQ(MediaBox(pdf, 1), box);

    std::string bytes = ReadFile(pdf);
    std::vector<Stream> xobjects = ImageStreams(bytes);
    ASSERT_FALSE(xobjects.empty());
    for (const Stream &x : xobjects) {
        if (*c.filter)
            EXPECT_NE(x.dictionary.find(std::string("/Filter[/") + c.filter + "]"),
                      std::string::npos) << x.dictionary;
        else
            EXPECT_EQ(x.dictionary.find("/Filter"), std::string::npos) << x.dictionary;
    }

    EXPECT_LE(MaxDifference(RenderMutool(pdf, 1), expected), c.tolerance) << "mutool";
    EXPECT_LE(MaxDifference(RenderPoppler(pdf, 1), expected), c.tolerance) << "poppler";
}

INSTANTIATE_TEST_SUITE_P(Files, TiffRender, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RenderCase> &info) {
                             return std::string(info.param.name);
                         });

// Each page of a multi-page file is reached through "page" and shown at its
// own size. The last page is decoded, which reopens the file: the new handle
// must be at the same page.
TEST(TiffRenderPages, PageParameterSelectsTheDirectory)
{
    TempDir dir;
    std::string tiff = dir.file("pages.tif");
    TiffSpec first = Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW);
    first.width = 17;
    first.height = 9;
    TiffSpec second = Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4);
    second.width = 52;
    second.height = 30;
    TiffSpec third = Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE);
    ASSERT_TRUE(WriteTiff(tiff, {first, second, third}));

    std::string pdf = dir.file("out.pdf");
    pdf_document *document = NewDocument(pdf);
    const TiffSpec *recipes[] = {&first, &second, &third};
    for (int page = 1; page <= 3; page++) {
        int image = OpenTiff(document, tiff, "page", page);
        ASSERT_EQ(image, 0) << "page " << page;
        PDF_begin_page(document, PDF_get_value(document, "imagewidth", 0),
                       PDF_get_value(document, "imageheight", 0));
        PDF_place_image(document, image, 0, 0, 1);
        PDF_close_image(document, image);
        PDF_end_page(document);
    }
    EXPECT_EQ(OpenTiff(document, tiff, "page", 4), -1);
    EXPECT_EQ(OpenTiff(document, tiff, "page", 0), -1);
    EXPECT_TRUE(Log().reports.empty());
    PDF_close(document);
    PDF_delete(document);

    EXPECT_TRUE(QpdfCheck(pdf));
    for (int page = 1; page <= 3; page++) {
        SCOPED_TRACE(page);
        std::vector<float> box{0, 0, static_cast<float>(recipes[page - 1]->width),
                               static_cast<float>(recipes[page - 1]->height)};
        EXPECT_EQ(MediaBox(pdf, page), box);
        Raster expected = DecodeTiff(tiff, page);
        EXPECT_LE(MaxDifference(RenderMutool(pdf, page), expected), 1);
        EXPECT_LE(MaxDifference(RenderPoppler(pdf, page), expected), 1);
    }
}

}  // namespace
