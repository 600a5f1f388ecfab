// The information dictionary and the outline tree.
#include <gtest/gtest.h>

#include <string>

#include "core/document.h"
#include "core/info.h"
#include "core/outlines.h"
#include "folio_support.h"
#include "test_support.h"

using namespace foliotest;

namespace {

// The information dictionary, object 3, without its creation date.
std::string InfoDictionary(const std::string &pdf) {
    size_t start = pdf.find("\n3 0 obj\n<<") + 11;
    size_t end = pdf.find("/CreationDate", start);
    return pdf.substr(start, end - start);
}

TEST(Info, OnlyDateAndProducerWithoutSettings) {
    std::string pdf = BuildInMemory(1);
    EXPECT_EQ(InfoDictionary(pdf), "");
    EXPECT_NE(pdf.find("/Producer (Folio 4.0.3 \\(Linux\\))\n>>\nendobj\n"), std::string::npos);
}

TEST(Info, StandardKeysInFixedOrderCustomKeysNewestFirstAndOnce) {
    std::string pdf = BuildInMemory(1, [](pdf_document *d) {
        PDF_set_parameter(d, "binding", "C++");
        PDF_set_info(d, "Author", "A");
        PDF_set_info(d, "Title", "first");
        PDF_set_info(d, "Title", "second (2)\n");
        PDF_set_info(d, "Keywords", "k");
        PDF_set_info(d, "Trapped", "True");
        PDF_set_info(d, "Custom", "one");
        PDF_set_info(d, "Custom", "two");
        PDF_set_info(d, "Caf\xE9", "bytes");
        PDF_set_info(d, "Subject", "\xFE\xFF\x00S\x00\x00");
    });
    EXPECT_EQ(InfoDictionary(pdf),
              "/Keywords (k)\n" + std::string("/Subject (\xFE\xFF\x00S)\n", 16) +
                  std::string("/Title (second \\(2\\)\\n)\n"
                              "/Author (A)\n"
                              "/Caf#E9 (bytes)\n"
                              "/Custom (two)\n"
                              "/Trapped /True\n"));
    EXPECT_NE(pdf.find("/Producer (Folio 4.0.3 \\(C++/Linux\\))\n"), std::string::npos);
}

// Tabs, line ends and 8-bit bytes in a key are escaped as in any name, so
// that the dictionary stays well formed.
TEST(Info, ControlAndEightBitBytesInKeysAreEscaped) {
    testsupport::TempDir dir;
    std::string path = dir.file("keys.pdf");
    pdf_document *document = PDF_new();
    ASSERT_EQ(PDF_open_file(document, path.c_str()), 1);
    PDF_set_info(document, "Tab\tKey", "1");
    PDF_set_info(document, "Line\r\nEnd", "2");
    PDF_begin_page(document, 10, 10);
    PDF_end_page(document);
    PDF_close(document);
    PDF_delete(document);
    std::string info = InfoDictionary(testsupport::ReadFile(path));
    EXPECT_EQ(info, "/Line#0D#0AEnd (2)\n/Tab#09Key (1)\n");
    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(path, &report)) << report;
}

TEST(Info, RefusedKeysAndValues) {
    struct Row { const char *key; const char *value; int type; const char *message; };
    const Row rows[] = {
        {"", "x", PDF_ERR_NONFATAL, "Empty key or value in PDF_set_info"},
        {"Title", "", PDF_ERR_NONFATAL, "Empty key or value in PDF_set_info"},
        {"Producer", "x", PDF_ERR_NONFATAL, "Illegal info key 'Producer' (ignored)"},
        {"CreationDate", "x", PDF_ERR_NONFATAL, "Illegal info key 'CreationDate' (ignored)"},
        {"ModDate", "x", PDF_ERR_NONFATAL, "Illegal info key 'ModDate' (ignored)"},
        {"Trapped", "true", PDF_ERR_RUNTIME, "Bad value 'true' for Trapped info key"},
        {"My Key", "x", PDF_ERR_VALUE, "Illegal character in custom info key 'My Key'"},
        {"a#b", "x", PDF_ERR_VALUE, "Illegal character in custom info key 'a#b'"},
    };
    for (const Row &row : rows) {
        Recorder recorder;
        pdf_document *document = recorder.New();
        PDF_open_file(document, nullptr);
        bool returned = recorder.Call([&] { PDF_set_info(document, row.key, row.value); });
        EXPECT_EQ(returned, row.type == PDF_ERR_NONFATAL) << row.key;
        ASSERT_EQ(recorder.reports.size(), 1u) << row.key;
        EXPECT_EQ(recorder.Last().type, row.type);
        EXPECT_EQ(recorder.Last().message, row.message);
        PDF_close(document);
        PDF_delete(document);
    }
}

