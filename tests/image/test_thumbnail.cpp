// Page thumbnails: an open image named by the page under /Thumb.
#include <string>
#include <vector>

#include "folio_support.h"

using namespace foliotest;
using testsupport::ReadFile;

namespace {

int OpenRaw(Doc &doc, int width, int height, int components)
{
    std::vector<char> data(static_cast<size_t>(width) * height * components, 0x33);
    return PDF_open_image(doc.pdf, "raw", "memory", data.data(), static_cast<long>(data.size()),
                          width, height, components, 8, "");
}

TEST(Thumbnail, PageRefersToTheImageXObject)
{
    testsupport::TempDir dir;
    std::string path = dir.file("thumb.pdf");
    Doc doc;
    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, path.c_str()), 1);
    int picture = OpenRaw(doc, 300, 200, 3);
    int thumb = OpenRaw(doc, 106, 106, 3);
    PDF_begin_page(doc.pdf, 300, 200);
    PDF_place_image(doc.pdf, picture, 0, 0, 1);
    PDF_add_thumbnail(doc.pdf, thumb);
    PDF_end_page(doc.pdf);
    PDF_begin_page(doc.pdf, 300, 200);  // the next page starts without one
    PDF_add_thumbnail(doc.pdf, thumb);
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);

    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(path, &report)) << report;
    std::string pdf = ReadFile(path);
    size_t second_image = pdf.find("/Subtype/Image", pdf.find("/Subtype/Image") + 1);
    long thumb_object = ObjectNumberAt(pdf, second_image);
    EXPECT_EQ(CountOf(pdf, "/Thumb " + std::to_string(thumb_object) + " 0 R\n"), 2);
    testsupport::CommandResult shown = testsupport::RunCommand(
        "qpdf --show-object=" + std::to_string(thumb_object) + " " + testsupport::ShellQuote(path));
    EXPECT_NE(shown.output.find("/Subtype /Image"), std::string::npos) << shown.output;
}

TEST(Thumbnail, RefusesWhatCannotBeAThumbnail)
{
    struct Case {
        const char *label;
        int width, height, components;
        bool twice;
        int type;
        const char *message;
    };
    const Case cases[] = {
        {"too_wide", 107, 10, 3, false, PDF_ERR_VALUE, "Thumbnail image larger than 106 pixels"},
        {"too_high", 10, 107, 1, false, PDF_ERR_VALUE, "Thumbnail image larger than 106 pixels"},
        {"cmyk", 10, 10, 4, false, PDF_ERR_RUNTIME, "Unsupported color space in thumbnail image"},
        {"second", 10, 10, 1, true, PDF_ERR_RUNTIME,
         "More than one thumbnail for this page (PDF_add_thumbnail)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        testsupport::TempDir dir;
        Doc doc;
        PDF_GUARD(doc);
        ASSERT_EQ(PDF_open_file(doc.pdf, dir.file("t.pdf").c_str()), 1);
        int image = OpenRaw(doc, c.width, c.height, c.components);
        PDF_begin_page(doc.pdf, 100, 100);
        if (c.twice) PDF_add_thumbnail(doc.pdf, image);
        EXPECT_PDF_ERROR(doc, PDF_add_thumbnail(doc.pdf, image), c.type, c.message);
    }

    testsupport::TempDir dir;
    Doc doc;
    ASSERT_EQ(PDF_open_file(doc.pdf, dir.file("t.pdf").c_str()), 1);
    PDF_begin_page(doc.pdf, 100, 100);
    EXPECT_PDF_ERROR(doc, PDF_add_thumbnail(doc.pdf, 0), PDF_ERR_VALUE,
                     "Bad image number 0 in PDF_add_thumbnail");
}

}  // namespace
