// The JPEG reader: which files it accepts, what it learns from their
// markers, and how it refuses damaged or unsupported ones.
#include <gtest/gtest.h>

#include "test_jpeg_util.h"

using namespace foliotest;
using namespace jpegtest;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string Baseline(int components = 3)
{
    JpegSpec recipe;
    recipe.components = components;
    return EncodeJpeg(recipe);
}

// Without libjpeg's JFIF segment.
std::string Plain()
{
    JpegSpec recipe;
    recipe.jfif = false;
    return EncodeJpeg(recipe);
}

std::string Progressive(bool arithmetic = false)
{
    JpegSpec recipe;
    recipe.progressive = true;
    recipe.arithmetic = arithmetic;
    return EncodeJpeg(recipe);
}

// Sets the byte `offset` bytes after the 0xFF of marker `code`.
std::string Patch(std::string jpeg, int code, size_t offset, int value)
{
    size_t at = FindMarker(jpeg, code);
    EXPECT_NE(at, std::string::npos) << "no marker " << code;
    if (at != std::string::npos)
        jpeg[at + offset] = static_cast<char>(value);
    return jpeg;
}

std::string FrameCode(int code) { return Patch(Baseline(), 0xC0, 1, code); }

// The data of a Photoshop segment with one resolution block of 300.5 x 72
// dpi, named by `name` (a length byte and characters, padding included).
std::string PhotoshopData(const std::string &name = std::string(2, '\0'))
{
    std::string data = std::string("Photoshop 3.0") + '\0' + "8BIM" + "\x03\xED" + name;
    data += std::string("\0\0\0\x10", 4);
    data += std::string("\x01\x2C\x80\x00\0\x01\0\x01\0\x48\0\0\0\x01\0\x01", 16);
    return data;
}

std::string Jfif(int units, int x, int y)
{
    std::string data = std::string("JFIF\0\x01\x01", 7) + static_cast<char>(units) +
                       static_cast<char>(x >> 8) + static_cast<char>(x) +
                       static_cast<char>(y >> 8) + static_cast<char>(y) + std::string(2, '\0');
    return Segment(0xE0, data);
}

class JpegReader : public ImageReaderTest {
protected:
    JpegReader() : ImageReaderTest("jpeg", "in.jpg") {}
    const std::string &jpeg_path = image_path;
};

TEST_F(JpegReader, AcceptsSequentialAndProgressiveFrames)
{
    static const char *const kColorSpaces[] = {"DeviceGray", "DeviceRGB", "DeviceCMYK"};
    JpegSpec cmyk_plain;
    cmyk_plain.components = 4;
    cmyk_plain.adobe = false;
    struct Case {
        const char *label;
        std::string bytes;
        const char *compatibility, *stringparam;
        int intparam, components, colorspace, inverted;
    } cases[] = {
        {"gray", Baseline(1), "1.3", "", 0, 1, 0, 0},
        {"rgb", Baseline(3), "1.3", nullptr, 0, 3, 1, 0},
        {"cmyk with Adobe segment", Baseline(4), "1.3", "", 0, 4, 2, 1},
        {"cmyk without", EncodeJpeg(cmyk_plain), "1.3", "", 0, 4, 2, 0},
        {"extended sequential", FrameCode(0xC1), "1.2", "", 0, 3, 1, 0},
        {"progressive 1.3", Progressive(), "1.3", "", 0, 3, 1, 0},
        {"progressive 1.4", Progressive(), "1.4", "", 0, 3, 1, 0},
        {"arithmetic progressive", Progressive(true), "1.3", "", 0, 3, 1, 0},
        {"masked by no image", Baseline(3), "1.3", "masked", -7, 3, 1, 0},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(Open(c.bytes, c.stringparam, c.intparam, c.compatibility), 0);
        EXPECT_TRUE(Log().reports.empty());
        EXPECT_EQ(OpenDescriptors(), descriptors);
        std::string dictionary = FirstImage(Finish(0)).dictionary;
        EXPECT_NE(dictionary.find("/Width 48\n/Height 32\n/BitsPerComponent 8\n"
                                  "/ColorSpace/" + std::string(kColorSpaces[c.colorspace]) + "\n"
                                  "/Filter[/DCTDecode]\n"),
                  std::string::npos) << dictionary;
        EXPECT_EQ(dictionary.find("/Decode[1 0 1 0 1 0 1 0]\n") != std::string::npos,
                  c.inverted == 1) << dictionary;
        EXPECT_EQ(dictionary.find("/Mask"), std::string::npos);
    }
}