TEST(Info, NullValueIsIgnoredWithAWarning) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    PDF_open_file(document, nullptr);
    PDF_set_info(document, "Title", nullptr);
    PDF_set_info(document, nullptr, "x");
    EXPECT_EQ(recorder.reports.size(), 2u);
    PDF_begin_page(document, 10, 10);
    PDF_end_page(document);
    PDF_close(document);
    EXPECT_EQ(InfoDictionary(TakeBuffer(document)), "");
    PDF_delete(document);
}

TEST(Outlines, NestedOpenAndClosedBookmarks) {
    std::string pdf = BuildInMemory(2, {}, [](pdf_document *d, int page) {
        if (page == 1) {
            int chapter = PDF_add_bookmark(d, "Chapter", 0, 0);
            PDF_add_bookmark(d, "Section 1", chapter, 1);
            PDF_add_bookmark(d, "Section 2", chapter, 1);
        } else {
            int open = PDF_add_bookmark(d, "Open", 0, 1);
            PDF_add_bookmark(d, "Child", open, 0);
        }
    });
    EXPECT_NE(pdf.find("/PageMode/UseOutlines\n"), std::string::npos);
    EXPECT_NE(pdf.find("/Count -2\n"), std::string::npos);  // closed chapter
    EXPECT_NE(pdf.find("/Title(Section 2)\n"), std::string::npos);
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("outline.pdf"), pdf);
    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("outline.pdf"), &report)) << report;
    testsupport::CommandResult outline =
        testsupport::RunCommand("qpdf --json --json-key=outlines " + dir.file("outline.pdf"));
    EXPECT_NE(outline.output.find("\"title\": \"Section 1\""), std::string::npos) << outline.output;
}

TEST(Outlines, RootCountsOnlyTopLevelAndOpenModeSetFirstWins) {
    std::string pdf = BuildInMemory(1, [](pdf_document *d) { PDF_set_parameter(d, "openmode", "none"); },
                                    [](pdf_document *d, int) {
                                        int a = PDF_add_bookmark(d, "A", 0, 1);
                                        PDF_add_bookmark(d, "A1", a, 1);
                                        PDF_add_bookmark(d, "B", 0, 1);
                                    });
    EXPECT_EQ(pdf.find("/PageMode"), std::string::npos);
    size_t root = pdf.find("<</Count 2\n/First");
    EXPECT_NE(root, std::string::npos);
}

TEST(Outlines, BadTextAndParents) {
    struct Row { const char *text; int parent; const char *message; };
    const Row rows[] = {
        {"", 0, "Null bookmark text"},
        {"x", 3, "Bad parent id 3 for subordinate bookmark"},
        {"x", -1, "Bad parent id -1 for subordinate bookmark"},
    };
    for (const Row &row : rows) {
        Recorder recorder;
        pdf_document *document = recorder.New();
        PDF_open_file(document, nullptr);
        PDF_begin_page(document, 10, 10);
        EXPECT_EQ(PDF_add_bookmark(document, "first", 0, 1), 1);
        EXPECT_EQ(PDF_add_bookmark(document, "child of the latest", 1, 1), 2);
        EXPECT_FALSE(recorder.Call([&] { PDF_add_bookmark(document, row.text, row.parent, 1); }));
        EXPECT_EQ(recorder.Last().type, PDF_ERR_VALUE);
        EXPECT_EQ(recorder.Last().message, row.message);
        PDF_close(document);
        PDF_delete(document);
    }
}

TEST(Outlines, TableGrowsPastTwoHundredFiftySix) {
    std::string pdf = BuildInMemory(1, {}, [](pdf_document *d, int) {
        for (int i = 1; i <= 600; i++)
            ASSERT_EQ(PDF_add_bookmark(d, ("b" + std::to_string(i)).c_str(), i > 1 ? i - 1 : 0, 1), i);
    });
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("deep.pdf"), pdf);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("deep.pdf")));
}

}  // namespace

namespace {

TEST(Outlines, UnknownDestinationFormIsASystemError) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    PDF_open_file(document, nullptr);
    PDF_begin_page(document, 10, 10);
    PDF_add_bookmark(document, "x", 0, 1);
    PDF_end_page(document);
    document->outline_entries[1].dest_type = 9;
    EXPECT_FALSE(recorder.Call([&] { PDF_close(document); }));
    EXPECT_EQ(recorder.Last().type, PDF_ERR_SYSTEM);
    EXPECT_EQ(recorder.Last().message, "Unknown outline destination type");
    PDF_close(document);
    PDF_delete(document);
}

}  // namespace
