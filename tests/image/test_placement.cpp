// Slots, the XObject table, placement operators and the open/close calls'
// errors.
#include <string>
#include <vector>

#include "folio_support.h"

using namespace foliotest;
using testsupport::ReadFile;

namespace {

const char kPixel[4] = {0, 0, 0, 0};

int OpenGray(Doc &doc, int width, int height)
{
    static std::vector<char> data;
    data.assign(static_cast<size_t>(width) * height, 0x7F);
    return PDF_open_image(doc.pdf, "raw", "memory", data.data(), static_cast<long>(data.size()),
                          width, height, 1, 8, nullptr);
}

// Number of content streams of the (single) page.
int ContentsCount(const std::string &pdf)
{
    size_t at = pdf.find("/Contents[");
    if (at == std::string::npos) return 0;
    return CountOf(pdf.substr(at, pdf.find(']', at) - at), " 0 R");
}

// Opens an uncompressed document on a file in `dir`.
void OpenDoc(Doc &doc, const testsupport::TempDir &dir, const char *name = "out.pdf")
{
    ASSERT_EQ(PDF_open_file(doc.pdf, dir.file(name).c_str()), 1);
    PDF_set_value(doc.pdf, "compress", 0);
}

struct PlacementCase {
    const char *label;
    int width, height;
    float x, y, scale;
    const char *content;  // what the page's content stream holds
};

const PlacementCase kPlacements[] = {
    {"identity", 1, 1, 0, 0, 1, "q\n/I0 Do\nQ\n"},
    {"full_size", 640, 480, 0, 0, 1, "q\n640 0 0 480 0 0 cm\n/I0 Do\nQ\n"},
    {"half_offset", 40, 20, 10, 30, 0.5f, "q\n20 0 0 10 10 30 cm\n/I0 Do\nQ\n"},
    {"mirrored", 4, 2, 100, 50, -1, "q\n-4 0 0 -2 100 50 cm\n/I0 Do\nQ\n"},
    {"tiny_scale", 3, 3, 0, 0, 0.0001f, "q\n0.0003 0 0 0.0003 0 0 cm\n/I0 Do\nQ\n"},
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, WritesTheMatrix)
{
    const PlacementCase &c = GetParam();
    testsupport::TempDir dir;
    Doc doc;
    PDF_GUARD(doc);
    OpenDoc(doc, dir);
    int image = OpenGray(doc, c.width, c.height);
    PDF_begin_page(doc.pdf, 700, 500);
    PDF_place_image(doc.pdf, image, c.x, c.y, c.scale);
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);
    std::string pdf = ReadFile(dir.file("out.pdf"));
    EXPECT_NE(pdf.find(std::string("stream\n") + c.content + "endstream"), std::string::npos)
        << pdf;
    EXPECT_NE(pdf.find("/ProcSet[/PDF/ImageB]\n"), std::string::npos);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("out.pdf")));
}

INSTANTIATE_TEST_SUITE_P(Matrices, Placement, ::testing::ValuesIn(kPlacements), ByLabel());

// A mirrored image lands where the matrix says: flipped both ways around
// the point of placement.
TEST(MirroredPlacement, RendersFlipped)
{
    testsupport::TempDir dir;
    Doc doc;
    PDF_GUARD(doc);
    OpenDoc(doc, dir);
    const char data[] = {0, 0, 0, char(0xFF), char(0xFF), char(0xFF)};  // 2 x 1 RGB: black, white
    int image = PDF_open_image(doc.pdf, "raw", "memory", data, 6, 2, 1, 3, 8, "");
    PDF_begin_page(doc.pdf, 4, 2);
    PDF_place_image(doc.pdf, image, 4, 2, -2);
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("out.pdf")));
    testsupport::Raster raster = testsupport::RenderMutool(dir.file("out.pdf"), 1);
    ASSERT_EQ(raster.width, 4);
    // Mirrored: the black pixel is now on the right.
    EXPECT_EQ(raster.at(0, 0, 0), 255);
    EXPECT_EQ(raster.at(1, 1, 0), 255);
    EXPECT_EQ(raster.at(2, 0, 0), 0);
    EXPECT_EQ(raster.at(3, 1, 0), 0);
}

