// Annotations: the exact objects of notes, each kind of link and
// destination, border settings and attachments; links ahead to later pages
// and to pages never written; every error with its type (an attachment that
// cannot be read among them: the ASan run sees that its document is
// deleted without leaks).
#include <cmath>
#include <string>

#include "folio_support.h"
#include "test_support.h"

using namespace foliotest;

namespace {

struct ObjectRow {
    const char *label;
    Draw draw;
    std::string object;  // annotation object 8, the only one of the page
};

// On a page of its own a single annotation gets object 8: the page is 4,
// its content 5 and 6, its resources 7.
TEST(Annotations, ExactObjects)
{
    const std::string link = "<</Type/Annot\n/Subtype/Link\n/Rect[0 0 1 1]\n";
    const std::string file_spec = "/F<</Type/Filespec\n/F(other.pdf)\n>>\n>>\n>>\nendobj\n";
    const ObjectRow rows[] = {
        {"note with an icon, open", [](pdf_document *d) { PDF_add_note(d, 10, 20, 30, 40, "Hello", "Title", "comment", 1); }, "<</Type/Annot\n/Subtype/Text\n/Rect[10 20 30 40]\n/Open true\n/Name/Comment\n/Contents(Hello)\n/T(Title)\n>>\nendobj\n"},
        {"plain note", [](pdf_document *d) { PDF_add_note(d, 0, 0, 1, 1, nullptr, nullptr, "", 0); }, "<</Type/Annot\n/Subtype/Text\n/Rect[0 0 1 1]\n/Contents()\n>>\nendobj\n"},
        {"local, retain", [](pdf_document *d) { PDF_add_locallink(d, 0, 0, 1, 1, 1, "retain"); }, link + "/Dest[4 0 R/XYZ null null 0]\n>>\nendobj\n"},
        {"local, default", [](pdf_document *d) { PDF_add_locallink(d, 0, 0, 1, 1, 1, nullptr); }, link + "/Dest[4 0 R/Fit]\n>>\nendobj\n"},
        {"local, fitwidth", [](pdf_document *d) { PDF_add_locallink(d, 0, 0, 1, 1, 1, "fitwidth"); }, link + "/Dest[4 0 R/FitH 0]\n>>\nendobj\n"},
        {"local, fitheight", [](pdf_document *d) { PDF_add_locallink(d, 0, 0, 1, 1, 1, "fitheight"); }, link + "/Dest[4 0 R/FitV 0]\n>>\nendobj\n"},
        {"local, fitbbox", [](pdf_document *d) { PDF_add_locallink(d, 0, 0, 1, 1, 1, "fitbbox"); }, link + "/Dest[4 0 R/FitB]\n>>\nendobj\n"},
        {"other file, default", [](pdf_document *d) { PDF_add_pdflink(d, 0, 0, 1, 1, "other.pdf", 1, nullptr); }, link + "/A<</Type/Action/S/GoToR\n/D[0/Fit]\n" + file_spec},
        {"other file, retain", [](pdf_document *d) { PDF_add_pdflink(d, 0, 0, 1, 1, "other.pdf", 2, "retain"); }, link + "/A<</Type/Action/S/GoToR\n/D[1/XYZ null null 0]\n" + file_spec},
        {"other file, fitwidth", [](pdf_document *d) { PDF_add_pdflink(d, 0, 0, 1, 1, "other.pdf", 3, "fitwidth"); }, link + "/A<</Type/Action/S/GoToR\n/D[2/FitH 2000]\n" + file_spec},
        {"other file, fitheight", [](pdf_document *d) { PDF_add_pdflink(d, 0, 0, 1, 1, "other.pdf", 1, "fitheight"); }, link + "/A<</Type/Action/S/GoToR\n/D[0/FitV 0]\n" + file_spec},
        {"other file, fitbbox", [](pdf_document *d) { PDF_add_pdflink(d, 0, 0, 1, 1, "other.pdf", 1, "fitbbox"); }, link + "/A<</Type/Action/S/GoToR\n/D[0/FitB]\n" + file_spec},
        {"web", [](pdf_document *d) { PDF_add_weblink(d, 0, 0, 1, 1, "http://localhost/a(b)"); }, link + "/A<</S/URI/URI(http://localhost/a\\(b\\))>>\n>>\nendobj\n"},
        {"launch", [](pdf_document *d) { PDF_add_launchlink(d, 0, 0, 1, 1, "other.pdf"); }, link + "/A<</Type/Action/S/Launch\n" + file_spec},
    };
    for (const ObjectRow &row : rows) {
        Drawn drawn = DrawPage(row.draw);
        ASSERT_TRUE(drawn.finished) << row.label;
        EXPECT_EQ(CountOf(drawn.pdf, "/Annots[8 0 R ]\n>>\nendobj\n8 0 obj\n" + row.object + "7 0 obj\n"), 1)
            << row.label << "\n" << drawn.pdf;
    }
}

// Border settings reach only the annotations added after them; the
// attachment shows only the colour.
TEST(Annotations, BorderSettingsApplyToLaterAnnotations)
{
    testsupport::TempDir dir;
    const std::string file = dir.file("a.txt");
    testsupport::WriteFile(file, "a");
    Drawn drawn = DrawPage(
        [&](pdf_document *d) {
            PDF_add_weblink(d, 0, 0, 1, 1, "http://localhost/");
            PDF_set_border_style(d, "dashed", 2);
            PDF_set_border_dash(d, 4, 2);
            PDF_add_weblink(d, 0, 0, 1, 1, "http://localhost/");
            PDF_attach_file(d, 0, 0, 1, 1, file.c_str(), nullptr, nullptr, nullptr, nullptr);
        },
        [](pdf_document *d) { PDF_set_border_color(d, 1, 0, 0); });
    ASSERT_TRUE(drawn.finished);
    EXPECT_EQ(CountOf(drawn.pdf, "8 0 obj\n<</Type/Annot\n/Subtype/Link\n/Rect[0 0 1 1]\n"
                                 "/BS<</Type/Border\n>>\n/Border[0 0 1]\n/C[1 0 0]\n/A"),
              1);
    EXPECT_EQ(CountOf(drawn.pdf, "9 0 obj\n<</Type/Annot\n/Subtype/Link\n/Rect[0 0 1 1]\n"
                                 "/BS<</Type/Border\n/S/D\n/D[4 2]\n>>\n/Border[0 0 2[4 2]]\n/C[1 0 0]\n/A"),
              1);
    EXPECT_EQ(CountOf(drawn.pdf, "/Subtype/FileAttachment\n/Rect[0 0 1 1]\n/C[1 0 0]\n/F 28\n"), 1);
    EXPECT_EQ(CountOf(drawn.pdf, "/Annots[8 0 R 9 0 R 10 0 R ]\n"), 1);
}

// The annotation names the embedded file, whose stream holds the bytes with
// their MIME type as a name.
TEST(Annotations, AttachmentObjects)
{
    testsupport::TempDir dir;
    const std::string file = dir.file("digits.txt");
    testsupport::WriteFile(file, "0123456789");
    Drawn drawn = DrawPage([&](pdf_document *d) {
        PDF_attach_file(d, 0, 0, 10, 10, file.c_str(), "Digits", "Me", "text/plain", "paperclip");
    });
    ASSERT_TRUE(drawn.finished);
    EXPECT_EQ(CountOf(drawn.pdf, "8 0 obj\n<</Type/Annot\n/Subtype/FileAttachment\n/Rect[0 0 10 10]\n"
                                 "/Name/Paperclip\n/T(Me)\n/Contents(Digits)\n/F 28\n"
                                 "/FS<</Type/Filespec\n/F(" + file + ")\n/EF<</F 9 0 R>>\n>>\n>>\n"
                                 "endobj\n9 0 obj\n<</Type/EmbeddedFile\n/Subtype/text#2Fplain\n"
                                 "/Length 10 0 R\n>>\nstream\n0123456789endstream\nendobj\n"
                                 "10 0 obj\n10\nendobj\n7 0 obj\n"),
              1);
}

// A compressed attachment of every byte value comes back unchanged through
// qpdf, in a file qpdf finds sound.
TEST(Annotations, AttachmentExtractedByAnotherTool)
{
    testsupport::TempDir dir;
    std::string bytes;
    for (int i = 0; i < 70000; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
    testsupport::WriteFile(dir.file("data.bin"), bytes);
    const std::string pdf = dir.file("attached.pdf");
    Doc doc;
    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, pdf.c_str()), 1);
    PDF_begin_page(doc.pdf, 100, 100);
    PDF_attach_file(doc.pdf, 0, 0, 10, 10, dir.file("data.bin").c_str(), nullptr, nullptr,
                    "application/octet-stream", "tag");
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);

    const std::string written = testsupport::ReadFile(pdf);
    EXPECT_EQ(CountOf(written, "/Subtype/application#2Foctet-stream\n/Filter/FlateDecode\n"), 1);
    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(pdf, &report)) << report;
    size_t ef = written.find("/EF<</F ");
    ASSERT_NE(ef, std::string::npos);
    int status = -1;
    EXPECT_EQ(QpdfStreamData(pdf, std::stol(written.substr(ef + 8)), &status), bytes);
    EXPECT_EQ(status, 0);
}

