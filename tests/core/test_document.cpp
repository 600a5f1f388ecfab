// The document object: creation, scopes, the error path, the default
// handler and the default memory hooks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/document.h"
#include "core/output.h"
#include "folio_support.h"

using namespace foliotest;

namespace {

TEST(Document, InvalidObjectsAreIgnored) {
    PDF_delete(nullptr);
    pdf_document *document = PDF_new();
    unsigned long magic = document->magic;
    document->magic = 0x12345678;
    PDF_delete(document);  // does nothing: not a valid object
    EXPECT_EQ(PDF_get_client_data(document), nullptr);
    EXPECT_EQ(PDF_open_file(document, nullptr), -1);
    document->magic = magic;
    PDF_delete(document);
    EXPECT_EQ(PDF_get_client_data(nullptr), nullptr);
}

TEST(Document, ScopeViolationsNameTheFunctionAndScope) {
    struct Row {
        const char *function;
        void (*call)(pdf_document *);
        const char *scope;
    };
    const Row rows[] = {
        {"PDF_begin_page", [](pdf_document *d) { PDF_begin_page(d, 100, 100); }, "object"},
        {"PDF_end_page", [](pdf_document *d) { PDF_end_page(d); }, "object"},
        {"PDF_close", [](pdf_document *d) { PDF_close(d); }, "object"},
        {"PDF_set_info", [](pdf_document *d) { PDF_set_info(d, "Title", "x"); }, "object"},
    };
    for (const Row &row : rows) {
        Recorder recorder;
        pdf_document *document = recorder.New();
        EXPECT_FALSE(recorder.Call([&] { row.call(document); }));
        EXPECT_EQ(recorder.Last().type, PDF_ERR_RUNTIME);
        EXPECT_EQ(recorder.Last().message, std::string("function '") + row.function +
                                               "' must not be called in '" + row.scope +
                                               "' scope");
        PDF_delete(document);
    }
}

TEST(Document, ErrorsInsideTheErrorScopeAreDropped) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    EXPECT_FALSE(recorder.Call([&] { PDF_begin_page(document, 1, 1); }));
    ASSERT_EQ(recorder.reports.size(), 1u);
    // The handler left the call: the error scope stays, later reports are silent.
    EXPECT_STREQ(PDF_get_parameter(document, "scope", 0), "(unknown)");
    EXPECT_TRUE(recorder.Call([&] { PDF_end_page(document); }));
    EXPECT_TRUE(recorder.Call([&] { pdf_error(document, PDF_ERR_IO, "again"); }));
    EXPECT_EQ(recorder.reports.size(), 1u);
    PDF_delete(document);
}

TEST(Document, WarningsReachTheHandlerOnlyWithWarningsOn) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    pdf_error(document, PDF_ERR_NONFATAL, "first");
    PDF_set_parameter(document, "warning", "false");
    pdf_error(document, PDF_ERR_NONFATAL, "second");
    ASSERT_EQ(recorder.reports.size(), 1u);
    EXPECT_EQ(recorder.Last().message, "first");
    // A warning returns: the call goes on in the scope it was in.
    EXPECT_STREQ(PDF_get_parameter(document, "scope", 0), "object");
    PDF_delete(document);
}

TEST(Document, LongMessagesAreCut) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    std::string huge(5000, 'm');
    pdf_error(document, PDF_ERR_NONFATAL, "%s", huge.c_str());
    EXPECT_EQ(recorder.Last().message.size(), static_cast<size_t>(PDF_MESSAGE_SIZE - 1));
    PDF_delete(document);
}

TEST(Document, FullScopeStackReportsOverflowOnce) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    pdf_push_scope(document, PDF_SCOPE_PATH, "test");
    pdf_push_scope(document, PDF_SCOPE_PATH, "test");
    pdf_push_scope(document, PDF_SCOPE_PATH, "test");
    EXPECT_EQ(document->state_index, 3);
    pdf_error(document, PDF_ERR_NONFATAL, "no room");
    ASSERT_EQ(recorder.reports.size(), 1u);
    EXPECT_EQ(recorder.Last().type, PDF_ERR_SYSTEM);
    EXPECT_EQ(recorder.Last().message, "state stack overflow in function 'pdf_error'");
    EXPECT_EQ(document->state_index, 3);
    EXPECT_EQ(pdf_current_scope(document), PDF_SCOPE_PATH);
    // A push onto the full stack reaches pdf_error with no room either.
    EXPECT_FALSE(recorder.Call([&] { pdf_push_scope(document, PDF_SCOPE_PATH, "pusher"); }));
    EXPECT_EQ(recorder.Last().type, PDF_ERR_SYSTEM);
    EXPECT_EQ(document->state_index, 3);
    PDF_delete(document);
}