// Every refusal closes the file. Problems of the file are warnings (with
// "imagewarning" on) and the result -1; a bad string parameter is a value
// error that leaves the call (-2 here).
TEST_F(JpegReader, Refuses)
{
    std::string jpeg = Baseline();
    size_t sof = FindMarker(jpeg, 0xC0);
    size_t dqt = FindMarker(jpeg, 0xDB);
    JpegSpec arithmetic;
    arithmetic.arithmetic = true;
    const std::string damaged = "JPEG file '%s' is damaged";
    auto Scheme = [](int code) {
        return "JPEG compression scheme '" + std::to_string(code) +
               "' in file '%s' is not supported in PDF 1.3";
    };
    struct Case {
        const char *label;
        std::string bytes;
        std::string message;
        const char *compatibility = "1.3";
        const char *stringparam = "";
        int intparam = 0;
    } cases[] = {
        {"12-bit", Patch(jpeg, 0xC0, 4, 12), "Bad number of bits per pixel (12) in JPEG file '%s'"},
        {"2 components", Patch(jpeg, 0xC0, 9, 2), "Unknown number of color components (2) in JPEG file '%s'"},
        {"lossless", FrameCode(0xC3), Scheme(195)},
        {"hierarchical", FrameCode(0xC5), Scheme(197)},
        {"arithmetic sequential", EncodeJpeg(arithmetic), Scheme(201)},
        {"arithmetic lossless", FrameCode(0xCF), Scheme(207)},
        {"ends before the frame", jpeg.substr(0, sof), Scheme(256)},
        {"progressive in PDF 1.2", Progressive(), "Progressive JPEG images are not supported in PDF 1.2", "1.2"},
        {"769 foreign bytes", std::string(769, 'x') + jpeg, "File '%s' doesn't appear to be of type JPEG"},
        {"not a JPEG", "plain text, no marker at all", "File problem with JPEG file '%s'"},
        {"no frame", "\xFF\xD8\xFF\xD9", "Bad image parameters in JPEG file '%s' (w=0 h=0, colors=0"},
        {"zero width", Patch(Patch(jpeg, 0xC0, 7, 0), 0xC0, 8, 0), "Bad image parameters in JPEG file '%s' (w=0 h=32, colors=3"},
        // Lengths read from the file are not trusted.
        {"ends inside a segment", jpeg.substr(0, dqt + 30), damaged},
        {"ends inside the frame", jpeg.substr(0, sof + 12), damaged},
        {"APP0 length 0", WithSegment(jpeg, std::string("\xFF\xE0\x00\x00", 4)), damaged},
        {"APP14 length 1", WithSegment(jpeg, std::string("\xFF\xEE\x00\x01", 4)), damaged},
        {"APP13 length 1", WithSegment(jpeg, std::string("\xFF\xED\x00\x01", 4)), damaged},
        {"comment length 0", WithSegment(jpeg, std::string("\xFF\xFE\x00\x00", 4)), damaged},
        {"frame length 1", Patch(Patch(jpeg, 0xC0, 2, 0), 0xC0, 3, 1), damaged},
        // Frame header and end marker, but no scan: no pixels.
        {"no scan", jpeg.substr(0, FindMarker(jpeg, 0xDA)) + "\xFF\xD9",
         "JPEG file '%s' is damaged (no start-of-scan marker)"},
        {"APP0 past the end", jpeg.substr(0, 2) + "\xFF\xE0\xFF\xF0JFIF", damaged},
        {"APP14 past the end", jpeg.substr(0, 2) + "\xFF\xEE\x01\x00" + "Adobe", damaged},
        {"APP13 past the end", jpeg.substr(0, 2) + "\xFF\xED\x40\x00" + "Photoshop",
         "JPEG file '%s' is damaged (Photoshop marker too short)"},
        // Parameter errors.
        {"mask", Baseline(1), "Can't handle JPEG image mask", "1.3", "mask"},
        {"colorize rgb", jpeg, "Can't colorize JPEG image with more than 1 component", "1.3", "colorize"},
        {"colorize unknown colour", Baseline(1), "Invalid color number 0 for image %s", "1.3", "colorize"},
        {"masked by nothing", jpeg, "Bad image mask (no 5) for image '%s'", "1.3", "masked", 5},
        {"masked by itself", jpeg, "Bad image mask (no 0) for image '%s'", "1.3", "masked", 0},
        {"unknown parameter", jpeg, "Unknown parameter Mask in pdf_open_JPEG", "1.3", "Mask"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.label);
        bool parameter = *c.stringparam != '\0';
        EXPECT_EQ(Open(c.bytes, c.stringparam, c.intparam, c.compatibility), parameter ? -2 : -1);
        ASSERT_EQ(Log().reports.size(), 1u);
        EXPECT_EQ(Log().reports[0].type, parameter ? PDF_ERR_VALUE : PDF_ERR_NONFATAL);
        EXPECT_EQ(Log().reports[0].message, Named(c.message));
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_EQ(Discarded().find("/Subtype/Image"), std::string::npos);
    }

    // A missing file; then, without image warnings, refusals are silent.
    Discard(document);
    document = NewDocument(pdf_path);
    std::string missing = dir.file("missing.jpg");
    EXPECT_EQ(OpenJpeg(document, missing), -1);
    EXPECT_EQ(Log().reports.at(0).message, "Couldn't open JPEG file '" + missing + "'");
    Log().reports.clear();
    PDF_set_parameter(document, "imagewarning", "false");
    WriteFile(jpeg_path, Patch(jpeg, 0xC0, 4, 12));
    EXPECT_EQ(OpenJpeg(document, jpeg_path), -1);
    EXPECT_EQ(OpenJpeg(document, missing), -1);
    EXPECT_TRUE(Log().reports.empty());
}

