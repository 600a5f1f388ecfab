// The TIFF reader's decisions: strips passed through byte for byte and
// placed as bands, decode parameters, refusals, resolutions, string
// parameters, damaged files and allocation failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "draw/colorspace.h"
#include "test_tiff_util.h"

using namespace foliotest;
using namespace tifftest;
using namespace testsupport;

namespace {

TiffSpec Make(uint16_t samples, uint16_t bits, uint16_t photometric, uint16_t compression,
              uint32_t rows_per_strip = 0)
{
    TiffSpec recipe;
    recipe.samples = samples;
    recipe.bits = bits;
    recipe.photometric = photometric;
    recipe.compression = compression;
    recipe.rows_per_strip = rows_per_strip;
    return recipe;
}

std::string Reversed(std::string bytes)
{
    for (char &c : bytes) {
        unsigned v = static_cast<uint8_t>(c), r = 0;
        for (int i = 0; i < 8; i++)
            r |= ((v >> i) & 1) << (7 - i);
        c = static_cast<char>(r);
    }
    return bytes;
}

// Overwrites the value of a one-SHORT tag in the first directory of a
// little-endian file, for values libtiff will not write itself.
bool PatchShortTag(const std::string &path, uint16_t tag, uint16_t value)
{
    std::string bytes = ReadFile(path);
    auto u16 = [&](size_t at) {
        return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                                     static_cast<uint8_t>(bytes[at + 1]) << 8);
    };
    if (bytes.compare(0, 2, "II") != 0)
        return false;
    size_t ifd = u16(4) | static_cast<size_t>(u16(6)) << 16;
    for (size_t i = 0, n = u16(ifd); i < n; i++) {
        size_t entry = ifd + 2 + 12 * i;
        if (u16(entry) == tag && u16(entry + 2) == 3) {
            bytes[entry + 8] = static_cast<char>(value & 0xFF);
            bytes[entry + 9] = static_cast<char>(value >> 8);
            WriteFile(path, bytes);
            return true;
        }
    }
    return false;
}

// Opens `tiff` in a fresh document, places it and finishes the document;
// returns the PDF's bytes ("" when the open failed).
std::string MakePdf(const TempDir &dir, const std::string &tiff, const char *stringparam = "",
                    int intparam = 0)
{
    std::string pdf = dir.file("out.pdf");
    return MakeOnePageDocument(pdf, "tiff", tiff, 0, stringparam, intparam) < 0 ? ""
                                                                               : ReadFile(pdf);
}

TEST(Tiff, PassedThroughStripsKeepTheirBytesOnePerXObject)
{
    struct Case {
        const char *label;
        TiffSpec recipe;
        const char *decode_parms;
    } cases[] = {
        {"lzw rgb predictor", [] {
             TiffSpec s = Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW, 16);
             s.height = 40;
             s.predictor = PREDICTOR_HORIZONTAL;
             return s;
         }(), "/DecodeParms[<</Predictor 2/Columns 40/Colors 3>>]"},
        {"group 4 black is 1, fill order 2", [] {
             TiffSpec s = Make(1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_CCITTFAX4, 10);
             s.fill_order = FILLORDER_LSB2MSB;
             return s;
         }(), "/DecodeParms[<</K -1/BlackIs1 true/Columns 40/Rows "},
        {"group 4 white is 0", Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4),
         "/DecodeParms[<</K -1/Columns 40/Rows "},
        {"group 3 two-dimensional", [] {
             TiffSpec s = Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX3);
             s.group3_options = GROUP3OPT_2DENCODING;
             return s;
         }(), "/DecodeParms[<</K 1/Columns 40/Rows "},
        {"ccitt rle", Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTRLE),
         "/DecodeParms[<</EndOfBlock false/EncodedByteAlign true/Columns 40/Rows "},
        {"packbits palette", Make(1, 4, PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS, 10),
         "/DecodeParms[<<>>]"},
        {"deflate gray predictor", [] {
             TiffSpec s = Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE, 8);
             s.predictor = PREDICTOR_HORIZONTAL;
             return s;
         }(), "/DecodeParms[<</Predictor 2/Columns 40>>]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        std::string tiff = dir.file("in.tif");
        ASSERT_TRUE(WriteTiff(tiff, c.recipe));
        std::string pdf = MakePdf(dir, tiff);
        ASSERT_NE(pdf, "");
        EXPECT_TRUE(QpdfCheck(dir.file("out.pdf")));

        std::vector<std::string> strips = RawStrips(tiff);
        std::vector<Stream> xobjects = ImageStreams(pdf);
        ASSERT_EQ(xobjects.size(), strips.size());
        uint32_t rows = c.recipe.rows_per_strip ? c.recipe.rows_per_strip : c.recipe.height;
        for (size_t i = 0; i < strips.size(); i++) {
            SCOPED_TRACE(i);
            std::string expected =
                c.recipe.fill_order == FILLORDER_LSB2MSB ? Reversed(strips[i]) : strips[i];
            EXPECT_EQ(xobjects[i].data, expected);
            uint32_t band = std::min(rows, c.recipe.height - static_cast<uint32_t>(i) * rows);
            EXPECT_NE(xobjects[i].dictionary.find("/Height " + std::to_string(band) + "\n"),
                      std::string::npos);
            // Fax data also give their band's rows.
            std::string parms = c.decode_parms;
            if (parms.back() == ' ')
                parms += std::to_string(band) + ">>]";
            EXPECT_NE(xobjects[i].dictionary.find(parms), std::string::npos)
                << xobjects[i].dictionary;
        }
        // Only the first band writes the palette.
        if (c.recipe.photometric == PHOTOMETRIC_PALETTE) {
            EXPECT_NE(xobjects[0].dictionary.find("/ColorSpace[/Indexed/DeviceRGB 15 "),
                      std::string::npos);
            auto palette = [](const std::string &d) {
                size_t at = d.find("/ColorSpace");
                return d.substr(at, d.find('\n', at) - at);
            };
            EXPECT_EQ(palette(xobjects[0].dictionary), palette(xobjects[1].dictionary));
        }
    }
}

