// Allocation failures while images are opened, written and placed: each one
// is a clean memory error, and deleting the document afterwards leaves no
// block behind.
#include <string>

#include "folio_support.h"

namespace {

// Returns true when the whole run succeeded; false after a memory error.
bool RunWithFailureAt(long fail_at, const std::string &path, std::string *left)
{
    static const char samples[3 * 12] = {};  // three rows of 9 bytes padded to 12
    static const char fax[16] = {};
    auto build = [&](pdf_document *pdf, foliotest::FailingHeap &heap) {
        PDF_open_file(pdf, path.c_str());
        heap.Arm();
        for (int i = 0; i < 140; ++i)  // past the first table sizes
            PDF_open_image(pdf, "raw", "memory32", samples, sizeof samples, 3, 3, 3, 8, "");
        int ccitt = PDF_open_image(pdf, "ccitt", "memory", fax, sizeof fax, 16, 8, 1, 1, "/K -1");
        PDF_begin_page(pdf, 20, 20);
        PDF_place_image(pdf, ccitt, 0, 0, 1);
        PDF_place_image(pdf, 139, 0, 0, 1);
        PDF_end_page(pdf);
        PDF_close(pdf);
    };
    return foliotest::BuildOnFailingHeap(fail_at, build, left);
}

TEST(ImageMemory, EveryAllocationFailureIsCleanAndLeakFree)
{
    testsupport::TempDir dir;
    std::string path = dir.file("oom.pdf");
    long n = 1;
    for (; n < 400; ++n) {
        std::string left;
        bool finished = RunWithFailureAt(n, path, &left);
        EXPECT_EQ(left, "") << "blocks left after failure at allocation " << n;
        if (finished) break;
    }
    EXPECT_LT(n, 400);
    EXPECT_GT(n, 3) << "too few allocations to exercise";
    RecordProperty("allocations", static_cast<int>(n));
    EXPECT_TRUE(testsupport::QpdfCheck(path));
}

}  // namespace