TEST(Document, PopFromTheBottomIsUnderflow) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    EXPECT_FALSE(recorder.Call([&] { pdf_pop_scope(document, "popper"); }));
    EXPECT_EQ(recorder.Last().type, PDF_ERR_SYSTEM);
    EXPECT_EQ(recorder.Last().message, "state stack underflow in function 'popper'");
    PDF_delete(document);
}

TEST(Document, IllegalScopeValueIsASystemError) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    document->state_stack[0] = 0x03;
    EXPECT_FALSE(recorder.Call([&] { pdf_current_scope_name(document); }));
    EXPECT_EQ(recorder.Last().message, "illegal state 0x00000003");
    document->state_stack[0] = PDF_SCOPE_OBJECT;
    PDF_delete(document);
}

TEST(Document, ErrorTypeTexts) {
    const char *texts[] = {"memory error",      "I/O error",      "runtime error",
                           "index error",       "type error",     "division by zero error",
                           "overflow error",    "syntax error",   "value error",
                           "system error",      "warning (ignored)", "unknown error"};
    for (int type = 1; type <= 12; type++) EXPECT_STREQ(pdf_error_type_name(type), texts[type - 1]);
}

TEST(DefaultHandler, FatalErrorsPrintAndExitWith99) {
    EXPECT_EXIT(
        {
            pdf_document *document = PDF_new();
            PDF_begin_page(document, 10, 10);
        },
        testing::ExitedWithCode(99),
        "^Folio runtime error: function 'PDF_begin_page' must not be called in 'object' scope\n$");
}

TEST(DefaultHandler, WarningsPrintAndContinue) {
    testing::internal::CaptureStderr();
    pdf_document *document = PDF_new();
    pdf_error(document, PDF_ERR_NONFATAL, "just so");
    PDF_delete(document);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Folio warning (ignored): just so\n");
}

TEST(MemoryHooks, ZeroByteRequestsWarnAndServeOneByte) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    void *block = pdf_default_malloc(document, 0, "tester");
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(recorder.Saw(PDF_ERR_NONFATAL, "Tried to allocate 0 bytes in tester!\n"));
    pdf_free(document, block);
    block = pdf_default_calloc(document, 0, "tester");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(*static_cast<unsigned char *>(block), 0);
    EXPECT_TRUE(recorder.Saw(PDF_ERR_NONFATAL, "Tried to (c)allocate 0 bytes in tester!\n"));
    pdf_free(document, block);
    pdf_default_free(document, nullptr);
    EXPECT_TRUE(recorder.Saw(PDF_ERR_NONFATAL, "(Internal) Tried to free null pointer"));
    PDF_delete(document);
}

void *FailingAlloc(pdf_document *, size_t, const char *) { return nullptr; }
void *UnusedRealloc(pdf_document *, void *, size_t, const char *) { return nullptr; }
void UnusedFree(pdf_document *, void *) {}

struct CreationFailure {
    int type = 0;
    std::string message;
    void *client_data = nullptr;
};

void CreationHandler(pdf_document *document, int type, const char *message) {
    auto *seen = static_cast<CreationFailure *>(PDF_get_client_data(document));
    seen->type = type;
    seen->message = message;
    seen->client_data = seen;
}

TEST(Creation, FailedAllocationReachesTheHandlerWithClientData) {
    CreationFailure seen;
    pdf_document *document =
        PDF_new_with_handlers(CreationHandler, FailingAlloc, UnusedRealloc, UnusedFree, &seen);
    EXPECT_EQ(document, nullptr);
    EXPECT_EQ(seen.type, PDF_ERR_MEMORY);
    EXPECT_EQ(seen.message, "Couldn't allocate Folio object");
    EXPECT_EQ(seen.client_data, &seen);
}