TEST_F(JpegReader, ReadsResolutionFromJfifAndPhotoshopSegments)
{
    struct Case {
        const char *label;
        std::string bytes;
        float x, y;
    } cases[] = {
        {"libjpeg's default", Baseline(), -1, -1},
        {"no segment", Plain(), 0, 0},
        {"aspect ratio only", WithSegment(Plain(), Jfif(0, 1, 2)), -1, -2},
        {"dots per inch", WithSegment(Plain(), Jfif(1, 300, 150)), 300, 150},
        {"dots per centimetre", WithSegment(Plain(), Jfif(2, 100, 100)), 254, 254},
        {"zero density", WithSegment(Plain(), Jfif(1, 0, 72)), 0, 0},
        {"photoshop", WithSegment(Plain(), Segment(0xED, PhotoshopData())), 300.5f, 72},
        {"photoshop with a name",
         WithSegment(Plain(), Segment(0xED, PhotoshopData(std::string("\x03" "abc", 4)))), 300.5f, 72},
        {"later segment wins",
         WithSegment(WithSegment(Plain(), Segment(0xED, PhotoshopData())), Jfif(1, 96, 96)), 300.5f, 72},
        // Blocks that run past the segment end the walk.
        {"photoshop name cut short",
         WithSegment(Plain(), Segment(0xED, PhotoshopData().substr(0, 20) + "\xF0")), 0, 0},
        {"photoshop data cut short",
         WithSegment(Plain(), Segment(0xED, PhotoshopData().substr(0, 36))), 0, 0},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(Open(c.bytes), 0);
        EXPECT_FLOAT_EQ(PDF_get_value(document, "resx", 0), c.x);
        EXPECT_FLOAT_EQ(PDF_get_value(document, "resy", 0), c.y);
    }
}

