// Allocation failure injected through the caller's hooks: the N-th request
// fails, for N = 1, 2, 3, ... until a whole document is written. Every
// failure must reach the handler as a memory error, and once the document
// object is deleted nothing may be left allocated.
#include <gtest/gtest.h>

#include <csetjmp>
#include <string>

#include "folio_support.h"

using namespace foliotest;

namespace {

size_t Discard(pdf_document *, void *, size_t count) { return count; }

// The file the documents attach; made once by the test.
std::string &AttachedFile() {
    static std::string path;
    return path;
}

// A pattern and a template before page 3; on it both used, a note, links
// (one to a later page) and an attachment.
void DrawDefinitionsAndAnnotations(pdf_document *document, int page) {
    if (page == 3) {
        PDF_begin_pattern(document, 10, 10, 10, 10, 2);
        PDF_rect(document, 0, 0, 5, 5);
        PDF_fill(document);
        PDF_end_pattern(document);
        PDF_begin_template(document, 10, 10);
        PDF_rect(document, 0, 0, 5, 5);
        PDF_fill(document);
        PDF_end_template(document);
    }
    PDF_begin_page(document, 100, 100);
    if (page != 3) return;
    PDF_place_image(document, 0, 0, 0, 1);
    PDF_setrgbcolor_fill(document, 1, 0, 0);
    PDF_setcolor(document, "fill", "pattern", 0, 0, 0, 0);
    PDF_add_note(document, 0, 0, 1, 1, "Note", "Title", "key", 1);
    PDF_add_weblink(document, 0, 0, 1, 1, "http://localhost/");
    PDF_add_locallink(document, 0, 0, 1, 1, 12, "fitwidth");
    PDF_attach_file(document, 0, 0, 1, 1, AttachedFile().c_str(), "d", "a", "text/plain", "tag");
}

// Writes a small document; returns true when it was written completely.
bool WriteDocument(FailingHeap &heap, int compression, bool to_memory) {
    FailingHeap::Current() = &heap;
    heap.only_once = true;
    heap.Arm();
    pdf_document *volatile document = nullptr;
    volatile bool finished = false;
    if (setjmp(heap.jump) == 0) {
        document = PDF_new_with_handlers(FailingHeapHandler, FailingAllocate, FailingReallocate,
                                         FailingRelease, nullptr);
        if (document == nullptr) return false;
        if (to_memory) PDF_open_file(document, nullptr);
        else PDF_open_mem(document, Discard);
        PDF_set_value(document, "compress", static_cast<float>(compression));
        PDF_set_info(document, "Title", "Out of memory");
        PDF_set_info(document, "Custom", "value");
        for (int page = 1; page <= 12; page++) {
            DrawDefinitionsAndAnnotations(document, page);
            if (page == 1) PDF_add_bookmark(document, "First", 0, 1);
            // Five spot colours grow the colour space table once.
            for (const char *name : {"A", "B", "C", "D", "E"})
                if (page == 2)
                    PDF_setcolor(document, "stroke", "spot", PDF_makespotcolor(document, name, 0), 1, 0, 0);
            PDF_end_page(document);
        }
        PDF_close(document);
        long size = 0;
        if (to_memory) PDF_get_buffer(document, &size);
        finished = true;
    } else {
        PDF_close(document);
    }
    if (document != nullptr) PDF_delete(document);
    FailingHeap::Current() = nullptr;
    return finished;
}

class OutOfMemory : public testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(OutOfMemory, EveryFailureIsReportedAndNothingLeaks) {
    int compression = std::get<0>(GetParam());
    bool to_memory = std::get<1>(GetParam());
    testsupport::TempDir dir;
    AttachedFile() = dir.file("attached.txt");
    testsupport::WriteFile(AttachedFile(), std::string(3000, 'x'));
    FailingHeap counting;
    ASSERT_TRUE(WriteDocument(counting, compression, to_memory));
    ASSERT_TRUE(counting.live.empty());
    long total = counting.allocations;
    ASSERT_GT(total, 10);
    for (long n = 1; n <= total; n++) {
        FailingHeap heap;
        heap.fail_at = n;
        EXPECT_FALSE(WriteDocument(heap, compression, to_memory)) << "allocation " << n;
        EXPECT_EQ(heap.error_type, PDF_ERR_MEMORY) << "allocation " << n;
        EXPECT_EQ(heap.Left(), "") << "allocation " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, OutOfMemory,
                         testing::Combine(testing::Values(0, 6), testing::Bool()));

}  // namespace
