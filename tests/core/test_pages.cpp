// Pages, the page tree and the file structure, judged by qpdf and pdfinfo.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>

#include "core/document.h"
#include "core/objects.h"
#include "core/output.h"
#include "folio_support.h"
#include "test_support.h"

using namespace foliotest;

using testsupport::PdfInfoField;
using testsupport::QpdfCheck;
using testsupport::TempDir;

namespace {

// The dictionary of object `id` as written.
std::string ObjectText(const std::string &pdf, long id) {
    std::string head = "\n" + std::to_string(id) + " 0 obj\n";
    size_t start = pdf.find(head);
    if (start == std::string::npos) return "";
    size_t end = pdf.find("endobj\n", start);
    return pdf.substr(start + head.size(), end - start - head.size());
}

// The object number of the page tree's root, as the catalog names it.
long PagesRoot(const std::string &pdf) {
    std::string catalog = ObjectText(pdf, 2);
    std::smatch match;
    if (!std::regex_search(catalog, match, std::regex("/Pages (\\d+) 0 R"))) return 0;
    return std::stol(match[1]);
}

class PageTree : public testing::TestWithParam<int> {};

TEST_P(PageTree, IsValidAndCountsEveryPage) {
    int pages = GetParam();
    TempDir dir;
    std::string path = dir.file("tree.pdf");
    testsupport::WriteFile(path, BuildInMemory(pages, {}, [](pdf_document *d, int i) {
                               PDF_set_value(d, "pagewidth", 100 + i % 7);
                           }));
    std::string report;
    EXPECT_TRUE(QpdfCheck(path, &report)) << report;
    EXPECT_EQ(PdfInfoField(path, "Pages"), std::to_string(pages));
    EXPECT_EQ(PdfInfoField(path, "Page size", pages).rfind(std::to_string(100 + pages % 7) + " x 100 pts", 0), 0u)
        << PdfInfoField(path, "Page size", pages);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PageTree, testing::Values(1, 10, 11, 100, 101, 1000, 1001));

TEST(PageTreeShape, TenPagesFitTheFirstLeaf) {
    std::string pdf = BuildInMemory(10);
    std::string root = ObjectText(pdf, 1);
    EXPECT_NE(root.find("/Count 10\n"), std::string::npos);
    EXPECT_EQ(root.find("/Parent"), std::string::npos);
    EXPECT_NE(ObjectText(pdf, 2).find("/Pages 1 0 R\n"), std::string::npos);
}

TEST(PageTreeShape, ElevenPagesGetARootOverTwoLeaves) {
    std::string pdf = BuildInMemory(11);
    long root_id = PagesRoot(pdf);
    std::string root = ObjectText(pdf, root_id);
    EXPECT_NE(root.find("/Count 11\n"), std::string::npos);
    EXPECT_NE(root.find("/Kids[1 0 R\n"), std::string::npos);
    EXPECT_NE(ObjectText(pdf, 1).find("/Parent " + std::to_string(root_id) + " 0 R"), std::string::npos);
}

TEST(PageTreeShape, HundredAndOnePagesGroupAHundredUnderOneNode) {
    std::string pdf = BuildInMemory(101);
    std::string root = ObjectText(pdf, PagesRoot(pdf));
    EXPECT_NE(root.find("/Count 101\n"), std::string::npos);
    std::smatch kids;
    std::string root_copy = root;
    ASSERT_TRUE(std::regex_search(root_copy, kids, std::regex("/Kids\\[(\\d+) 0 R\n(\\d+) 0 R\n\\]")));
    EXPECT_NE(ObjectText(pdf, std::stol(kids[1])).find("/Count 100\n"), std::string::npos);
    EXPECT_NE(ObjectText(pdf, std::stol(kids[2])).find("/Count 1\n"), std::string::npos);
}

TEST(Pages, SizeLimitsDependOnCompatibility) {
    struct Row { const char *level; float size; int type; const char *message; };
    const Row rows[] = {
        {"1.3", 14400, 0, ""},
        {"1.3", 3, 0, ""},
        {"1.3", 14401, PDF_ERR_NONFATAL, "Page size incompatible with Acrobat 4"},
        {"1.4", 2.5f, PDF_ERR_NONFATAL, "Page size incompatible with Acrobat 4"},
        {"1.2", 72, 0, ""},
        {"1.2", 3240, 0, ""},
        {"1.2", 71, PDF_ERR_RUNTIME, "Page size incompatible with Acrobat 3"},
        {"1.3", 0, PDF_ERR_VALUE, "Page size must be positive"},
        {"1.3", -5, PDF_ERR_VALUE, "Page size must be positive"},
        {"1.3", NAN, PDF_ERR_VALUE, "Argument 1 of PDF_begin_page is not a number (NaN)"},
    };
    for (const Row &row : rows) {
        Recorder recorder;
        pdf_document *document = recorder.New();
        PDF_set_parameter(document, "compatibility", row.level);
        PDF_open_file(document, nullptr);
        bool finished = recorder.Call([&] { PDF_begin_page(document, row.size, 100); });
        if (row.type == 0) {
            EXPECT_TRUE(recorder.reports.empty()) << row.size;
        } else {
            ASSERT_FALSE(recorder.reports.empty()) << row.size;
            EXPECT_EQ(recorder.Last().type, row.type);
            EXPECT_EQ(recorder.Last().message, row.message);
            EXPECT_EQ(finished, row.type == PDF_ERR_NONFATAL);
        }
        PDF_close(document);
        PDF_delete(document);
    }
}

TEST(Pages, BoxesTransitionsAndDurationAreWrittenWhenSet) {
    std::string pdf = BuildInMemory(1, [](pdf_document *d) {
        PDF_set_parameter(d, "transition", "split");
        PDF_set_value(d, "duration", 2.5f);
    }, [](pdf_document *d, int) {
        PDF_set_value(d, "CropBox/llx", 10);
        PDF_set_value(d, "CropBox/lly", 20);
        PDF_set_value(d, "CropBox/urx", 190);
        PDF_set_value(d, "CropBox/ury", 90);
        PDF_set_value(d, "ArtBox/urx", 5);
        PDF_set_value(d, "ArtBox/ury", 5.5f);
    });
    EXPECT_NE(pdf.find("/MediaBox[0 0 200 100]\n/CropBox[10 20 190 90]\n/ArtBox[0 0 5 5.5]\n"
                       "/Dur 2.5\n/Trans<</S/Split>>\n/Contents["),
              std::string::npos);
    EXPECT_EQ(pdf.find("/BleedBox"), std::string::npos);
}

TEST(Pages, IllegalBoxesAreValueErrors) {
    const char *boxes[] = {"CropBox", "BleedBox", "TrimBox", "ArtBox"};
    for (const char *box : boxes) {
        Recorder recorder;
        pdf_document *document = recorder.New();
        PDF_open_file(document, nullptr);
        PDF_begin_page(document, 100, 100);
        PDF_set_value(document, (std::string(box) + "/llx").c_str(), 50);
        PDF_set_value(document, (std::string(box) + "/urx").c_str(), 50);
        PDF_set_value(document, (std::string(box) + "/ury").c_str(), 60);
        EXPECT_FALSE(recorder.Call([&] { PDF_end_page(document); }));
        EXPECT_EQ(recorder.Last().type, PDF_ERR_VALUE);
        EXPECT_EQ(recorder.Last().message, std::string("Illegal ") + box + " dimensions");
        PDF_close(document);
        PDF_delete(document);
    }
}

TEST(Pages, CompressionChangeInAPageStartsANewContentStream) {
    std::string pdf = BuildInMemory(1, {}, [](pdf_document *d, int) {
        pdf_puts(d, "0 0 m\n");
        PDF_set_value(d, "compress", 0);
        pdf_puts(d, "1 1 l\n");
    });
    EXPECT_NE(pdf.find("/Contents[5 0 R 7 0 R ]\n"), std::string::npos);
    EXPECT_NE(ObjectText(pdf, 7).find("<</Length 8 0 R\n>>\nstream\n1 1 l\nendstream"),
              std::string::npos);
    EXPECT_NE(ObjectText(pdf, 8).find("6\n"), std::string::npos);
}

TEST(Pages, EmptyDocumentAndUnmatchedSaveAreRuntimeErrors) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    PDF_open_file(document, nullptr);
    EXPECT_FALSE(recorder.Call([&] { PDF_close(document); }));
    EXPECT_EQ(recorder.Last().type, PDF_ERR_RUNTIME);
    EXPECT_EQ(recorder.Last().message, "Empty document");
    PDF_close(document);
    PDF_delete(document);