// Three strips of 16 rows in 40: bands of 16, 16 and 8 rows from the top,
// the slot naming the first band's XObject.
TEST(Tiff, MultiStripImageIsPlacedAsBandsTopToBottom)
{
    TempDir dir;
    std::string tiff = dir.file("in.tif");
    TiffSpec recipe = Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW, 16);
    recipe.height = 40;
    ASSERT_TRUE(WriteTiff(tiff, recipe));
    std::string pdf = dir.file("out.pdf");
    pdf_document *document = NewDocument(pdf);
    // An image before it, so that the first band is not XObject 0.
    TiffSpec small = Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE);
    ASSERT_TRUE(WriteTiff(dir.file("small.tif"), small));
    ASSERT_EQ(OpenTiff(document, dir.file("small.tif")), 0);
    int image = OpenTiff(document, tiff);
    ASSERT_EQ(image, 1);
    EXPECT_EQ(PDF_get_value(document, "imageheight", static_cast<float>(image)), 40.0f);
    PDF_close_image(document, 0);
    FinishWithPage(document, image);

    std::string bytes = ReadFile(pdf);
    size_t first = bytes.find("q\n40 0 0 16 0 24 cm\n/I1 Do\nQ\n");
    size_t second = bytes.find("q\n40 0 0 16 0 8 cm\n/I2 Do\nQ\n");
    size_t third = bytes.find("q\n40 0 0 8 0 0 cm\n/I3 Do\nQ\n");
    EXPECT_NE(first, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_NE(third, std::string::npos);
    EXPECT_TRUE(QpdfCheck(pdf));
    Raster expected = DecodeTiff(tiff);
    EXPECT_LE(MaxDifference(RenderMutool(pdf, 1), expected), 1);
}

