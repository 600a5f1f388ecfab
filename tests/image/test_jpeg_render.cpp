// JPEG documents as independent viewers see them, and the exact bytes of a
// one-page document made from a JPEG.
#include <gtest/gtest.h>

#include <cstdlib>

#include "test_jpeg_util.h"

using namespace foliotest;
using namespace jpegtest;
using namespace testsupport;

namespace {

TEST(JpegRender, ViewersShowTheDecodedImage)
{
    struct Case {
        const char *label;
        int components;
        bool progressive;
        int tolerance;
    } cases[] = {
        {"gray", 1, false, 3},
        {"rgb", 3, false, 3},
        {"progressive rgb", 3, true, 3},
        // Viewers convert CMYK each in their own way; a missing or doubled
        // inversion would be off by far more.
        {"cmyk with Adobe segment", 4, false, 80},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        JpegSpec recipe;
        recipe.components = c.components;
        recipe.progressive = c.progressive;
        std::string jpeg = EncodeJpeg(recipe);
        WriteFile(dir.file("in.jpg"), jpeg);
        std::string pdf = dir.file("out.pdf");
        ASSERT_EQ(MakeOnePageDocument(pdf, "jpeg", dir.file("in.jpg")), 0);
        EXPECT_TRUE(Log().reports.empty());

        std::string report;
        EXPECT_TRUE(QpdfCheck(pdf, &report)) << report;
        EXPECT_EQ(PdfInfoField(pdf, "MediaBox", 1), "0.00     0.00    48.00    32.00");
        EXPECT_EQ(DctStream(ReadFile(pdf)), jpeg);
        Raster expected = DecodeJpeg(jpeg);
        EXPECT_LE(MaxDifference(RenderMutool(pdf, 1), expected), c.tolerance);
        EXPECT_LE(MaxDifference(RenderPoppler(pdf, 1), expected), c.tolerance);
    }
}

// A 640 x 480 baseline RGB JPEG as the only page of a document, placed at
// the origin with scale 1. The JPEG is kept beside the golden document so
// that the bytes do not depend on the encoder; BINDWICK_UPDATE_GOLDEN=1
// makes both anew.
TEST(JpegRender, OnePageDocumentBytes)
{
    const std::string jpeg_path = GoldenDir() + "/jpeg_640x480.jpg";
    const std::string golden_path = GoldenDir() + "/jpeg_one_page.pdf";
    const bool update = std::getenv("BINDWICK_UPDATE_GOLDEN") != nullptr;
    if (update) {
        JpegSpec recipe;
        recipe.width = 640;
        recipe.height = 480;
        recipe.quality = 10;
        WriteFile(jpeg_path, EncodeJpeg(recipe));
    }

    TempDir dir;
    std::string pdf = dir.file("out.pdf");
    pdf_document *document = NewDocument(pdf);
    PDF_set_parameter(document, "imagewarning", "false");
    int image = PDF_open_image_file(document, "jpeg", jpeg_path.c_str(), "", 0);
    ASSERT_EQ(image, 0);
    PDF_begin_page(document, 640, 480);
    PDF_place_image(document, image, 0, 0, 1);
    PDF_close_image(document, image);
    PDF_end_page(document);
    PDF_close(document);
    PDF_delete(document);
    EXPECT_TRUE(Log().reports.empty());

    std::string bytes = NormalizePdf(ReadFile(pdf));
    if (update)
        WriteFile(golden_path, bytes);
    EXPECT_EQ(bytes, ReadFile(golden_path));
    EXPECT_TRUE(QpdfCheck(pdf));
    EXPECT_NE(bytes.find("q\n640 0 0 480 0 0 cm\n/I0 Do\nQ\n"), std::string::npos);
}

}  // namespace