    Recorder second;
    document = second.New();
    PDF_open_file(document, nullptr);
    PDF_begin_page(document, 100, 100);
    PDF_save(document);
    EXPECT_FALSE(second.Call([&] { PDF_end_page(document); }));
    EXPECT_EQ(second.Last().message, "Unmatched save level at end of page");
    PDF_close(document);
    PDF_delete(document);
}

TEST(FileStructure, UnusedObjectsAreRepairedWithAWarning) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    PDF_open_file(document, nullptr);
    PDF_begin_page(document, 100, 100);
    pdf_id spare = pdf_alloc_id(document);
    PDF_end_page(document);
    PDF_close(document);
    std::string pdf = TakeBuffer(document);
    PDF_delete(document);
    EXPECT_TRUE(recorder.Saw(PDF_ERR_NONFATAL,
                             "Object " + std::to_string(spare) + " allocated but not used"));
    EXPECT_NE(pdf.find("\n" + std::to_string(spare) + " 0 obj\nnull\nendobj\n"), std::string::npos);
    TempDir dir;
    testsupport::WriteFile(dir.file("spare.pdf"), pdf);
    EXPECT_TRUE(QpdfCheck(dir.file("spare.pdf")));
}

TEST(FileStructure, OnePageLayoutAndTrailer) {
    std::string pdf = BuildInMemory(1);
    EXPECT_NE(ObjectText(pdf, 1).find("/Count 1\n"), std::string::npos);
    EXPECT_NE(pdf.find("xref\n0 8\n0000000000 65535 f \n"), std::string::npos);
    std::smatch id;
    ASSERT_TRUE(std::regex_search(pdf, id, std::regex("/ID\\[<([0-9A-F]{32})><([0-9A-F]{32})>\\]\n")));
    EXPECT_EQ(id[1], id[2]);
    // The content length object holds the stream's byte count.
    std::string content = ObjectText(pdf, 5);
    size_t start = content.find("stream\n") + 7;
    size_t length = content.find("endstream") - start;
    EXPECT_EQ(ObjectText(pdf, 6), std::to_string(length) + "\n");
}

TEST(FileStructure, FileNameEntersTheIdentifier) {
    TempDir dir;
    auto id_of = [&](const std::string &name) {
        pdf_document *document = PDF_new();
        PDF_open_file(document, dir.file(name).c_str());
        PDF_begin_page(document, 100, 100);
        PDF_end_page(document);
        PDF_close(document);
        PDF_delete(document);
        std::string pdf = testsupport::ReadFile(dir.file(name));
        return pdf.substr(pdf.find("/ID[<"), 72);
    };
    EXPECT_NE(id_of("a.pdf"), id_of("b.pdf"));
}

TEST(FileStructure, OneObjectWritesSeveralDocumentsInTurn) {
    pdf_document *document = PDF_new();
    std::string first, second;
    for (std::string *out : {&first, &second}) {
        PDF_open_file(document, nullptr);
        PDF_begin_page(document, 100, 100);
        PDF_end_page(document);
        PDF_close(document);
        *out = TakeBuffer(document);
    }
    PDF_delete(document);
    EXPECT_EQ(testsupport::NormalizePdf(first), testsupport::NormalizePdf(second));
}

}  // namespace
