// Allocation failures while images are opened, written and placed: each one
// is a clean memory error, and deleting the document afterwards leaves no
// block behind.
#include <csetjmp>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "image_test_util.h"

namespace {

struct Heap {
    std::jmp_buf jump;
    int error_type = 0;
    long allocations = 0;
    long fail_at = -1;  // the allocation number that fails; -1 none
    std::map<void *, std::string> live;
};

Heap *g_heap;

void *Allocate(pdf_document *, size_t size, const char *routine)
{
    if (g_heap->fail_at >= 0 && ++g_heap->allocations >= g_heap->fail_at) return nullptr;
    void *block = std::malloc(size);
    g_heap->live[block] = routine;
    return block;
}

void *Reallocate(pdf_document *, void *block, size_t size, const char *routine)
{
    if (g_heap->fail_at >= 0 && ++g_heap->allocations >= g_heap->fail_at) return nullptr;
    g_heap->live.erase(block);
    void *moved = std::realloc(block, size);
    g_heap->live[moved] = routine;
    return moved;
}

void Release(pdf_document *, void *block)
{
    g_heap->live.erase(block);
    std::free(block);
}

void Handler(pdf_document *, int type, const char *)
{
    if (type == PDF_ERR_NONFATAL) return;
    g_heap->error_type = type;
    std::longjmp(g_heap->jump, 1);
}

// Returns true when the whole run succeeded; false after a memory error.
bool RunWithFailureAt(long fail_at, const std::string &path, std::string *left)
{
    Heap heap;
    g_heap = &heap;
    pdf_document *pdf = PDF_new_with_handlers(Handler, Allocate, Reallocate, Release, nullptr);
    static const char samples[3 * 12] = {};  // three rows of 9 bytes padded to 12
    static const char fax[16] = {};
    bool finished = false;
    if (setjmp(heap.jump) == 0) {
        PDF_open_file(pdf, path.c_str());
        heap.allocations = 0;
        heap.fail_at = fail_at;
        for (int i = 0; i < 140; ++i)  // past the first table sizes
            PDF_open_image(pdf, "raw", "memory32", samples, sizeof samples, 3, 3, 3, 8, "");
        int ccitt = PDF_open_image(pdf, "ccitt", "memory", fax, sizeof fax, 16, 8, 1, 1, "/K -1");
        PDF_begin_page(pdf, 20, 20);
        PDF_place_image(pdf, ccitt, 0, 0, 1);
        PDF_place_image(pdf, 139, 0, 0, 1);
        PDF_end_page(pdf);
        PDF_close(pdf);
        finished = true;
    } else {
        EXPECT_EQ(heap.error_type, PDF_ERR_MEMORY) << "failure at " << fail_at;
    }
    heap.fail_at = -1;
    if (setjmp(heap.jump) == 0) PDF_delete(pdf);
    for (const auto &block : heap.live) *left += block.second + " ";
    g_heap = nullptr;
    return finished;
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