TEST(Tiff, RefusedFilesReturnMinusOneWithTheirMessage)
{
    struct Case {
        const char *label;
        TiffSpec recipe;
        const char *message;  // %s: the file name
        uint16_t tag = 0;     // a tag whose value is written over the file's
        uint16_t value = 0;
    } cases[] = {
        {"transparency mask", Make(1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE),
         "Can't handle TIFF file '%s' due to unsupported color space (4)", TIFFTAG_PHOTOMETRIC,
         PHOTOMETRIC_MASK},
        {"lab", Make(3, 8, PHOTOMETRIC_CIELAB, COMPRESSION_NONE),
         "Can't handle TIFF file '%s' due to unsupported color space (8)"},
        {"logluv", Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE),
         "Can't handle TIFF file '%s' due to unsupported color space (32845)", TIFFTAG_PHOTOMETRIC,
         PHOTOMETRIC_LOGLUV},
        {"32 bit", Make(1, 16, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE),
         "Can't handle TIFF file '%s' (PDF doesn't support 32 bit color depth)",
         TIFFTAG_BITSPERSAMPLE, 32},
        {"floating point", [] {
             TiffSpec s = Make(1, 16, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE);
             s.sample_format = SAMPLEFORMAT_IEEEFP;
             return s;
         }(), "Can't handle TIFF file '%s' (samples of format 3, not unsigned integers)"},
        {"unknown compression", Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE),
         "Can't handle TIFF file '%s' (unknown compression 34000)", TIFFTAG_COMPRESSION, 34000},
        {"separated, other inks", [] {
             TiffSpec s = Make(4, 8, PHOTOMETRIC_SEPARATED, COMPRESSION_NONE);
             s.ink_set = INKSET_MULTIINK;
             return s;
         }(), "Can't handle separated TIFF file '%s' with inkset different from CMYK"},
        {"separated, three inks", Make(3, 8, PHOTOMETRIC_SEPARATED, COMPRESSION_PACKBITS),
         "Bad number of color components (3) in TIFF file '%s'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        std::string tiff = dir.file("in.tif");
        ASSERT_TRUE(WriteTiff(tiff, c.recipe));
        if (c.tag) {
            ASSERT_TRUE(PatchShortTag(tiff, c.tag, c.value));
        }
        int descriptors = OpenDescriptors();
        pdf_document *document = NewDocument(dir.file("out.pdf"));
        EXPECT_EQ(OpenTiff(document, tiff), -1);
        char message[512];
        std::snprintf(message, sizeof message, c.message, tiff.c_str());
        ASSERT_EQ(Log().reports.size(), 1u);
        EXPECT_EQ(Log().reports[0].type, PDF_ERR_NONFATAL);
        EXPECT_EQ(Log().reports[0].message, message);

        // Without "imagewarning" the refusal is silent.
        Log().reports.clear();
        PDF_set_parameter(document, "imagewarning", "false");
        EXPECT_EQ(OpenTiff(document, tiff), -1);
        EXPECT_TRUE(Log().reports.empty());
        Discard(document);
        EXPECT_EQ(OpenDescriptors(), descriptors);
    }
}

TEST(Tiff, MissingAndForeignFilesAreRefused)
{
    TempDir dir;
    WriteFile(dir.file("text.tif"), "this is no TIFF file at all");
    pdf_document *document = NewDocument(dir.file("out.pdf"));
    for (const char *name : {"absent.tif", "text.tif"}) {
        Log().reports.clear();
        std::string path = dir.file(name);
        EXPECT_EQ(OpenTiff(document, path), -1);
        ASSERT_EQ(Log().reports.size(), 1u);
        EXPECT_EQ(Log().reports[0].message,
                  "Couldn't open TIFF file '" + path + "' (file not found or bad structure)");
    }
    Discard(document);
}

TEST(Tiff, ResolutionFollowsTheUnit)
{
    struct Case {
        float x, y;
        uint16_t unit;
        float expected_x, expected_y;
    } cases[] = {
        {300, 200, RESUNIT_INCH, 300, 200},
        {300, 300, RESUNIT_CENTIMETER, 762, 762},
        {300, 300, RESUNIT_NONE, -300, -300},
        {0, 0, RESUNIT_INCH, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.unit);
        TempDir dir;
        TiffSpec recipe = Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE);
        recipe.resolution_x = c.x;
        recipe.resolution_y = c.y;
        recipe.resolution_unit = c.unit;
        ASSERT_TRUE(WriteTiff(dir.file("in.tif"), recipe));
        pdf_document *document = NewDocument(dir.file("out.pdf"));
        ASSERT_EQ(OpenTiff(document, dir.file("in.tif")), 0);
        EXPECT_FLOAT_EQ(PDF_get_value(document, "resx", 0), c.expected_x);
        EXPECT_FLOAT_EQ(PDF_get_value(document, "resy", 0), c.expected_y);
        Discard(document);
    }
}

