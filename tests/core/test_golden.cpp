// Exact bytes of small documents, compared with golden files after the
// creation date and the file identifier are blanked. Set
// BINDWICK_UPDATE_GOLDEN=1 to rewrite the golden files after a deliberate
// change of the output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "folio_support.h"
#include "test_support.h"

using namespace foliotest;

using testsupport::GoldenDir;
using testsupport::NormalizePdf;

namespace {

struct GoldenCase {
    const char *name;
    std::function<std::string()> build;
};

void CompareWithGolden(const std::string &name, const std::string &pdf) {
    std::string path = GoldenDir() + "/" + name + ".pdf";
    std::string normalized = NormalizePdf(pdf);
    if (std::getenv("BINDWICK_UPDATE_GOLDEN") != nullptr) testsupport::WriteFile(path, normalized);
    EXPECT_EQ(normalized, testsupport::ReadFile(path)) << name;
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("doc.pdf"), pdf);
    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("doc.pdf"), &report)) << name << report;
}

std::string Pages(int count, int compression) {
    return BuildInMemory(count, [=](pdf_document *d) {
        PDF_set_value(d, "compress", static_cast<float>(compression));
    }, [](pdf_document *d, int page) {
        // A little content so that the stream filter matters.
        PDF_set_value(d, "pagewidth", 100.0f + page);
    });
}

const GoldenCase kCases[] = {
    {"core_one_page_plain", [] { return Pages(1, 0); }},
    {"core_one_page_deflated", [] { return Pages(1, 6); }},
    {"core_eleven_pages", [] { return Pages(11, 0); }},
    {"core_boxes_transition_duration", [] {
         return BuildInMemory(2, [](pdf_document *d) {
             PDF_set_value(d, "compress", 0);
             PDF_set_parameter(d, "transition", "dissolve");
             PDF_set_value(d, "duration", 1.5f);
         }, [](pdf_document *d, int page) {
             PDF_set_value(d, "CropBox/llx", 10);
             PDF_set_value(d, "CropBox/lly", 10);
             PDF_set_value(d, "CropBox/urx", 190);
             PDF_set_value(d, "CropBox/ury", 90);
             PDF_set_value(d, "BleedBox/urx", 199.5f);
             PDF_set_value(d, "BleedBox/ury", 99.25f);
             PDF_set_value(d, "TrimBox/llx", 1);
             PDF_set_value(d, "TrimBox/lly", 1);
             PDF_set_value(d, "TrimBox/urx", 198);
             PDF_set_value(d, "TrimBox/ury", 98);
             if (page == 2) PDF_set_parameter(d, "transition", "replace");
         });
     }},
    {"core_info", [] {
         return BuildInMemory(1, [](pdf_document *d) {
             PDF_set_value(d, "compress", 0);
             PDF_set_parameter(d, "binding", "C++");
             PDF_set_info(d, "Title", "Golden (title)");
             PDF_set_info(d, "Subject", "Sub\\ject\n");
             PDF_set_info(d, "Author", "\xFE\xFF\x30\xA2\x00\x00");
             PDF_set_info(d, "Creator", "Tests");
             PDF_set_info(d, "Keywords", "a b c");
             PDF_set_info(d, "Trapped", "Unknown");
             PDF_set_info(d, "Batch", "7");
             PDF_set_info(d, "Batch", "8");
         });
     }},
    {"core_bookmarks", [] {
         return BuildInMemory(3, [](pdf_document *d) {
             PDF_set_value(d, "compress", 0);
             PDF_set_parameter(d, "bookmarkdest", "fitpage");
         }, [](pdf_document *d, int page) {
             static int part = 0;
             if (page == 1) {
                 part = PDF_add_bookmark(d, "Part one", 0, 1);
                 PDF_add_bookmark(d, "Chapter 1", part, 0);
             } else if (page == 2) {
                 int chapter = PDF_add_bookmark(d, "Chapter 2", part, 0);
                 PDF_add_bookmark(d, "Section 2.1", chapter, 1);
                 PDF_add_bookmark(d, "Section 2.2", chapter, 1);
             } else {
                 PDF_add_bookmark(d, "Part two", 0, 0);
             }
         });
     }},
};

class Golden : public testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, BytesMatch) { CompareWithGolden(GetParam().name, GetParam().build()); }

INSTANTIATE_TEST_SUITE_P(Documents, Golden, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<GoldenCase> &info) {
                             return std::string(info.param.name);
                         });

}  // namespace