TEST(Slots, ClosedHandleIsReusedWithANewXObject)
{
    testsupport::TempDir dir;
    Doc doc;
    PDF_GUARD(doc);
    OpenDoc(doc, dir);
    for (int page = 0; page < 3; ++page) {
        int image = OpenGray(doc, 2, 2);
        EXPECT_EQ(image, 0);
        PDF_begin_page(doc.pdf, 2, 2);
        PDF_place_image(doc.pdf, image, 0, 0, 1);
        PDF_place_image(doc.pdf, image, 0, 0, 1);
        PDF_close_image(doc.pdf, image);
        PDF_end_page(doc.pdf);
    }
    PDF_close(doc.pdf);
    std::string pdf = ReadFile(dir.file("out.pdf"));
    // Two placements, one resource entry per page; each page's image has
    // an XObject of its own.
    for (int page = 0; page < 3; ++page)
        EXPECT_EQ(CountOf(pdf, "/I" + std::to_string(page) + " Do\n"), 2);
    EXPECT_EQ(CountOf(pdf, "/XObject<</I1 "), 1);
    EXPECT_EQ(CountOf(pdf, "/XObject<</I2 "), 1);
    EXPECT_EQ(CountOf(pdf, "/XObject<</I0 "), 1);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("out.pdf")));
}

TEST(Slots, TablesGrowPast128)
{
    testsupport::TempDir dir;
    Doc doc;
    PDF_GUARD(doc);
    OpenDoc(doc, dir);
    std::vector<int> handles;
    for (int i = 0; i < 130; ++i) handles.push_back(OpenGray(doc, 1, 1));
    for (int i = 0; i < 130; ++i) ASSERT_EQ(handles[i], i);
    PDF_begin_page(doc.pdf, 10, 10);
    PDF_place_image(doc.pdf, 129, 0, 0, 1);
    PDF_place_image(doc.pdf, 3, 5, 5, 1);
    PDF_close_image(doc.pdf, 3);
    EXPECT_EQ(OpenGray(doc, 1, 1), 3);  // an image opened in page scope
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);
    std::string pdf = ReadFile(dir.file("out.pdf"));
    EXPECT_NE(pdf.find("/XObject<</I3 "), std::string::npos);
    EXPECT_NE(pdf.find("/I129 "), std::string::npos);
    // The image opened while the page was open split its content stream.
    EXPECT_EQ(ContentsCount(pdf), 2);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("out.pdf")));
}

// Every fault of PDF_open_image, with its exact text.
struct ErrorCase {
    const char *label;
    const char *type, *source;
    bool null_data;
    long length;
    int width, height, components, bpc;
    const char *params;
    int error_type;
    const char *message;
};

const ErrorCase kOpenErrors[] = {
    {"no_type", "", "memory", false, 1, 1, 1, 1, 8, "", PDF_ERR_VALUE, "No image type in PDF_open_image"},
    {"no_source", "raw", nullptr, false, 1, 1, 1, 1, 8, "", PDF_ERR_VALUE, "No image source in PDF_open_image"},
    {"null_raw", "raw", "memory", true, 1, 1, 1, 1, 8, "", PDF_ERR_VALUE, "Bad raw image pointer in PDF_open_image"},
    {"unknown_type", "bmp", "memory", false, 1, 1, 1, 1, 8, "", PDF_ERR_VALUE, "Unknown image type 'bmp' in PDF_open_image"},
    {"mask_depth", "raw", "memory", false, 1, 1, 1, 1, 8, "mask", PDF_ERR_VALUE, "Unsuitable image mask in PDF_open_image"},
    {"mask_jpeg", "jpeg", "memory", false, 1, 1, 1, 1, 1, "mask", PDF_ERR_VALUE, "Unsuitable image mask in PDF_open_image"},
    {"components", "raw", "memory", false, 2, 1, 1, 2, 8, "", PDF_ERR_VALUE, "Bogus number of components (2) in PDF_open_image"},
    {"short", "raw", "memory", false, 5, 2, 3, 1, 8, "", PDF_ERR_VALUE, "Bogus image data length '5' in PDF_open_image"},
    {"long", "raw", "memory", false, 7, 2, 3, 1, 8, "", PDF_ERR_VALUE, "Bogus image data length '7' in PDF_open_image"},
    {"unpadded32", "raw", "memory32", false, 6, 2, 3, 1, 8, "", PDF_ERR_VALUE, "Bogus image data length '6' in PDF_open_image"},
    {"negative_jpeg", "jpeg", "memory", false, -4, 2, 2, 1, 8, "", PDF_ERR_VALUE, "Bogus image data length '-4' in PDF_open_image"},
    {"source", "raw", "disk", false, 1, 1, 1, 1, 8, "", PDF_ERR_VALUE, "Bogus image data source 'disk' in PDF_open_image"},
    {"zero_width", "raw", "memory", false, 0, 0, 1, 1, 8, "", PDF_ERR_VALUE, "Bogus image size (0 x 1) in PDF_open_image"},
    {"depth", "raw", "memory", false, 1, 1, 1, 1, 3, "", PDF_ERR_VALUE, "Bogus bits per component (3) in PDF_open_image"},
};

