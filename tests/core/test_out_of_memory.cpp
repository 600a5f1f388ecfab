// Allocation failure injected through the caller's hooks: the N-th request
// fails, for N = 1, 2, 3, ... until a whole document is written. Every
// failure must reach the handler as a memory error, and once the document
// object is deleted nothing may be left allocated.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdlib>
#include <set>
#include <string>

#include "core/folio.h"

namespace {

struct Injector {
    long calls = 0;
    long fail_at = 0;  // 0: never
    std::set<void *> live;
    int last_type = 0;
    std::jmp_buf jump;

    bool ShouldFail() { return ++calls == fail_at; }
};

Injector *current = nullptr;

void *Alloc(pdf_document *, size_t size, const char *) {
    if (current->ShouldFail()) return nullptr;
    void *block = std::malloc(size);
    current->live.insert(block);
    return block;
}

void *Realloc(pdf_document *, void *block, size_t size, const char *) {
    if (current->ShouldFail()) return nullptr;
    current->live.erase(block);
    void *moved = std::realloc(block, size);
    current->live.insert(moved);
    return moved;
}

void Free(pdf_document *, void *block) {
    current->live.erase(block);
    std::free(block);
}

void Handler(pdf_document *, int type, const char *) {
    if (type == PDF_ERR_NONFATAL) return;
    current->last_type = type;
    std::longjmp(current->jump, 1);
}

size_t Discard(pdf_document *, void *, size_t count) { return count; }

// Writes a small document; returns true when it was written completely.
bool WriteDocument(Injector &injector, int compression, bool to_memory) {
    current = &injector;
    pdf_document *volatile document = nullptr;
    volatile bool finished = false;
    if (setjmp(injector.jump) == 0) {
        document = PDF_new_with_handlers(Handler, Alloc, Realloc, Free, nullptr);
        if (document == nullptr) return false;
        if (to_memory) PDF_open_file(document, nullptr);
        else PDF_open_mem(document, Discard);
        PDF_set_value(document, "compress", static_cast<float>(compression));
        PDF_set_info(document, "Title", "Out of memory");
        PDF_set_info(document, "Custom", "value");
        for (int page = 1; page <= 12; page++) {
            PDF_begin_page(document, 100, 100);
            if (page == 1) PDF_add_bookmark(document, "First", 0, 1);
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
    return finished;
}

class OutOfMemory : public testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(OutOfMemory, EveryFailureIsReportedAndNothingLeaks) {
    int compression = std::get<0>(GetParam());
    bool to_memory = std::get<1>(GetParam());
    Injector counting;
    ASSERT_TRUE(WriteDocument(counting, compression, to_memory));
    ASSERT_TRUE(counting.live.empty());
    long total = counting.calls;
    ASSERT_GT(total, 10);
    for (long n = 1; n <= total; n++) {
        Injector injector;
        injector.fail_at = n;
        EXPECT_FALSE(WriteDocument(injector, compression, to_memory)) << "allocation " << n;
        EXPECT_EQ(injector.last_type, PDF_ERR_MEMORY) << "allocation " << n;
        EXPECT_TRUE(injector.live.empty())
            << "allocation " << n << " left " << injector.live.size() << " blocks";
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, OutOfMemory,
                         testing::Combine(testing::Values(0, 6), testing::Bool()));

}  // namespace
