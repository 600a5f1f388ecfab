// The PNG reader: which road the data take, what the XObject says about
// them, colour keys, resolutions, the string parameters, and how damaged
// files and allocation failures are refused without leaks.
#include <gtest/gtest.h>

#include <cmath>

#include "draw/colorspace.h"
#include "test_png_util.h"

using namespace foliotest;
using namespace pngtest;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

PngSpec Recipe(int color_type, int bit_depth, bool interlace = false)
{
    PngSpec recipe;
    recipe.color_type = color_type;
    recipe.bit_depth = bit_depth;
    recipe.interlace = interlace;
    return recipe;
}

// The samples a decoding reader hands over: one or three channels, 16 bits
// cut to the high byte, grey and palette indices packed below 8 bits.
std::string DecodedRows(const PngSpec &recipe)
{
    int channels = (recipe.color_type & PNG_COLOR_MASK_COLOR) &&
                   recipe.color_type != PNG_COLOR_TYPE_PALETTE ? 3 : 1;
    int depth = recipe.bit_depth == 16 ? 8 : recipe.bit_depth;
    size_t row_bytes = (static_cast<size_t>(recipe.width) * channels * depth + 7) / 8;
    std::string data;
    for (int y = 0; y < recipe.height; y++) {
        std::string row(row_bytes, '\0');
        for (int x = 0; x < recipe.width; x++)
            for (int c = 0; c < channels; c++) {
                unsigned v = Sample(recipe, x, y, c);
                size_t bit = (static_cast<size_t>(x) * channels + c) * depth;
                if (recipe.bit_depth == 16)
                    v >>= 8;
                row[bit / 8] = static_cast<char>(row[bit / 8] | (v << (8 - depth - bit % 8)));
            }
        data += row;
    }
    return data;
}

std::string PlteData(const PngSpec &recipe)
{
    std::string data;
    for (int i = 0; i < PaletteSize(recipe); i++) {
        png_color entry = PaletteEntry(i);
        data += {static_cast<char>(entry.red), static_cast<char>(entry.green),
                 static_cast<char>(entry.blue)};
    }
    return data;
}

class PngReader : public ImageReaderTest {
protected:
    PngReader() : ImageReaderTest("png", "in.png") {}
    const std::string &png_path = image_path;

    // Once the reader has returned it holds nothing of libpng's or its own.
    void ExpectNothingHeld() const { ImageReaderTest::ExpectNothingHeld({"libpng", "PNG"}); }
};

// ---- Pass-through -------------------------------------------------------