// "orientation" reports what the first Exif segment records; damaged or
// absent Exif data mean 1 and are no error.
TEST_F(JpegReader, ReadsTheOrientationOfTheExifSegment)
{
    const std::string exif6 = Exif(6, true);
    struct Case {
        const char *label;
        std::string bytes;
        float orientation;
    } cases[] = {
        {"none", Baseline(), 1},
        {"big-endian", WithSegment(Baseline(), Exif(6, true)), 6},
        {"little-endian", WithSegment(Baseline(), Exif(8, false)), 8},
        {"first segment wins", WithSegment(WithSegment(Baseline(), Exif(3, true)), Exif(5, false)), 5},
        {"out of range", WithSegment(Baseline(), Exif(9, true)), 1},
        {"not a SHORT", WithSegment(Baseline(), Exif(6, true, 4)), 1},
        {"IFD cut short", WithSegment(Baseline(), Segment(0xE1, exif6.substr(4, 30))), 1},
        {"bad IFD offset", WithSegment(Baseline(), Segment(0xE1, exif6.substr(4, 10) + "\xFF\xFF\xFF\xF0" + exif6.substr(18))), 1},
        {"not Exif", WithSegment(Baseline(), Segment(0xE1, "http://ns.adobe.com/xap/1.0/")), 1},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(Open(c.bytes), 0);
        EXPECT_EQ(PDF_get_value(document, "orientation", 0), c.orientation);
        EXPECT_TRUE(Log().reports.empty());
    }
}

TEST_F(JpegReader, CopiesTheStreamFromTheStartOfImageOn)
{
    std::string jpeg = Baseline();
    std::string trailer = "bytes after the end of the image";
    for (size_t foreign : {size_t(0), size_t(128), size_t(768)}) {
        SCOPED_TRACE(foreign);
        ASSERT_EQ(Open(std::string(foreign, 'x') + jpeg + trailer), 0);
        FinishWithPage(document, 0);
        document = nullptr;
        EXPECT_EQ(DctStream(ReadFile(pdf_path)), jpeg + trailer);
        EXPECT_TRUE(testsupport::QpdfCheck(pdf_path));
    }
}

// The end-of-image marker is looked for from the end of the file in blocks
// of 4096 bytes; it counts wherever it lies after the frame header,
// including across a block boundary, and nowhere before it.
TEST_F(JpegReader, NeedsAnEndOfImageMarkerAfterTheFrame)
{
    std::string jpeg = Baseline();
    ASSERT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9");
    std::string body = jpeg.substr(0, jpeg.size() - 2);
    const std::string missing = "JPEG file '%s' is damaged (no end-of-image marker)";
    struct Case {
        const char *label;
        std::string bytes;
        bool accepted;
    } cases[] = {
        {"at the end", jpeg, true},
        {"after fill bytes", body + "\xFF\xFF\xFF\xD9", true},
        {"1 byte follows", jpeg + "x", true},
        {"4094 bytes follow", jpeg + std::string(4094, 'x'), true},
        {"across a block boundary", jpeg + std::string(4095, 'x'), true},
        {"4096 bytes follow", jpeg + std::string(4096, 'x'), true},
        {"10000 bytes follow", jpeg + std::string(10000, '\xFF'), true},
        {"missing", body, false},
        {"missing, 10000 bytes instead", body + std::string(10000, 'x'), false},
        {"half a marker", body + "\xFF", false},
        {"only before the frame", WithSegment(body, Segment(0xFE, "\xFF\xD9")), false},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Open(c.bytes), c.accepted ? 0 : -1);
        if (c.accepted) {
            EXPECT_TRUE(Log().reports.empty());
        } else {
            ASSERT_EQ(Log().reports.size(), 1u);
            EXPECT_EQ(Log().reports[0].message, Named(missing));
        }
        EXPECT_EQ(OpenDescriptors(), descriptors);
    }
}

TEST_F(JpegReader, MaskedByAStencilImage)
{
    Open(Baseline(), nullptr, 0);
    const char stencil[4] = {'\xF0', '\x0F', '\xF0', '\x0F'};
    int mask = PDF_open_image(document, "raw", "memory", stencil, 4, 8, 4, 1, 1, "mask");
    ASSERT_EQ(OpenJpeg(document, jpeg_path, "masked", mask), 2);
    std::string pdf = Finish(2);
    long mask_object = ObjectNumberAt(pdf, pdf.find("/ImageMask true"));
    std::string reference = "/Mask " + std::to_string(mask_object) + " 0 R\n";
    EXPECT_NE(ImageStreams(pdf).at(2).dictionary.find(reference), std::string::npos);
    EXPECT_TRUE(testsupport::QpdfCheck(pdf_path));
}

}  // namespace