class OpenImageError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(OpenImageError, IsReportedWithItsText)
{
    const ErrorCase &c = GetParam();
    testsupport::TempDir dir;
    Doc doc;
    OpenDoc(doc, dir);
    const char data[16] = {};
    EXPECT_PDF_ERROR(doc,
                     PDF_open_image(doc.pdf, c.type, c.source, c.null_data ? nullptr : data,
                                    c.length, c.width, c.height, c.components, c.bpc, c.params),
                     c.error_type, c.message);
}

INSTANTIATE_TEST_SUITE_P(Messages, OpenImageError, ::testing::ValuesIn(kOpenErrors), ByLabel());

TEST(Errors, ScaleZeroIsRefused)
{
    testsupport::TempDir dir;
    Doc doc;
    OpenDoc(doc, dir);
    PDF_GUARD(doc);
    int image = PDF_open_image(doc.pdf, "raw", "memory", kPixel, 1, 1, 1, 1, 8, "");
    PDF_begin_page(doc.pdf, 10, 10);
    EXPECT_PDF_ERROR(doc, PDF_place_image(doc.pdf, image, 0, 0, 0.00001f), PDF_ERR_VALUE,
                     "Scaling factor 0 for image ");
}

// A stretch before the placement: one factor of 1 writes nothing, any
// other a "cm" of its own; a zero factor is refused.
TEST(Scale, StretchesBeforeThePlacementAndRefusesZero)
{
    testsupport::TempDir dir;
    Doc doc;
    OpenDoc(doc, dir);
    PDF_GUARD(doc);
    int image = OpenGray(doc, 4, 2);
    PDF_begin_page(doc.pdf, 10, 10);
    PDF_scale(doc.pdf, 1, 1);
    PDF_save(doc.pdf);
    PDF_scale(doc.pdf, 1, 2.5f);
    PDF_place_image(doc.pdf, image, 1, 0.5f, 2);
    PDF_restore(doc.pdf);
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);
    EXPECT_NE(ReadFile(dir.file("out.pdf"))
                  .find("stream\nq\n1 0 0 2.5 0 0 cm\nq\n8 0 0 4 1 0.5 cm\n/I0 Do\nQ\nQ\n"
                        "endstream"),
              std::string::npos);

    Doc refusing;
    OpenDoc(refusing, dir, "zero.pdf");
    PDF_begin_page(refusing.pdf, 10, 10);
    EXPECT_PDF_ERROR(refusing, PDF_scale(refusing.pdf, 2, 0), PDF_ERR_VALUE,
                     "Zero scaling factor");
}

TEST(Errors, ClosedAndUnknownHandles)
{
    struct Call {
        void (*call)(pdf_document *, int);
        int handle;
        const char *message;
    };
    const Call calls[] = {
        {[](pdf_document *d, int h) { PDF_place_image(d, h, 0, 0, 1); }, 0,
         "Bad image or template handle 0 in PDF_place_image"},
        {[](pdf_document *d, int h) { PDF_place_image(d, h, 0, 0, 1); }, -1,
         "Bad image or template handle -1 in PDF_place_image"},
        {[](pdf_document *d, int h) { PDF_place_image(d, h, 0, 0, 1); }, 128,
         "Bad image or template handle 128 in PDF_place_image"},
        {PDF_close_image, 0, "Bad image number 0 in PDF_close_image"},
        {PDF_close_image, 500, "Bad image number 500 in PDF_close_image"},
    };
    auto run = [&](const Call &c) {
        testsupport::TempDir dir;
        Doc doc;
        OpenDoc(doc, dir);
        PDF_GUARD(doc);
        int image = PDF_open_image(doc.pdf, "raw", "memory", kPixel, 1, 1, 1, 1, 8, "");
        PDF_close_image(doc.pdf, image);
        PDF_begin_page(doc.pdf, 10, 10);
        EXPECT_PDF_ERROR(doc, c.call(doc.pdf, c.handle), PDF_ERR_VALUE, c.message);
    };
    for (const Call &c : calls) run(c);
}

