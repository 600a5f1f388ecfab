// The GIF reader: the XObject it describes, its string parameters, and how
// it refuses unsupported or damaged files.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "draw/colorspace.h"
#include "test_gif_util.h"

using namespace foliotest;
using namespace giftest;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

class GifReader : public ImageReaderTest {
protected:
    GifReader() : ImageReaderTest("gif", "in.gif") {}
    const std::string &gif_path = image_path;
    // Open before any document: with one open, the PDF comes on top.
    const int idle_descriptors = OpenDescriptors();

    void TearDown() override
    {
        ImageReaderTest::TearDown();
        EXPECT_EQ(OpenDescriptors(), idle_descriptors) << "a file was left open";
    }
};

// Adds a one-band stencil mask image to the document; returns its handle.
int AddStencilMask(pdf_document *document)
{
    static const char data[2] = {'\x0F', '\xF0'};
    return PDF_open_image(document, "raw", "memory", data, 2, 8, 2, 1, 1, "mask");
}

TEST_F(GifReader, DescribesTheFirstImage)
{
    struct Case {
        const char *label;
        std::function<void(GifSpec &)> edit;
        const char *stringparam;
        std::string mask;       // the /Mask line, or empty for none
        int highest_index;
        std::string palette;    // bytes of the palette object
    };
    GifSpec plain;
    const std::string global16 = ColorTable(16, 0);
    const Case cases[] = {
        {"16 global colours", [](GifSpec &) {}, "", "", 15, global16},
        {"local table replaces the global one",
         [](GifSpec &s) { s.global_colors = 256; s.local_colors = 4; }, "", "", 3,
         ColorTable(4, 1)},
        {"transparent index", [](GifSpec &s) { s.transparent = 5; }, "", "/Mask[5 5]\n", 15,
         global16},
        {"transparency ignored", [](GifSpec &s) { s.transparent = 5; }, "ignoremask", "", 15,
         global16},
        {"extension without transparency",
         [](GifSpec &s) { s.before_image = GraphicControl(-1); }, "", "", 15, global16},
        {"the later extension decides",
         [](GifSpec &s) { s.transparent = 5; s.before_image = GraphicControl(-1); }, "", "",
         15, global16},
        {"other extensions are skipped",
         [](GifSpec &s) {
             s.transparent = 7;
             s.before_image = std::string("\x21\xFE\x03" "abc" "\x02" "de" "\x00", 10) +
                              std::string("\x21\xFF\x0B" "NETSCAPE2.0\x03\x01\x00\x00\x00", 19);
         },
         "", "/Mask[7 7]\n", 15, global16},
        {"stray bytes between blocks",
         [](GifSpec &s) { s.before_image = std::string("\x00\x7F", 2); }, "", "", 15, global16},
        {"no colour table: grey ramp",
         [](GifSpec &s) { s.global_colors = 0; s.screen_size_field = 1; s.colors_used = 4; },
         "", "", 3, std::string("\x00\x00\x00\x55\x55\x55\xAA\xAA\xAA\xFF\xFF\xFF", 12)},
        {"version 87a", [](GifSpec &s) { s.version = "87a"; }, "", "", 15, global16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        GifSpec recipe = plain;
        c.edit(recipe);
        int image = Open(MakeGif(recipe), c.stringparam);
        ASSERT_EQ(image, 0);
        EXPECT_TRUE(Log().reports.empty());
        std::string pdf = Finish(image);
        std::string dictionary = FirstImage(pdf).dictionary;
        size_t at = dictionary.find("/ColorSpace[/Indexed/DeviceRGB ");
        ASSERT_NE(at, std::string::npos) << dictionary;
        std::istringstream numbers(dictionary.substr(at + 31));
        long highest_index = -1, palette_id = 0;
        numbers >> highest_index >> palette_id;
        EXPECT_EQ(dictionary, "<</Type/XObject\n/Subtype/Image\n/Width 100\n/Height 50\n"
                              "/BitsPerComponent 8\n" + c.mask +
                              "/ColorSpace[/Indexed/DeviceRGB " +
                              std::to_string(c.highest_index) + " " +
                              std::to_string(palette_id) + " 0 R]\n"
                              "/Filter[/LZWDecode]\n/DecodeParms[<</EarlyChange 0>>]\n"
                              "/Length " + std::to_string(palette_id + 1) + " 0 R\n>>");
        size_t object = pdf.find("\n" + std::to_string(palette_id) + " 0 obj\n");
        size_t stream = pdf.find("stream\n", object) + 7;
        EXPECT_EQ(pdf.substr(stream, c.palette.size() + 10), c.palette + "endstream\n");
        EXPECT_TRUE(testsupport::QpdfCheck(pdf_path));
    }
}

TEST_F(GifReader, ColorizedImageUsesTheSpotColourAndItsInvertedKey)
{
    GifSpec recipe;
    recipe.transparent = 5;
    WriteFile(gif_path, MakeGif(recipe));
    document = NewDocument(pdf_path);
    const pdf_color gold = {PDF_CS_DEVICECMYK, {0, 0.2f, 1, 0}};
    int spot = pdf_add_colorspace(document, PDF_CS_SEPARATION, "Gold", &gold);
    int image = OpenGif(document, gif_path, "colorize", spot);
    ASSERT_EQ(image, 0);
    std::string pdf = Finish(image);
    std::string dictionary = FirstImage(pdf).dictionary;
    EXPECT_NE(dictionary.find("/Mask[250 250]\n/ColorSpace "), std::string::npos) << dictionary;
    EXPECT_EQ(dictionary.find("Indexed"), std::string::npos);
    EXPECT_TRUE(testsupport::QpdfCheck(pdf_path));
}

TEST_F(GifReader, MaskedImageNamesItsStencil)
{
    WriteFile(gif_path, MakeGif(GifSpec{}));
    document = NewDocument(pdf_path);
    int mask = AddStencilMask(document);
    ASSERT_EQ(mask, 0);
    int image = OpenGif(document, gif_path, "masked", mask);
    ASSERT_EQ(image, 1);
    PDF_close_image(document, mask);
    std::string pdf = Finish(image);
    std::string dictionary = FirstImage(pdf, pdf.find("/ImageMask true")).dictionary;
    EXPECT_NE(dictionary.find("/Width 100\n"), std::string::npos) << dictionary;
    EXPECT_NE(dictionary.find("/Mask "), std::string::npos) << dictionary;
    EXPECT_TRUE(testsupport::QpdfCheck(pdf_path));
}

TEST_F(GifReader, PixelAspectGivesANegativeResolution)
{
    const struct { int aspect; float x, y; } cases[] = {
        {0, 0, 0}, {49, -1, -1}, {17, -0.5f, -1}, {255, -4.21875f, -1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.aspect);
        GifSpec recipe;
        recipe.aspect = c.aspect;
        int image = Open(MakeGif(recipe));
        ASSERT_EQ(image, 0);
        EXPECT_FLOAT_EQ(PDF_get_value(document, "resx", image), c.x);
        EXPECT_FLOAT_EQ(PDF_get_value(document, "resy", image), c.y);
        EXPECT_EQ(PDF_get_value(document, "imagewidth", image), 100);
        EXPECT_EQ(PDF_get_value(document, "imageheight", image), 50);
    }
}

TEST_F(GifReader, ParameterErrors)
{
    const struct {
        const char *stringparam;
        int intparam;
        const char *message;
    } cases[] = {
        {"mask", 0, "Can't handle GIF image mask"},
        {"masked", -1, "Invalid image mask (no -1) for image '%s'"},
        {"masked", 0, "Bad image mask (no 0) for image '%s'"},
        {"masked", 500, "Bad image mask (no 500) for image '%s'"},
        {"colorize", 0, "Invalid color number 0 for image %s"},
        {"colorize", -3, "Invalid color number -3 for image %s"},
        {"Ignoremask", 0, "Unknown parameter Ignoremask in pdf_open_GIF_data"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(Open(MakeGif(GifSpec{}), c.stringparam, c.intparam), -2);
        ASSERT_EQ(Log().reports.size(), 1u);
        char expected[512];
        snprintf(expected, sizeof expected, c.message, gif_path.c_str());
        EXPECT_EQ(Log().reports[0].type, PDF_ERR_VALUE);
        EXPECT_EQ(Log().reports[0].message, expected);
    }
}

// Files the reader refuses with -1 (a warning only with "imagewarning").
TEST_F(GifReader, RefusesUnsupportedAndShortFiles)
{
    GifSpec recipe;
    recipe.local_colors = 4;
    const std::string good = MakeGif(recipe);
    const size_t screen_end = 13, global_end = 13 + 48, image_at = global_end;
    auto with = [](std::function<void(GifSpec &)> edit) {
        GifSpec s;
        edit(s);
        return MakeGif(s);
    };
    const struct {
        const char *label;
        std::string bytes;
        const char *message;
    } cases[] = {
        {"missing file", "", "Couldn't open GIF file '%s'"},
        {"empty file", std::string(), "File '%s' doesn't appear to be a GIF file"},
        {"PNG signature", "\x89PNG\r\n\x1A\n" + good.substr(8),
         "File '%s' doesn't appear to be a GIF file"},
        {"version 88a", with([](GifSpec &s) { s.version = "88a"; }),
         "File '%s' doesn't appear to be a GIF file"},
        {"short screen", good.substr(0, screen_end - 1),
         "File '%s' doesn't appear to be a GIF file"},
        {"short global table", good.substr(0, global_end - 1),
         "Error reading global colormap in GIF file '%s'"},
        {"ends before any image", good.substr(0, image_at),
         "Read error (image data) in GIF file '%s'"},
        {"trailer before any image", good.substr(0, image_at) + ";" + good.substr(image_at),
         "Couldn't find image number 1 in GIF file '%s'"},
        {"ends after an extension introducer", good.substr(0, image_at) + "!",
         "Read error on extension code in GIF file '%s'"},
        {"short image descriptor", good.substr(0, image_at + 9),
         "Couldn't read left/top/width/height in GIF file '%s'"},
        {"empty image", with([](GifSpec &s) { s.pixels = {0}; s.width = 0; }),
         "Couldn't read left/top/width/height in GIF file '%s'"},
        {"short local table", good.substr(0, image_at + 10 + 11),
         "Error reading local colormap in GIF file '%s'"},
        {"no code size", good.substr(0, image_at + 10 + 12),
         "Error reading data block in GIF file '%s'"},
        {"code size 9", good.substr(0, image_at + 10 + 12) + "\x09",
         "Bad LZW minimum code size (9) in GIF file '%s'"},
        {"code size 0", good.substr(0, image_at + 10 + 12) + std::string(1, '\0'),
         "Bad LZW minimum code size (0) in GIF file '%s'"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        for (bool warnings : {true, false}) {
            Discard(document);
            std::remove(gif_path.c_str());
            if (std::string(c.label) != "missing file")
                WriteFile(gif_path, c.bytes);
            document = NewDocument(pdf_path);
            PDF_set_parameter(document, "imagewarning", warnings ? "true" : "false");
            EXPECT_EQ(OpenGif(document, gif_path), -1);
            EXPECT_EQ(OpenDescriptors(), idle_descriptors + 1);  // only the PDF
            char expected[512];
            snprintf(expected, sizeof expected, c.message, gif_path.c_str());
            if (warnings)
                EXPECT_EQ(Log().reports, (std::vector<Report>{{PDF_ERR_NONFATAL, expected}}));
            else
                EXPECT_TRUE(Log().reports.empty());
            // No XObject was written.
            EXPECT_EQ(Discarded().find("/Subtype/Image"), std::string::npos);
        }
    }
}

// The codes are followed before the XObject is begun: damaged data refuse
// the image like a file that cannot be opened, whichever road it takes.
TEST_F(GifReader, DamagedDataAreRefusedBeforeWriting)
{
    GifSpec recipe;
    const std::string good = MakeGif(recipe);
    const size_t data_at = 13 + 48 + 10 + 1;  // first sub-block length
    GifSpec small_codes = recipe;
    small_codes.code_size = 4;
    const std::string decoded = MakeGif(small_codes);

    // Code 300 right after the clear code names no entry yet; so does code
    // 20 with a code size of 4.
    std::string corrupt = good.substr(0, data_at) + std::string("\x03\x00\x59\x02\x00", 5);
    std::string corrupt_small = decoded.substr(0, data_at) + std::string("\x02\x90\x02\x00", 4);

    const struct {
        const char *label;
        std::string bytes;
        const char *message;
    } cases[] = {
        {"extension cut short", good.substr(0, 13 + 48) + std::string("\x21\xF9\x04\x01", 4),
         "Corrupt GIF file '%s'"},
        {"extension without terminator", good.substr(0, 13 + 48) + std::string("\x21\xFE\x01x", 4),
         "Corrupt GIF file '%s'"},
        {"ends before a sub-block length", good.substr(0, data_at),
         "Unexpected end of GIF file '%s'"},
        {"ends within a sub-block", good.substr(0, data_at + 20),
         "Unexpected end of GIF file '%s'"},
        {"code beyond the table", corrupt, "Corrupt GIF file '%s'"},
        {"decoded, ends within a sub-block", decoded.substr(0, data_at + 20),
         "Unexpected end of GIF file '%s'"},
        {"decoded, code beyond the table", corrupt_small, "Corrupt GIF file '%s'"},
        // Clear, one pixel and end code: a PDF reader would make up the rest.
        {"re-packed, codes end before the last pixel",
         good.substr(0, data_at) + std::string("\x04\x00\x01\x04\x04\x00", 6),
         "Image data end early in GIF file '%s'"},
        // Clear and end code: not one pixel.
        {"decoded, codes end before the last pixel",
         decoded.substr(0, data_at) + std::string("\x02\x30\x02\x00", 4),
         "Image data end early in GIF file '%s'"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Open(c.bytes), -1);
        ASSERT_EQ(Log().reports.size(), 1u);
        char expected[512];
        snprintf(expected, sizeof expected, c.message, gif_path.c_str());
        EXPECT_EQ(Log().reports[0], (Report{PDF_ERR_NONFATAL, expected}));
        EXPECT_EQ(OpenDescriptors(), idle_descriptors + 1);  // only the PDF
        EXPECT_EQ(Discarded().find("/Subtype/Image"), std::string::npos);
        PDF_delete(document);
        document = nullptr;
    }
}

// A table that stays full without being cleared is valid GIF that PDF's
// decoder cannot follow, also when the code after the one that filled it
// comes in the next sub-block: such files are decoded to one byte per pixel
// (other code sizes and interlaced rows: GifRender).
TEST_F(GifReader, DecodesWhatCannotBeRepacked)
{
    GifSpec deferred;
    deferred.width = 120;
    deferred.height = 100;
    deferred.global_colors = 256;
    deferred.noise = true;
    deferred.lzw.table_limit = 0;
    GifSpec deferred_split = deferred;
    deferred_split.block_sizes = SplitAfterTableFills(PixelsOf(deferred), deferred.lzw);
    ASSERT_FALSE(deferred_split.block_sizes.empty());

    for (const GifSpec &recipe : {deferred, deferred_split}) {
        std::string gif = MakeGif(recipe);
        int image = Open(gif);
        ASSERT_EQ(image, 0);
        std::string pdf = Finish(image);
        // The document is uncompressed: the stream holds the indices.
        Stream stream = FirstImage(pdf);
        EXPECT_EQ(stream.dictionary.find("/Filter"), std::string::npos);
        std::vector<uint8_t> indices = DecodeWithGiflib(gif).indices;
        EXPECT_EQ(stream.data, std::string(indices.begin(), indices.end()));
        EXPECT_NE(stream.dictionary.find("/ColorSpace[/Indexed/DeviceRGB 255"), std::string::npos);
        EXPECT_TRUE(Log().reports.empty());
    }
}

// Damaged files of every kind end in an image, a refusal or an I/O error,
// never in a read beyond a buffer or a file left open (the sanitizers watch
// the rest).
TEST_F(GifReader, RandomDamageIsHandled)
{
    GifSpec recipe;
    recipe.global_colors = 256;
    recipe.local_colors = 8;
    recipe.transparent = 3;
    recipe.width = 40;
    recipe.height = 30;
    recipe.noise = true;
    recipe.block_sizes = {7, 200, 1, 30};
    const std::string good = MakeGif(recipe);
    std::mt19937 random(2024);
    int opened = 0, refused = 0, raised = 0;
    for (int round = 0; round < 300; round++) {
        std::string bytes = good;
        int damage = round % 3;
        if (damage == 0) {
            bytes.resize(random() % bytes.size());
        } else {
            for (int i = 0; i < 1 + damage * 2; i++)
                bytes[random() % bytes.size()] = static_cast<char>(random());
        }
        int image = Open(bytes);
        if (image == 0) {
            opened++;
            Finish(image);
        } else if (image == -1) {
            refused++;
        } else {
            ASSERT_EQ(image, -2);
            ASSERT_EQ(Log().reports.back().type, PDF_ERR_IO) << Log().reports.back().message;
            raised++;
            PDF_delete(document);
            document = nullptr;
        }
        ASSERT_LE(OpenDescriptors(), idle_descriptors + 1) << "round " << round;
    }
    EXPECT_GT(opened, 0);
    EXPECT_GT(refused, 0);
    // Damage is found before the XObject is begun.
    EXPECT_EQ(raised, 0);
}

// Allocation N of an open fails, for N = 1, 2, ... until the open succeeds:
// each failure is a memory error after which deleting the document leaves
// no file open (and, under the sanitizers, nothing allocated).
class GifMemory : public GifReader, public ::testing::WithParamInterface<bool> {};

// Re-packed, and decoded (code size 4, interlaced).
TEST_P(GifMemory, AllocationFailuresLeaveNothingBehind)
{
    GifSpec recipe;
    recipe.transparent = 1;
    if (GetParam()) {
        recipe.code_size = 4;
        recipe.interlaced = true;
    }
    WriteFile(gif_path, MakeGif(recipe));
    // `fail_at` allocations succeed. The heap outlives the test body: after
    // a failed assertion TearDown still releases the document through it.
    static FailingHeap heap;
    FailingHeap::Current() = &heap;
    int fail_at = 0;
    for (;; fail_at++) {
        ASSERT_LT(fail_at, 50);
        Log().reports.clear();
        heap.Disarm();
        heap.fail_at = fail_at + 1;
        document = PDF_new_with_handlers(Recorder::Handler, FailingAllocate, FailingReallocate,
                                         FailingRelease, &Log());
        PDF_open_file(document, pdf_path.c_str());
        heap.Arm();
        int image = OpenGif(document, gif_path);
        heap.Disarm();
        if (image == 0) {
            Finish(image);
            break;
        }
        ASSERT_EQ(image, -2);
        ASSERT_EQ(Log().reports.size(), 1u);
        EXPECT_EQ(Log().reports[0].type, PDF_ERR_MEMORY);
        // A failure inside the XObject writer leaves the file to the
        // document, which closes it when it is deleted.
        PDF_delete(document);
        document = nullptr;
        EXPECT_EQ(OpenDescriptors(), idle_descriptors);
    }
    // The state, the name and the copy buffer or the raster at least.
    EXPECT_GE(fail_at, 3);
}

INSTANTIATE_TEST_SUITE_P(Roads, GifMemory, ::testing::Bool());

}  // namespace