TEST(Tiff, StringParameters)
{
    TempDir dir;
    std::string gray = dir.file("gray.tif");
    std::string fax = dir.file("fax.tif");
    std::string white = dir.file("white.tif");
    std::string strips = dir.file("strips.tif");
    ASSERT_TRUE(WriteTiff(gray, Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE)));
    ASSERT_TRUE(WriteTiff(fax, Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4)));
    ASSERT_TRUE(WriteTiff(white, Make(1, 8, PHOTOMETRIC_MINISWHITE, COMPRESSION_LZW)));
    ASSERT_TRUE(WriteTiff(strips, Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW, 8)));

    // "invert" toggles the inversion the photometric interpretation asked for.
    EXPECT_NE(ImageStreams(MakePdf(dir, gray, "invert"))[0].dictionary.find("/Decode[1 0]"),
              std::string::npos);
    EXPECT_NE(ImageStreams(MakePdf(dir, white))[0].dictionary.find("/Decode[1 0]"),
              std::string::npos);
    EXPECT_EQ(ImageStreams(MakePdf(dir, white, "invert"))[0].dictionary.find("/Decode["),
              std::string::npos);

    // A one-bit image becomes a stencil mask, and another image may use it.
    {
        std::string pdf = dir.file("out.pdf");
        pdf_document *document = NewDocument(pdf);
        int mask = OpenTiff(document, fax, "mask");
        ASSERT_EQ(mask, 0);
        int image = OpenTiff(document, gray, "masked", mask);
        ASSERT_EQ(image, 1);
        PDF_close_image(document, mask);
        FinishWithPage(document, image);
        std::string bytes = ReadFile(pdf);
        std::vector<Stream> xobjects = ImageStreams(bytes);
        ASSERT_EQ(xobjects.size(), 2u);
        EXPECT_NE(xobjects[0].dictionary.find("/ImageMask true"), std::string::npos);
        EXPECT_NE(xobjects[1].dictionary.find("/Mask "), std::string::npos);
        EXPECT_TRUE(QpdfCheck(pdf));
    }

    struct Case {
        const std::string &file;
        const char *stringparam;
        int intparam;
        std::string message;
    } errors[] = {
        {gray, "mask", 0, "Can't handle TIFF image mask with more than 1 bit"},
        {strips, "colorize", 0, "Can't colorize TIFF image with more than 1 component"},
        {gray, "colorize", 0, "Invalid color number 0 for image " + gray},
        {gray, "colorize", -1, "Invalid color number -1 for image " + gray},
        {gray, "masked", 7, "Bad image mask (no 7) for image '" + gray + "'"},
        {strips, "masked", -1, "Can't mask multistrip TIFF image"},
        {gray, "Invert", 0, "Unknown parameter Invert in pdf_open_TIFF"},
    };
    for (const Case &c : errors) {
        SCOPED_TRACE(c.stringparam);
        int descriptors = OpenDescriptors();
        pdf_document *document = NewDocument(dir.file("out.pdf"));
        EXPECT_EQ(OpenTiff(document, c.file, c.stringparam, c.intparam), -2);
        ASSERT_EQ(Log().reports.size(), 1u);
        EXPECT_EQ(Log().reports[0].type, PDF_ERR_VALUE);
        EXPECT_EQ(Log().reports[0].message, c.message);
        Discard(document);
        EXPECT_EQ(OpenDescriptors(), descriptors);
    }
}

// With "passthrough" off every compression but LZW is decoded.
TEST(Tiff, PassthroughOffDecodesAllButLzw)
{
    struct Case {
        TiffSpec recipe;
        bool passed;
    } cases[] = {
        {Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS), false},
        {Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4), false},
        {Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, 8), false},
        {Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW, 8), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.recipe.compression);
        TempDir dir;
        ASSERT_TRUE(WriteTiff(dir.file("in.tif"), c.recipe));
        std::string pdf = dir.file("out.pdf");
        pdf_document *document = NewDocument(pdf);
        PDF_set_parameter(document, "passthrough", "false");
        int image = OpenTiff(document, dir.file("in.tif"));
        ASSERT_EQ(image, 0);
        FinishWithPage(document, image);
        std::vector<Stream> xobjects = ImageStreams(ReadFile(pdf));
        ASSERT_FALSE(xobjects.empty());
        EXPECT_EQ(xobjects[0].dictionary.find("/Filter") != std::string::npos, c.passed);
        EXPECT_LE(MaxDifference(RenderMutool(pdf, 1), DecodeTiff(dir.file("in.tif"))), 1);
    }
}