// A link to a page not yet written reserves that page's object number,
// which the page then bears.
TEST(Annotations, LinkAheadReservesThePage)
{
    std::string pdf = BuildInMemory(3, {}, [](pdf_document *d, int page) {
        if (page == 1) PDF_add_locallink(d, 0, 0, 1, 1, 3, nullptr);
    });
    EXPECT_EQ(CountOf(pdf, "/Dest[9 0 R/Fit]\n"), 1);
    EXPECT_EQ(CountOf(pdf, "\n9 0 obj\n<</Type/Page\n"), 1);
}

// A link to a page that is never written points to a null object, and the
// warning names the page: the file stays valid.
TEST(Annotations, LinkToAPageNeverWritten)
{
    Drawn drawn = DrawPage([](pdf_document *d) { PDF_add_locallink(d, 0, 0, 1, 1, 5, nullptr); });
    ASSERT_TRUE(drawn.finished);  // DrawPage checks the file with qpdf
    EXPECT_EQ(CountOf(drawn.pdf, "/Dest[9 0 R/Fit]\n"), 1);
    EXPECT_EQ(CountOf(drawn.pdf, "\n9 0 obj\nnull\nendobj\n"), 1);
    std::vector<Report> warnings;
    for (const Report &report : drawn.reports)
        if (report.type == PDF_ERR_NONFATAL) warnings.push_back(report);
    EXPECT_EQ(warnings, (std::vector<Report>{{PDF_ERR_NONFATAL, "Link to page 5, which was never written"}}));
}