TEST(Creation, DefaultsShowInTheDocument) {
    int marker = 0;
    pdf_document *document = PDF_new_with_handlers(nullptr, nullptr, nullptr, nullptr, &marker);
    EXPECT_EQ(PDF_get_client_data(document), &marker);
    EXPECT_STREQ(PDF_get_parameter(document, "scope", 0), "object");
    PDF_delete(document);
    // PDF 1.3, compressed contents, four decimals.
    std::string pdf = BuildInMemory(
        1, {}, [](pdf_document *d, int) { PDF_set_value(d, "pagewidth", 100.123456f); });
    EXPECT_EQ(pdf.compare(0, 9, "%PDF-1.3\n"), 0);
    EXPECT_NE(pdf.find("/Filter/FlateDecode\n"), std::string::npos);
    EXPECT_NE(pdf.find("/MediaBox[0 0 100.1235 100]\n"), std::string::npos);
}

TEST(Delete, UnfetchedMemoryOutputIsReported) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    PDF_open_file(document, nullptr);
    PDF_begin_page(document, 100, 100);
    PDF_end_page(document);
    PDF_close(document);
    EXPECT_FALSE(recorder.Call([&] { PDF_delete(document); }));
    EXPECT_EQ(recorder.Last().type, PDF_ERR_RUNTIME);
    EXPECT_EQ(recorder.Last().message, "Must call PDF_get_buffer() after PDF_close()");
    PDF_delete(document);  // in the error scope now: released without a word
    EXPECT_EQ(recorder.reports.size(), 1u);
}

TEST(Delete, OpenDocumentIsReleasedWithoutWriting) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    std::string path = testing::TempDir() + "/left-open.pdf";
    ASSERT_EQ(PDF_open_file(document, path.c_str()), 1);
    PDF_begin_page(document, 100, 100);
    EXPECT_FALSE(recorder.Call([&] { PDF_begin_page(document, 100, 100); }));
    PDF_close(document);  // after the error: nothing written, tables released
    PDF_delete(document);
    EXPECT_EQ(recorder.reports.size(), 1u);
    std::remove(path.c_str());
}

}  // namespace

namespace {

// Hooks that fail on demand, for the texts of allocation failures.
bool fail_next = false;
void *MaybeAlloc(pdf_document *, size_t size, const char *) {
    return fail_next ? nullptr : std::malloc(size);
}
void *MaybeRealloc(pdf_document *, void *block, size_t size, const char *) {
    return fail_next ? nullptr : std::realloc(block, size);
}
void PlainFree(pdf_document *, void *block) { std::free(block); }

TEST(MemoryHooks, FailuresNameTheRequestingRoutine) {
    struct Row {
        const char *message;
        void (*call)(pdf_document *);
    };
    const Row rows[] = {
        {"Couldn't allocate memory in tester!\n",
         [](pdf_document *d) { pdf_malloc(d, 16, "tester"); }},
        {"Couldn't (c)allocate memory in tester!\n",
         [](pdf_document *d) { pdf_calloc(d, 16, "tester"); }},
        {"Couldn't reallocate memory in pdf_check_stream!\n", [](pdf_document *d) {
             static const char big[70000] = {0};  // no destructor for the jump to skip
             pdf_write(d, big, sizeof big);
         }},
    };
    for (const Row &row : rows) {
        Recorder recorder;
        fail_next = false;
        pdf_document *document =
            PDF_new_with_handlers(Recorder::Handler, MaybeAlloc, MaybeRealloc, PlainFree, &recorder);
        PDF_open_file(document, nullptr);
        fail_next = true;
        EXPECT_FALSE(recorder.Call([&] { row.call(document); }));
        fail_next = false;
        EXPECT_EQ(recorder.Last().type, PDF_ERR_MEMORY);
        EXPECT_EQ(recorder.Last().message, row.message);
        PDF_close(document);
        PDF_delete(document);
    }
}

TEST(MemoryHooks, NullTextCannotBeCopied) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    EXPECT_FALSE(recorder.Call([&] { pdf_strdup(document, nullptr); }));
    EXPECT_EQ(recorder.Last().type, PDF_ERR_SYSTEM);
    EXPECT_EQ(recorder.Last().message, "NULL string in pdf_strdup");
    PDF_delete(document);
}

}  // namespace