// Decoded images keep their colour space, which their rendering cannot
// show: palettes of up to 256 entries stay indexed, CMYK stays CMYK in any
// layout, alpha is dropped.
TEST(Tiff, DecodedImagesKeepTheirColourSpace)
{
    const struct {
        const char *label;
        TiffSpec recipe;
        const char *colorspace;
        unsigned components;  // bytes a pixel in the stream
    } cases[] = {
        {"tiled palette", [] {
             TiffSpec s = Make(1, 4, PHOTOMETRIC_PALETTE, COMPRESSION_LZW);
             s.tile = 16;
             return s;
         }(), "/ColorSpace[/Indexed/DeviceRGB 15 ", 1},
        {"planar cmyk and alpha", [] {
             TiffSpec s = Make(5, 8, PHOTOMETRIC_SEPARATED, COMPRESSION_NONE);
             s.planar = PLANARCONFIG_SEPARATE;
             s.extra_samples = 1;
             return s;
         }(), "/ColorSpace/DeviceCMYK\n", 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        ASSERT_TRUE(WriteTiff(dir.file("in.tif"), c.recipe));
        std::vector<Stream> xobjects = ImageStreams(MakePdf(dir, dir.file("in.tif")));
        ASSERT_EQ(xobjects.size(), 1u);
        EXPECT_NE(xobjects[0].dictionary.find(c.colorspace), std::string::npos)
            << xobjects[0].dictionary;
        EXPECT_NE(xobjects[0].dictionary.find("/BitsPerComponent 8\n"), std::string::npos);
        EXPECT_EQ(xobjects[0].data.size(), c.recipe.width * c.recipe.height * c.components);
    }
}

// A little-endian TIFF laid out by hand, for strip layouts libtiff will not
// write: one gray 8-bit image with the given rows per strip and strips.
std::string HandMadeTiff(uint32_t width, uint32_t height, uint32_t rows_per_strip,
                         uint16_t compression, const std::vector<std::string> &strips)
{
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    auto u16 = [](std::string &s, uint16_t v) { s += char(v & 0xFF); s += char(v >> 8); };
    auto u32 = [&](std::string &s, uint32_t v) { u16(s, v & 0xFFFF); u16(s, v >> 16); };

    const uint32_t n = static_cast<uint32_t>(strips.size());
    const uint16_t entry_count = 9;
    const uint32_t ifd = 8;
    const uint32_t arrays = ifd + 2 + entry_count * 12 + 4;
    const uint32_t data = arrays + 8 * n;
    std::vector<uint32_t> offsets, counts;
    uint32_t at = data;
    for (const std::string &strip : strips) {
        offsets.push_back(at);
        counts.push_back(static_cast<uint32_t>(strip.size()));
        at += static_cast<uint32_t>(strip.size());
    }
    Entry entries[] = {
        {256, 4, 1, width},
        {257, 4, 1, height},
        {258, 3, 1, 8},
        {259, 3, 1, compression},
        {262, 3, 1, 1},
        {273, 4, n, n == 1 ? offsets[0] : arrays},
        {277, 3, 1, 1},
        {278, 4, 1, rows_per_strip},
        {279, 4, n, n == 1 ? counts[0] : arrays + 4 * n},
    };
    std::string out = "II";
    u16(out, 42);
    u32(out, ifd);
    u16(out, entry_count);
    for (const Entry &e : entries) {
        u16(out, e.tag);
        u16(out, e.type);
        u32(out, e.count);
        if (e.type == 3 && e.count == 1) {
            u16(out, static_cast<uint16_t>(e.value));
            u16(out, 0);
        } else {
            u32(out, e.value);
        }
    }
    u32(out, 0);
    for (uint32_t v : offsets) u32(out, v);
    for (uint32_t v : counts) u32(out, v);
    for (const std::string &strip : strips) out += strip;
    return out;
}

// One PackBits strip of `rows` rows of `width` bytes of value `v`.
std::string PackBitsRows(uint32_t width, uint32_t rows, char v)
{
    std::string strip;
    for (uint32_t r = 0; r < rows; r++) {
        strip += static_cast<char>(1 - static_cast<int>(width));  // repeat run
        strip += v;
    }
    return strip;
}

// A hand-made TIFF bound on a page: refused, or its image XObjects and the
// page as mutool shows it.
struct BoundTiff {
    bool refused = false;
    std::vector<Stream> xobjects;
    Raster shown;
};

// Opens the TIFF file `bytes` in a new document in `dir`, puts the image on
// a page and checks the finished file with qpdf.
BoundTiff BindTiff(const TempDir &dir, const std::string &bytes)
{
    BoundTiff bound;
    std::string tiff = dir.file("in.tif");
    WriteFile(tiff, bytes);
    std::string pdf = dir.file("out.pdf");
    pdf_document *document = NewDocument(pdf);
    int image = OpenTiff(document, tiff);
    if (image == -1) {
        Discard(document);
        bound.refused = true;
        return bound;
    }
    EXPECT_EQ(image, 0) << (Log().reports.empty() ? "" : Log().reports[0].message);
    FinishWithPage(document, image);
    EXPECT_TRUE(QpdfCheck(pdf));
    bound.xobjects = ImageStreams(ReadFile(pdf));
    bound.shown = RenderMutool(pdf, 1);
    return bound;
}

// However the strips are counted, the bands cover the image exactly once
// and no strip beyond the height is read.
TEST(Tiff, BandsCoverTheImageExactlyOnce)
{
    struct Case {
        const char *label;
        uint32_t height, rows_per_strip;
        size_t strips;
        int bands;  // -1: refused
    } cases[] = {
        {"more strips than rows", 3, 1, 6, 3},
        {"rows per strip beyond the height", 5, 100, 1, 1},
        {"rows per strip 0", 4, 0, 2, -1},
        {"too few strips", 40, 16, 2, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        std::vector<std::string> strips;
        for (size_t i = 0; i < c.strips; i++) {
            uint32_t rows = c.rows_per_strip ? std::min(c.rows_per_strip, c.height) : c.height;
            strips.push_back(PackBitsRows(8, rows, static_cast<char>(40 * i)));
        }
        BoundTiff bound = BindTiff(
            dir, HandMadeTiff(8, c.height, c.rows_per_strip, COMPRESSION_PACKBITS, strips));
        EXPECT_EQ(bound.refused, c.bands < 0);
        if (bound.refused) continue;
        ASSERT_EQ(bound.xobjects.size(), static_cast<size_t>(c.bands));
        int rows = 0;
        for (const Stream &x : bound.xobjects) {
            size_t at = x.dictionary.find("/Height ");
            rows += std::atoi(x.dictionary.c_str() + at + 8);
        }
        EXPECT_EQ(rows, static_cast<int>(c.height));
        ASSERT_EQ(bound.shown.height, static_cast<int>(c.height));
        for (int y = 0; y < bound.shown.height; y++) {
            int strip = c.rows_per_strip ? y / static_cast<int>(c.rows_per_strip) : 0;
            EXPECT_EQ(bound.shown.at(3, y, 0), static_cast<uint8_t>(40 * strip)) << "row " << y;
        }
    }
}

// Strips pass through only when a PDF reader gets every row out of them.
// PackBits' no-op byte 128 ends RunLength data, and compressed data that
// stop a row early decode without fault: libtiff decodes the first, and
// refuses the second as a reader would show it padded.
TEST(Tiff, StripsPassOnlyWithEveryRow)
{
    const uint32_t width = 8, height = 4;
    std::string no_ops;
    for (uint32_t row = 0; row < height; row++)
        no_ops += '\x80' + PackBitsRows(width, 1, static_cast<char>(50 * row));
    const std::string deflated = Deflate(std::string(width * (height - 1), '\x20'));
    struct Case {
        const char *label;
        uint16_t compression;
        std::string strip;
        bool bound;
    } cases[] = {
        {"PackBits with no-op bytes", COMPRESSION_PACKBITS, no_ops, true},
        {"PackBits a row short", COMPRESSION_PACKBITS, PackBitsRows(width, height - 1, 9), false},
        {"Deflate a row short", COMPRESSION_ADOBE_DEFLATE, deflated, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        BoundTiff bound = BindTiff(dir, HandMadeTiff(width, height, height, c.compression, {c.strip}));
        EXPECT_EQ(bound.refused, !c.bound);
        if (bound.refused) continue;
        ASSERT_EQ(bound.xobjects.size(), 1u);
        EXPECT_EQ(bound.xobjects[0].dictionary.find("RunLength"), std::string::npos);
        ASSERT_EQ(bound.shown.height, static_cast<int>(height));
        for (int y = 0; y < bound.shown.height; y++)
            EXPECT_EQ(bound.shown.at(5, y, 0), static_cast<uint8_t>(50 * y)) << "row " << y;
    }
}

// Cut short or scribbled over: the open returns -1 or, for data that still
// decode, the image; damage is found before anything is written, so no
// fatal error ends the document, and nothing is left open.
TEST(Tiff, DamagedFilesFailCleanly)
{
    TempDir dir;
    struct Source {
        const char *label;
        std::string bytes;
    };
    std::vector<Source> sources;
    const std::pair<const char *, TiffSpec> written[] = {
        {"lzw strips", Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW, 6)},
        {"group 4 strips", Make(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, 8)},
        {"uncompressed rgb", Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE, 6)},
        {"packbits palette", Make(1, 8, PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS, 6)},
    };
    for (const auto &w : written) {
        ASSERT_TRUE(WriteTiff(dir.file("good.tif"), w.second));
        sources.push_back({w.first, ReadFile(dir.file("good.tif"))});
    }
    // libtiff writes the directory after the data, so most cuts lose the
    // directory; this file has it in front and its strips at the end.
    sources.push_back({"directory first",
                       HandMadeTiff(8, 6, 2, COMPRESSION_PACKBITS,
                                    {PackBitsRows(8, 2, 1), PackBitsRows(8, 2, 2),
                                     PackBitsRows(8, 2, 3)})});

    int descriptors = OpenDescriptors();
    int refused = 0;
    for (const Source &source : sources) {
        SCOPED_TRACE(source.label);
        const std::string &good = source.bytes;
        std::vector<std::string> variants;
        for (size_t length = 0; length < good.size(); length += 1 + good.size() / 40)
            variants.push_back(good.substr(0, length));
        for (size_t at = 0; at < good.size(); at += 1 + good.size() / 40) {
            std::string bad = good;
            bad[at] = static_cast<char>(bad[at] ^ 0xA5);
            variants.push_back(bad);
        }
        for (const std::string &bytes : variants) {
            std::string path = dir.file("bad.tif");
            WriteFile(path, bytes);
            pdf_document *document = NewDocument(dir.file("out.pdf"));
            int image = OpenTiff(document, path);
            EXPECT_TRUE(image == -1 || image == 0)
                << image << (Log().reports.empty() ? "" : Log().reports.back().message);
            refused += image == -1;
            Discard(document);
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

// Old-style LZW: codes of 9 bits packed least significant bit first, as
// libtiff still reads them and no PDF reader does. Short data only: the codes
// never grow past 9 bits.
std::string OldStyleLzw(const std::string &bytes)
{
    std::string out;
    uint32_t pending = 0;
    int bits = 0;
    auto put = [&](unsigned code) {
        pending |= code << bits;
        for (bits += 9; bits >= 8; bits -= 8, pending >>= 8)
            out += static_cast<char>(pending & 0xFF);
    };
    put(256);
    for (unsigned char b : bytes)
        put(b);
    put(257);
    if (bits > 0)
        out += static_cast<char>(pending & 0xFF);
    return out;
}

// Overwrites the middle of strip `strip` with bytes no codec accepts.
void Scribble(const std::string &path, uint32_t strip)
{
    TIFF *tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint64_t offset = TIFFGetStrileOffset(tif, strip), count = TIFFGetStrileByteCount(tif, strip);
    TIFFClose(tif);
    std::string bytes = ReadFile(path);
    for (uint64_t i = count / 4; i < count; i++)
        bytes[offset + i] = static_cast<char>(i % 3 == 0 ? 0xFF : 0x00);
    WriteFile(path, bytes);
}

int global_reports = 0;
void CountGlobalReport(const char *, const char *, va_list) { global_reports++; }

// Strips PDF cannot decode are decoded through libtiff when libtiff can;
// damaged ones are refused before anything of the image is written, with
// the reason (the check's or libtiff's own), and the pages around them are
// whole. libtiff's messages never reach its process-wide handlers, which a
// document on another thread may be using.
TEST(Tiff, UnpassableStripsAreDecodedOrRefusedBeforeWriting)
{
    struct Case {
        const char *label;
        std::string bytes;
        const char *reason;  // "": decoded after all
    };
    TempDir dir;
    std::vector<Case> cases;
    TiffSpec lzw = Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW, 12);
    ASSERT_TRUE(WriteTiff(dir.file("lzw.tif"), lzw));
    Scribble(dir.file("lzw.tif"), 1);
    cases.push_back({"bad lzw", ReadFile(dir.file("lzw.tif")), "strip 1: "});
    TiffSpec flate = Make(1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE);
    ASSERT_TRUE(WriteTiff(dir.file("flate.tif"), flate));
    Scribble(dir.file("flate.tif"), 0);
    cases.push_back({"bad flate", ReadFile(dir.file("flate.tif")), "strip 0: "});
    std::string whole = HandMadeTiff(8, 6, 2, COMPRESSION_PACKBITS,
                                     {PackBitsRows(8, 2, 1), PackBitsRows(8, 2, 2),
                                      PackBitsRows(8, 2, 3)});
    cases.push_back({"strip cut short", whole.substr(0, whole.size() - 2),
                     "strip 2 is missing or cut short"});
    std::string rows;
    for (int i = 0; i < 48; i++)
        rows += static_cast<char>(i * 5);
    cases.push_back({"old-style lzw", HandMadeTiff(8, 6, 6, COMPRESSION_LZW, {OldStyleLzw(rows)}),
                     ""});
    // 20 bytes where 48 are needed: only libtiff's decoding finds it.
    cases.push_back({"uncompressed strip too short",
                     HandMadeTiff(8, 6, 6, COMPRESSION_NONE, {std::string(20, 'x')}), "Read"});

    ASSERT_TRUE(WriteTiff(dir.file("good.tif"), Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW, 8)));
    Raster good = DecodeTiff(dir.file("good.tif"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        std::string tiff = dir.file("odd.tif"), pdf = dir.file("book.pdf");
        WriteFile(tiff, c.bytes);
        TIFFErrorHandler previous_error = TIFFSetErrorHandler(CountGlobalReport);
        TIFFErrorHandler previous_warning = TIFFSetWarningHandler(CountGlobalReport);
        pdf_document *document = NewDocument(pdf);
        PlaceOnOwnPage(document, OpenTiff(document, dir.file("good.tif")));
        int odd = OpenTiff(document, tiff);
        PlaceOnOwnPage(document, OpenTiff(document, dir.file("good.tif")));
        if (*c.reason == '\0') {
            ASSERT_GE(odd, 0) << (Log().reports.empty() ? "" : Log().reports[0].message);
            PlaceOnOwnPage(document, odd);
        } else {
            EXPECT_EQ(odd, -1);
            ASSERT_EQ(Log().reports.size(), 1u);
            EXPECT_EQ(Log().reports[0].type, PDF_ERR_NONFATAL);
            EXPECT_EQ(Log().reports[0].message.rfind(
                          "Couldn't read image data from TIFF file '" + tiff + "' (" + c.reason,
                          0),
                      0u)
                << Log().reports[0].message;
        }
        PDF_close(document);
        PDF_delete(document);
        TIFFSetErrorHandler(previous_error);
        TIFFSetWarningHandler(previous_warning);
        EXPECT_EQ(global_reports, 0);
        EXPECT_TRUE(QpdfCheck(pdf));
        EXPECT_EQ(PdfInfoField(pdf, "Pages"), *c.reason ? "2" : "3");
        EXPECT_LE(MaxDifference(RenderMutool(pdf, 2), good), 1);
        // PDF readers cannot read old-style codes: only decoded data show.
        if (*c.reason == '\0') {
            EXPECT_LE(MaxDifference(RenderMutool(pdf, 3), DecodeTiff(tiff)), 1);
        }
    }
}

// ---- Allocation failures --------------------------------------------------

bool OpenWithFailureAt(long fail_at, const std::string &tiff, const std::string &pdf,
                       std::string *left)
{
    auto build = [&](pdf_document *document, FailingHeap &heap) {
        PDF_open_file(document, pdf.c_str());
        // Deflating the decoded rows makes the writer allocate too.
        PDF_set_value(document, "compress", 6);
        heap.Arm();
        int image = PDF_open_image_file(document, "tiff", tiff.c_str(), "", 0);
        EXPECT_EQ(image, 0);
        PDF_close_image(document, image);
        heap.Disarm();
        PDF_begin_page(document, 10, 10);
        PDF_end_page(document);
        PDF_close(document);
    };
    return BuildOnFailingHeap(fail_at, build, left);
}

TEST(Tiff, EveryAllocationFailureIsCleanAndLeakFree)
{
    TempDir dir;
    const TiffSpec recipes[] = {
        Make(1, 4, PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS, 8),
        Make(1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_CCITTFAX4, 8),
        Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE),
        Make(4, 8, PHOTOMETRIC_SEPARATED, COMPRESSION_NONE),
        Make(3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW, 8),  // the strips checked first
        [] {  // alpha plane and tile buffer
            TiffSpec s = Make(4, 16, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE);
            s.extra_samples = 1;
            s.tile = 16;
            return s;
        }(),
        Make(1, 4, PHOTOMETRIC_PALETTE, COMPRESSION_NONE),  // decoded, palette kept
        Make(3, 8, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, 16),
    };
    int descriptors = OpenDescriptors();
    for (const TiffSpec &recipe : recipes) {
        SCOPED_TRACE(recipe.compression);
        ASSERT_TRUE(WriteTiff(dir.file("in.tif"), recipe));
        long n = 1;
        for (; n < 100; ++n) {
            std::string left;
            bool finished = OpenWithFailureAt(n, dir.file("in.tif"), dir.file("out.pdf"), &left);
            EXPECT_EQ(left, "") << "blocks left after failure at allocation " << n;
            if (finished) break;
        }
        EXPECT_LT(n, 100);
        RecordProperty("allocations " + std::to_string(recipe.compression), static_cast<int>(n));
        EXPECT_GT(n, 2) << "too few allocations to exercise";
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

}  // namespace