struct ErrorRow {
    const char *label;
    Draw draw;  // runs on a page
    int type;
    const char *message;
};

TEST(Annotations, Errors)
{
    const int V = PDF_ERR_VALUE;
    const ErrorRow rows[] = {
        {"note between pages", [](pdf_document *d) { PDF_end_page(d); PDF_add_note(d, 0, 0, 1, 1, "", "", "", 0); }, PDF_ERR_RUNTIME, "function 'PDF_add_note' must not be called in 'document' scope"},
        {"border on a template", [](pdf_document *d) { PDF_end_page(d); PDF_begin_template(d, 1, 1); PDF_set_border_color(d, 0, 0, 0); }, PDF_ERR_RUNTIME, "function 'PDF_set_border_color' must not be called in 'template' scope"},
        {"note icon in capitals", [](pdf_document *d) { PDF_add_note(d, 0, 0, 1, 1, "", "", "Comment", 0); }, V, "Unknown icon type 'Comment' for text note"},
        {"local link to page 0", [](pdf_document *d) { PDF_add_locallink(d, 0, 0, 1, 1, 0, nullptr); }, V, "Bad page number 0 in PDF_add_locallink"},
        {"local link to page -3", [](pdf_document *d) { PDF_add_locallink(d, 0, 0, 1, 1, -3, nullptr); }, V, "Bad page number -3 in PDF_add_locallink"},
        {"local destination", [](pdf_document *d) { PDF_add_locallink(d, 0, 0, 1, 1, 1, "fit"); }, V, "Unknown destination type 'fit' in PDF_add_locallink"},
        {"file link without a file", [](pdf_document *d) { PDF_add_pdflink(d, 0, 0, 1, 1, nullptr, 1, nullptr); }, V, "NULL filename in PDF_add_pdflink"},
        {"file link destination", [](pdf_document *d) { PDF_add_pdflink(d, 0, 0, 1, 1, "a.pdf", 1, "Fit"); }, V, "Unknown destination type 'Fit' in PDF_add_pdflink"},
        {"empty URL", [](pdf_document *d) { PDF_add_weblink(d, 0, 0, 1, 1, ""); }, V, "NULL URL in PDF_add_weblink"},
        {"launch without a file", [](pdf_document *d) { PDF_add_launchlink(d, 0, 0, 1, 1, nullptr); }, V, "NULL filename in PDF_add_launchlink"},
        {"attachment without a file", [](pdf_document *d) { PDF_attach_file(d, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr, nullptr); }, V, "Empty file name for file attachment"},
        {"attachment with a note icon", [](pdf_document *d) { PDF_attach_file(d, 0, 0, 1, 1, "a", nullptr, nullptr, nullptr, "note"); }, V, "Unknown icon type 'note'for embedded file"},
        {"border style", [](pdf_document *d) { PDF_set_border_style(d, "dotted", 1); }, V, "Unknown annotation border style 'dotted'"},
        {"border width", [](pdf_document *d) { PDF_set_border_style(d, nullptr, -1); }, V, "Negative annotation border width -1.000000"},
        {"border red", [](pdf_document *d) { PDF_set_border_color(d, -0.5f, 0, 0); }, V, "Bogus red color value -0.500000 for annotation border"},
        {"border green", [](pdf_document *d) { PDF_set_border_color(d, 0, 2, 0); }, V, "Bogus green color value 2.000000 for annotation border"},
        {"border blue", [](pdf_document *d) { PDF_set_border_color(d, 0, 0, 1.5f); }, V, "Bogus blue color value 1.500000 for annotation border"},
        {"border dash", [](pdf_document *d) { PDF_set_border_dash(d, -1, 0); }, V, "Negative first annotation border dash value -1.000000"},
        {"border gap", [](pdf_document *d) { PDF_set_border_dash(d, 0, -1); }, V, "Negative second annotation border dash value -1.000000"},
        {"NaN rectangle", [](pdf_document *d) { PDF_add_weblink(d, 0, NAN, 1, 1, "u"); }, V, "Argument 2 of PDF_add_weblink is not a number (NaN)"},
        {"attachment unreadable at page end", [](pdf_document *d) { PDF_attach_file(d, 0, 0, 1, 1, "/nonexistent/a.txt", nullptr, nullptr, nullptr, nullptr); PDF_end_page(d); }, PDF_ERR_IO, "Couldn't open file '/nonexistent/a.txt'"},
    };
    for (const ErrorRow &row : rows) {
        Drawn drawn = DrawPage(row.draw);
        ASSERT_FALSE(drawn.reports.empty()) << row.label;
        EXPECT_EQ(drawn.reports.back(), (Report{row.type, row.message})) << row.label;
        EXPECT_FALSE(drawn.finished) << row.label;
    }

    const std::pair<Draw, const char *> old_version_rows[] = {
        {[](pdf_document *d) { PDF_add_note(d, 0, 0, 1, 1, "", "", "key", 0); }, "Note icons are not supported in PDF 1.2"},
        {[](pdf_document *d) { PDF_attach_file(d, 0, 0, 1, 1, "a", "", "", "", ""); }, "File attachments are not supported in PDF 1.2"},
    };
    for (const auto &[draw, message] : old_version_rows) {
        Doc doc;
        PDF_set_parameter(doc.pdf, "compatibility", "1.2");
        PDF_open_file(doc.pdf, nullptr);
        PDF_begin_page(doc.pdf, 100, 100);
        EXPECT_PDF_ERROR(doc, draw(doc.pdf), PDF_ERR_RUNTIME, message);
    }
}

}  // namespace