TEST_F(PngReader, PassesEligibleFilesThroughWithPredictors)
{
    struct Case {
        const char *label;
        int color_type, bit_depth;
        const char *parms;  // the DecodeParms dictionary
    } cases[] = {
        {"rgb 8", PNG_COLOR_TYPE_RGB, 8, "/DecodeParms[<</Predictor 15/Columns 23/Colors 3>>]\n"},
        {"gray 1", PNG_COLOR_TYPE_GRAY, 1,
         "/DecodeParms[<</Predictor 15/Columns 23/BitsPerComponent 1>>]\n"},
        {"gray 2", PNG_COLOR_TYPE_GRAY, 2,
         "/DecodeParms[<</Predictor 15/Columns 23/BitsPerComponent 2>>]\n"},
        {"gray 8", PNG_COLOR_TYPE_GRAY, 8, "/DecodeParms[<</Predictor 15/Columns 23>>]\n"},
        {"palette 4", PNG_COLOR_TYPE_PALETTE, 4,
         "/DecodeParms[<</Predictor 15/Columns 23/BitsPerComponent 4>>]\n"},
        {"palette 8", PNG_COLOR_TYPE_PALETTE, 8, "/DecodeParms[<</Predictor 15/Columns 23>>]\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        PngSpec recipe = Recipe(c.color_type, c.bit_depth);
        recipe.idat_size = 50;
        std::string png = EncodePng(recipe);
        ASSERT_GT(IdatCount(png), 1);
        int handle = Open(png);
        ASSERT_EQ(handle, 0);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        ExpectNothingHeld();
        std::string pdf = Finish(handle);
        Stream stream = FirstImage(pdf);
        EXPECT_EQ(stream.data, IdatData(png));
        EXPECT_NE(stream.dictionary.find("/BitsPerComponent " + std::to_string(c.bit_depth) + "\n"),
                  std::string::npos);
        EXPECT_NE(stream.dictionary.find("/Filter[/FlateDecode]\n"), std::string::npos);
        EXPECT_NE(stream.dictionary.find(c.parms), std::string::npos) << stream.dictionary;
        if (c.color_type == PNG_COLOR_TYPE_PALETTE) {
            std::string head = "/ColorSpace[/Indexed/DeviceRGB " +
                               std::to_string(PaletteSize(recipe) - 1) + " ";
            size_t at = stream.dictionary.find(head);
            ASSERT_NE(at, std::string::npos) << stream.dictionary;
            long palette = std::stol(stream.dictionary.substr(at + head.size()));
            EXPECT_EQ(ObjectStream(pdf, palette).data, PlteData(recipe));
        }
    }
}

// The IDAT data are joined however the chunks fall: empty chunks first and
// between, chunks after the last IDAT left out, and a file that ends right
// after its last IDAT chunk.
TEST_F(PngReader, JoinsIdatChunksAndStopsAtTheFirstOther)
{
    PngSpec recipe = Recipe(PNG_COLOR_TYPE_RGB, 8);
    recipe.idat_size = 100;
    std::string png = EncodePng(recipe);
    std::string data = IdatData(png);
    std::vector<ChunkInfo> chunks = Chunks(png);
    ASSERT_GT(IdatCount(png), 2);

    // An empty IDAT before the first and after the second; a text chunk
    // between the last IDAT and IEND.
    std::string with_empty = png.substr(0, FirstIdat(png)) + Chunk("IDAT", "");
    int idat = 0;
    for (const ChunkInfo &chunk : chunks) {
        if (chunk.type != "IDAT")
            continue;
        with_empty += png.substr(chunk.offset, chunk.length + 12);
        if (++idat == 2)
            with_empty += Chunk("IDAT", "");
    }
    with_empty += Chunk("tEXt", std::string("Comment\0IDAT", 12)) + Chunk("IEND", "");
    std::string without_end = png.substr(0, png.size() - 12);

    for (const std::string &file : {with_empty, without_end}) {
        int handle = Open(file);
        ASSERT_EQ(handle, 0);
        Stream stream = FirstImage(Finish(handle));
        EXPECT_NE(stream.dictionary.find("/DecodeParms[<</Predictor 15"), std::string::npos);
        EXPECT_EQ(stream.data, data);
    }
}

// ---- Decoding -----------------------------------------------------------

TEST_F(PngReader, DecodesWhatCannotPassThrough)
{
    struct Case {
        const char *label;
        PngSpec recipe;
        int components;
        const char *colorspace;
    } cases[] = {
        {"interlaced rgb", Recipe(PNG_COLOR_TYPE_RGB, 8, true), 3, "/ColorSpace/DeviceRGB\n"},
        {"16-bit gray", Recipe(PNG_COLOR_TYPE_GRAY, 16), 1, "/ColorSpace/DeviceGray\n"},
        {"16-bit rgb", Recipe(PNG_COLOR_TYPE_RGB, 16), 3, "/ColorSpace/DeviceRGB\n"},
        {"rgba", Recipe(PNG_COLOR_TYPE_RGB_ALPHA, 8), 3, "/ColorSpace/DeviceRGB\n"},
        {"16-bit gray alpha", Recipe(PNG_COLOR_TYPE_GRAY_ALPHA, 16), 1, "/ColorSpace/DeviceGray\n"},
        {"interlaced 2-bit gray", Recipe(PNG_COLOR_TYPE_GRAY, 2, true), 1,
         "/ColorSpace/DeviceGray\n"},
        {"interlaced 4-bit palette", Recipe(PNG_COLOR_TYPE_PALETTE, 4, true), 1,
         "/ColorSpace[/Indexed/DeviceRGB 15 "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        int handle = Open(EncodePng(c.recipe));
        ASSERT_EQ(handle, 0);
        // Nothing of the decoding outlives the open call.
        ExpectNothingHeld();
        EXPECT_EQ(OpenDescriptors(), descriptors);
        Stream stream = FirstImage(Finish(handle));
        int bits = c.recipe.bit_depth == 16 ? 8 : c.recipe.bit_depth;
        EXPECT_NE(stream.dictionary.find("/BitsPerComponent " + std::to_string(bits) + "\n"),
                  std::string::npos);
        EXPECT_EQ(stream.data, DecodedRows(c.recipe));
        EXPECT_NE(stream.dictionary.find(c.colorspace), std::string::npos);
        EXPECT_EQ(stream.dictionary.find("/DecodeParms"), std::string::npos);
        EXPECT_EQ(stream.dictionary.find("/Filter"), std::string::npos);
        EXPECT_EQ(stream.dictionary.find("/Mask"), std::string::npos);
    }
}

// An sBIT chunk does not change the samples: they already span the whole
// range that the declared bit depth gives them, on either road.
TEST_F(PngReader, SignificantBitsLeaveTheSamplesAlone)
{
    for (bool interlace : {false, true}) {
        PngSpec recipe = Recipe(PNG_COLOR_TYPE_GRAY, 8, interlace);
        recipe.sbit = 5;
        std::string png = EncodePng(recipe);
        int handle = Open(png);
        ASSERT_EQ(handle, 0);
        Stream stream = FirstImage(Finish(handle));
        EXPECT_EQ(stream.data, interlace ? DecodedRows(recipe) : IdatData(png));
    }
}

// ---- Colour keys --------------------------------------------------------

TEST_F(PngReader, MakesColourKeysFromTransparency)
{
    auto keyed = [](int color_type, int depth) {
        PngSpec recipe = Recipe(color_type, depth);
        recipe.key = true;
        return recipe;
    };
    auto palette = [](std::vector<int> alphas) {
        PngSpec recipe = Recipe(PNG_COLOR_TYPE_PALETTE, 8);
        recipe.alphas = std::move(alphas);
        return recipe;
    };
    auto low = [](const PngSpec &recipe, int c) { return std::to_string(Sample(recipe, 1, 1, c)); };
    PngSpec gray8 = keyed(PNG_COLOR_TYPE_GRAY, 8), gray2 = keyed(PNG_COLOR_TYPE_GRAY, 2);
    PngSpec gray16 = keyed(PNG_COLOR_TYPE_GRAY, 16), rgb8 = keyed(PNG_COLOR_TYPE_RGB, 8);
    PngSpec rgb16 = keyed(PNG_COLOR_TYPE_RGB, 16), mask = keyed(PNG_COLOR_TYPE_GRAY, 1);
    struct Case {
        const char *label;
        PngSpec recipe;
        const char *stringparam;
        std::string mask;  // empty: no /Mask entry
    } cases[] = {
        {"palette alphas 255 255 0", palette({255, 255, 0}), "", "/Mask[2 2]\n"},
        {"palette alphas 200 and up", palette({200, 255, 230}), "", ""},
        {"palette alpha 127 first", palette({255, 127, 0}), "", "/Mask[1 1]\n"},
        {"gray 8", gray8, "", "/Mask[" + low(gray8, 0) + " " + low(gray8, 0) + "]\n"},
        {"gray 2", gray2, "", "/Mask[" + low(gray2, 0) + " " + low(gray2, 0) + "]\n"},
        // 16-bit samples reach the PDF as their high byte; the key is
        // matched with all 16 bits in a stencil mask of its own (object 4).
        {"gray 16", gray16, "", "/Mask 4 0 R\n"},
        {"rgb 8", rgb8, "",
         "/Mask[" + low(rgb8, 0) + " " + low(rgb8, 0) + " " + low(rgb8, 1) + " " +
             low(rgb8, 1) + " " + low(rgb8, 2) + " " + low(rgb8, 2) + "]\n"},
        {"rgb 16", rgb16, "", "/Mask 4 0 R\n"},
        {"rgb ignoremask", rgb8, "ignoremask", ""},
        {"palette ignoremask", palette({0}), "ignoremask", ""},
        // A stencil mask paints its ones; a colour key has no meaning there.
        {"1-bit stencil with key", mask, "mask", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        int handle = Open(EncodePng(c.recipe), c.stringparam);
        ASSERT_EQ(handle, 0);
        std::string pdf = Finish(handle);
        std::vector<Stream> images = ImageStreams(pdf);
        std::string dictionary = images.back().dictionary;
        if (c.mask.empty())
            EXPECT_EQ(dictionary.find("/Mask"), std::string::npos) << dictionary;
        else
            EXPECT_NE(dictionary.find(c.mask), std::string::npos) << dictionary;
        bool stencil = c.mask.find(" 0 R") != std::string::npos;
        ASSERT_EQ(images.size(), stencil ? 2u : 1u);
        if (stencil) {
            EXPECT_NE(images[0].dictionary.find("/ImageMask true"), std::string::npos);
        }
        EXPECT_TRUE(testsupport::QpdfCheck(pdf_path));
    }
}

// ---- Resolution ---------------------------------------------------------

TEST_F(PngReader, ReadsResolutionAndAspectRatio)
{
    struct Case {
        const char *label;
        int unit;
        unsigned x, y;
        float resx, resy;
    } cases[] = {
        {"no pHYs", -1, 0, 0, 0, 0},
        {"2835 per metre", PNG_RESOLUTION_METER, 2835, 2835, 72.009f, 72.009f},
        {"3780 x 7559 per metre", PNG_RESOLUTION_METER, 3780, 7559, 96.012f, 191.9986f},
        {"aspect 1:2", PNG_RESOLUTION_UNKNOWN, 1, 2, -1, -2},
        {"aspect 3:3", PNG_RESOLUTION_UNKNOWN, 3, 3, -1, -1},
        {"zero across", PNG_RESOLUTION_METER, 0, 2835, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        PngSpec recipe = Recipe(PNG_COLOR_TYPE_RGB, 8);
        recipe.phys_unit = c.unit;
        recipe.phys_x = c.x;
        recipe.phys_y = c.y;
        int handle = Open(EncodePng(recipe));
        ASSERT_EQ(handle, 0);
        EXPECT_NEAR(PDF_get_value(document, "resx", static_cast<float>(handle)), c.resx, 1e-3);
        EXPECT_NEAR(PDF_get_value(document, "resy", static_cast<float>(handle)), c.resy, 1e-3);
    }
}

// ---- String parameters --------------------------------------------------

TEST_F(PngReader, RefusesUnsuitableParameters)
{
    std::string rgb = EncodePng(Recipe(PNG_COLOR_TYPE_RGB, 8));
    std::string gray8 = EncodePng(Recipe(PNG_COLOR_TYPE_GRAY, 8, true));
    struct Case {
        const char *label;
        const std::string &png;
        const char *stringparam;
        int intparam;
        const char *message;
    } cases[] = {
        {"colorize rgb", rgb, "colorize", 0, "Can't colorize PNG image with more than 1 component"},
        {"colorize unknown colour", gray8, "colorize", 0, "Invalid color number 0 for image %s"},
        {"colorize negative", gray8, "colorize", -1, "Invalid color number -1 for image %s"},
        {"mask of 8 bits", gray8, "mask", 0, "Can't handle PNG image mask with more than 1 bit"},
        {"masked by nothing", rgb, "masked", 3, "Bad image mask (no 3) for image '%s'"},
        {"unknown", gray8, "invert", 0, "Unknown parameter invert in pdf_open_PNG"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Open(c.png, c.stringparam, c.intparam), -2);
        ASSERT_EQ(Log().reports.size(), 1u);
        EXPECT_EQ(Log().reports[0].type, PDF_ERR_VALUE);
        EXPECT_EQ(Log().reports[0].message, Named(c.message));
        EXPECT_EQ(OpenDescriptors(), descriptors);
        ExpectNothingHeld();
    }
}

TEST_F(PngReader, AppliesMaskAndColourParameters)
{
    PngSpec one_bit = Recipe(PNG_COLOR_TYPE_GRAY, 1);
    ASSERT_EQ(Open(EncodePng(one_bit), "mask"), 0);

    WriteFile(dir.file("rgb.png"), EncodePng(Recipe(PNG_COLOR_TYPE_RGB, 8)));
    int masked = OpenPng(document, dir.file("rgb.png"), "masked", 0);
    ASSERT_EQ(masked, 1);
    int unmasked = OpenPng(document, dir.file("rgb.png"), "masked", -5);
    ASSERT_EQ(unmasked, 2);

    static const pdf_color kRed = {PDF_CS_DEVICERGB, {1, 0, 0, 0}};
    int spot = pdf_add_colorspace(document, PDF_CS_SEPARATION, "Red", &kRed);
    WriteFile(dir.file("gray.png"), EncodePng(Recipe(PNG_COLOR_TYPE_GRAY, 4)));
    int colorized = OpenPng(document, dir.file("gray.png"), "colorize", spot);
    ASSERT_EQ(colorized, 3);

    PDF_begin_page(document, 23, 17);
    for (int handle : {masked, colorized})
        PDF_place_image(document, handle, 0, 0, 1);
    PDF_end_page(document);
    PDF_close(document);
    PDF_delete(document);
    document = nullptr;
    EXPECT_TRUE(Log().reports.empty());
    std::string pdf = ReadFile(pdf_path);
    std::vector<Stream> images = ImageStreams(pdf);  // in the order opened
    ASSERT_EQ(images.size(), 4u);
    EXPECT_NE(images[0].dictionary.find("/ImageMask true\n"), std::string::npos);
    std::string mask = "/Mask " + std::to_string(ImageObject(pdf)) + " 0 R\n";
    EXPECT_NE(images[1].dictionary.find(mask), std::string::npos);
    EXPECT_EQ(images[2].dictionary.find("/Mask"), std::string::npos);
    long spot_object = ObjectNumberAt(pdf, pdf.find("[/Separation/Red"));
    EXPECT_NE(images[3].dictionary.find("/ColorSpace " + std::to_string(spot_object) + " 0 R\n"),
              std::string::npos);
    EXPECT_TRUE(testsupport::QpdfCheck(pdf_path));
}

// ---- Damaged files ------------------------------------------------------

TEST_F(PngReader, RefusesDamagedFiles)
{
    std::string good = EncodePng(Recipe(PNG_COLOR_TYPE_RGB, 8));
    std::string interlaced = EncodePng(Recipe(PNG_COLOR_TYPE_RGB, 8, true));
    size_t idat = FirstIdat(interlaced);
    std::string corrupt_idat = interlaced;
    for (size_t i = idat + 10; i < idat + 30; i++)
        corrupt_idat[i] = static_cast<char>(corrupt_idat[i] ^ 0x5A);
    std::string bad_crc = good;
    bad_crc[29] = static_cast<char>(bad_crc[29] ^ 1);  // last byte of the IHDR CRC
    std::string wrong_depth = good;
    wrong_depth[24] = 3;  // RGB at 3 bits

    struct Case {
        const char *label;
        std::string bytes;
        const char *message;
    } cases[] = {
        {"empty", "", "File '%s' doesn't appear to be a PNG file"},
        {"text", "This is not a picture at all.\n", "File '%s' doesn't appear to be a PNG file"},
        {"signature only", good.substr(0, 8), "Error reading PNG file '%s'"},
        {"cut in IHDR", good.substr(0, 20), "Error reading PNG file '%s'"},
        {"bad IHDR CRC", bad_crc, "Error reading PNG file '%s'"},
        {"bad bit depth", wrong_depth, "Error reading PNG file '%s'"},
        {"no IDAT", good.substr(0, FirstIdat(good)), "Error reading PNG file '%s'"},
        {"decoded, cut in IDAT", interlaced.substr(0, idat + 40), "Error reading PNG file '%s'"},
        {"decoded, corrupt IDAT", corrupt_idat, "Error reading PNG file '%s'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Open(c.bytes), -1);
        ASSERT_EQ(Log().reports.size(), 1u);
        EXPECT_EQ(Log().reports[0].type, PDF_ERR_NONFATAL);
        EXPECT_EQ(Log().reports[0].message, Named(c.message));
        EXPECT_EQ(OpenDescriptors(), descriptors);
        ExpectNothingHeld();
        EXPECT_EQ(Discarded().find("/Subtype/Image"), std::string::npos);
    }
}

TEST_F(PngReader, ReportsOnlyWithImageWarnings)
{
    Discard(document);
    document = NewDocument(pdf_path);
    std::string missing = dir.file("missing.png");
    EXPECT_EQ(OpenPng(document, missing), -1);
    ASSERT_EQ(Log().reports.size(), 1u);
    EXPECT_EQ(Log().reports[0].message, "Couldn't open PNG file '" + missing + "'");

    Log().reports.clear();
    PDF_set_parameter(document, "imagewarning", "false");
    EXPECT_EQ(OpenPng(document, missing), -1);
    WriteFile(png_path, "GIF89a");
    EXPECT_EQ(OpenPng(document, png_path), -1);
    EXPECT_TRUE(Log().reports.empty());
}

// The IDAT data of a file that may pass through are inflated before the
// XObject is begun. A file that ends inside them (or whose next IDAT chunk
// claims more than the file holds) is refused, naming the damage, with no
// file left open and nothing written.
TEST_F(PngReader, IdatDataCutShortAreRefused)
{
    PngSpec recipe = Recipe(PNG_COLOR_TYPE_PALETTE, 8);
    recipe.idat_size = 100;
    std::string png = EncodePng(recipe);
    std::vector<ChunkInfo> chunks = Chunks(png);
    size_t first = FirstIdat(png);
    size_t second = std::string::npos;
    for (const ChunkInfo &chunk : chunks)
        if (chunk.type == "IDAT" && chunk.offset > first) {
            second = chunk.offset;
            break;
        }
    ASSERT_NE(second, std::string::npos);
    std::string huge_second = png;
    huge_second.replace(second, 4, U32(0x7FFFFFF0));
    std::string invalid_second = png;
    invalid_second.replace(second, 4, U32(0xFFFFFFF0));

    for (const std::string &bytes :
         {png.substr(0, first + 60), png.substr(0, second + 20), huge_second, invalid_second}) {
        EXPECT_EQ(Open(bytes), -1);
        ASSERT_EQ(Log().reports.size(), 1u);
        EXPECT_EQ(Log().reports[0].type, PDF_ERR_NONFATAL);
        EXPECT_EQ(Log().reports[0].message.find(Named("Corrupt image data in file '%s' (")), 0u)
            << Log().reports[0].message;
        EXPECT_EQ(OpenDescriptors(), descriptors);
        ExpectNothingHeld();
        EXPECT_EQ(Discarded().find("/Subtype/Image"), std::string::npos);
    }
}

// `png`, whose IDAT data are one chunk, with `data` as its IDAT data.
std::string WithIdatData(const std::string &png, const std::string &data)
{
    size_t first = FirstIdat(png);
    return png.substr(0, first) + Chunk("IDAT", data) + png.substr(first + 12 + GetU32(png, first));
}

// The same with a wrong checksum at the end of its IDAT data.
std::string WithWrongChecksum(const std::string &png)
{
    std::string data = IdatData(png);
    data.back() ^= 0x01;
    return WithIdatData(png, data);
}

// IDAT data that a PDF reader could not decode are decoded by libpng where
// it can (a wrong checksum after the last row), and refused where it cannot.
TEST_F(PngReader, IdatDataThatDoNotInflateAreDecodedOrRefused)
{
    std::string png = EncodePng(Recipe(PNG_COLOR_TYPE_RGB, 8));
    ASSERT_EQ(IdatCount(png), 1);
    std::string scrambled = IdatData(png);
    for (size_t i = 2; i < scrambled.size(); i++)
        scrambled[i] ^= 0x55;

    EXPECT_EQ(Open(WithWrongChecksum(png)), 0);
    EXPECT_TRUE(Log().reports.empty());
    std::string pdf = Finish(0);
    EXPECT_EQ(FirstImage(pdf).dictionary.find("/Predictor"), std::string::npos);
    EXPECT_EQ(FirstImage(pdf).data.size(), 23u * 17 * 3);

    EXPECT_EQ(Open(WithIdatData(png, scrambled)), -1);
    ASSERT_EQ(Log().reports.size(), 1u);
    EXPECT_EQ(Log().reports[0].message.find(Named("Corrupt image data in file '%s' (")), 0u)
        << Log().reports[0].message;
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(Discarded().find("/Subtype/Image"), std::string::npos);
}

// ---- Allocation failures ------------------------------------------------

// Makes a one-page document of the PNG with allocations failing from number
// `fail_at` on. Returns true when it was finished; `left` receives the tags of blocks
// still allocated after the document was deleted.
bool OpenWithFailureAt(long fail_at, const std::string &png, const std::string &pdf_path,
                       std::string *left, std::string *message, bool keep_alpha)
{
    auto build = [&](pdf_document *pdf, FailingHeap &heap) {
        if (keep_alpha)
            PDF_set_parameter(pdf, "keepalpha", "true");
        PDF_open_file(pdf, pdf_path.c_str());
        PDF_set_value(pdf, "compress", 6);
        heap.Arm();
        int image = PDF_open_image_file(pdf, "png", png.c_str(), "", 0);
        EXPECT_EQ(image, 0);
        PDF_begin_page(pdf, 23, 17);
        PDF_place_image(pdf, image, 0, 0, 1);
        PDF_end_page(pdf);
        PDF_close(pdf);
    };
    return BuildOnFailingHeap(fail_at, build, left, message);
}

TEST(PngMemory, EveryAllocationFailureIsCleanAndLeakFree)
{
    TempDir dir;
    PngSpec palette = Recipe(PNG_COLOR_TYPE_PALETTE, 4);
    palette.idat_size = 30;
    PngSpec keyed16 = Recipe(PNG_COLOR_TYPE_RGB, 16);
    keyed16.key = true;
    PngSpec palette_alpha = palette;
    palette_alpha.alphas = {255, 0, 100};
    struct Case {
        const char *label;
        std::string bytes;
        bool keep_alpha;
    } cases[] = {
        {"pass-through", EncodePng(palette), false},
        {"decoded", EncodePng(Recipe(PNG_COLOR_TYPE_RGB_ALPHA, 16, true)), false},
        {"16-bit colour key", EncodePng(keyed16), false},
        {"checked, then decoded", WithWrongChecksum(EncodePng(Recipe(PNG_COLOR_TYPE_GRAY, 8))),
         false},
        {"alpha kept", EncodePng(Recipe(PNG_COLOR_TYPE_RGB_ALPHA, 16, true)), true},
        {"palette alpha kept", EncodePng(palette_alpha), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        std::string png = dir.file("in.png");
        WriteFile(png, c.bytes);
        int descriptors = OpenDescriptors();
        long n = 1;
        std::string first_message;
        for (; n < 200; ++n) {
            std::string left, message;
            bool finished =
                OpenWithFailureAt(n, png, dir.file("out.pdf"), &left, &message, c.keep_alpha);
            EXPECT_EQ(left, "") << "blocks left after failure at allocation " << n;
            EXPECT_EQ(OpenDescriptors(), descriptors) << "failure at allocation " << n;
            if (n == 1)
                first_message = message;
            if (finished)
                break;
        }
        EXPECT_LT(n, 200);
        EXPECT_GT(n, 3) << "too few allocations to exercise";
        // The reader's state is its first block.
        EXPECT_EQ(first_message, "Couldn't (c)allocate memory in pdf_open_PNG!\n");
    }
}

}  // namespace