TEST(Errors, OpenImageFileChecksItsArguments)
{
    struct Case {
        const char *type, *name, *param;
        int compatibility_error;
        int type_code;
        const char *message;
    };
    const Case cases[] = {
        {"", "a.png", "", 0, PDF_ERR_VALUE, "Bad image file type for image a.png"},
        {"png", "", "", 0, PDF_ERR_VALUE, "Bad image file name for png image"},
        {"bmp", "a.bmp", "", 0, PDF_ERR_VALUE, "Image type bmp for image file a.bmp not supported"},
        {"Png", "a.png", "", 0, PDF_ERR_VALUE, "Image type Png for image file a.png not supported"},
        {"png", "a.png", "masked", 1, PDF_ERR_RUNTIME, "Masked images are not supported in PDF 1.2"},
    };
    for (const Case &c : cases) {
        testsupport::TempDir dir;
        Doc doc;
        if (c.compatibility_error) PDF_set_parameter(doc.pdf, "compatibility", "1.2");
        OpenDoc(doc, dir);
        EXPECT_PDF_ERROR(doc, PDF_open_image_file(doc.pdf, c.type, c.name, c.param, 0),
                         c.type_code, c.message);
    }
}

TEST(Errors, ExternalReferencesNeedPdf13)
{
    testsupport::TempDir dir;
    Doc doc;
    PDF_set_parameter(doc.pdf, "compatibility", "1.2");
    OpenDoc(doc, dir);
    EXPECT_PDF_ERROR(doc, PDF_open_image(doc.pdf, "raw", "url", "http://x/y", 0, 1, 1, 1, 8, ""),
                     PDF_ERR_RUNTIME, "External image URLs are not supported in PDF 1.2");
}

TEST(ExternalImages, FileReferenceIsQuotedAndEmpty)
{
    testsupport::TempDir dir;
    Doc doc;
    PDF_GUARD(doc);
    OpenDoc(doc, dir);
    EXPECT_EQ(PDF_open_image(doc.pdf, "ccitt", "fileref", "fax(1).g4", 0, 2048, 10, 1, 1, "/K -1"), 0);
    PDF_begin_page(doc.pdf, 10, 10);
    PDF_place_image(doc.pdf, 0, 0, 0, 1);
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);
    std::string pdf = ReadFile(dir.file("out.pdf"));
    EXPECT_NE(pdf.find("/FFilter[/CCITTFaxDecode]\n/FDecodeParms[<</Columns 2048/Rows 10/K -1>>]\n"
                       "/F(fax\\(1\\).g4)/Length 0>>\nstream\nendstream\nendobj\n"),
              std::string::npos)
        << pdf;
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("out.pdf")));
}

TEST(Debug, HexOutputOfPassThroughData)
{
    testsupport::TempDir dir;
    Doc doc;
    PDF_GUARD(doc);
    OpenDoc(doc, dir);
    PDF_set_parameter(doc.pdf, "debug", "a");
    std::string bytes(40, '\xAB');
    int image = PDF_open_image(doc.pdf, "ccitt", "memory", bytes.data(), -40, 1728, 1, 1, 1, "");
    EXPECT_EQ(image, 0);
    PDF_close_image(doc.pdf, image);
    PDF_begin_page(doc.pdf, 10, 10);
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);
    std::string pdf = ReadFile(dir.file("out.pdf"));
    std::string line(64, 'A');
    for (size_t i = 1; i < line.size(); i += 2) line[i] = 'B';
    EXPECT_NE(pdf.find("/Filter[/ASCIIHexDecode/CCITTFaxDecode]\n"
                       "/DecodeParms[null<</Rows 1>>]\n"),
              std::string::npos)
        << pdf;
    EXPECT_NE(pdf.find("stream\n" + line + "\n" + line.substr(0, 16) + ">\nendstream"),
              std::string::npos);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("out.pdf")));
}

}  // namespace
