// The output stream: file, memory and procedure sinks, piecewise fetching,
// buffer growth, flushing and Flate sections.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>
#include <zlib.h>

#include "core/document.h"
#include "core/output.h"
#include "folio_support.h"
#include "test_support.h"

using namespace foliotest;

using testsupport::NormalizePdf;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

void ThreePages(pdf_document *document) {
    PDF_set_info(document, "Title", "Same bytes");
    for (int i = 0; i < 3; i++) {
        PDF_begin_page(document, 300, 400);
        PDF_end_page(document);
    }
}

std::string IdFree(const std::string &bytes) { return NormalizePdf(bytes); }

TEST(Output, MemoryFileAndProcedureGiveTheSameBytes) {
    TempDir dir;
    std::string path = dir.file("file.pdf");
    pdf_document *document = PDF_new();
    ASSERT_EQ(PDF_open_file(document, path.c_str()), 1);
    ThreePages(document);
    PDF_close(document);
    PDF_delete(document);
    std::string from_file = ReadFile(path);

    document = PDF_new();
    ASSERT_EQ(PDF_open_file(document, ""), 1);
    ThreePages(document);
    PDF_close(document);
    std::string from_memory = TakeBuffer(document);
    PDF_delete(document);

    static std::string collected;
    collected.clear();
    document = PDF_new();
    PDF_open_mem(document, [](pdf_document *, void *data, size_t count) {
        collected.append(static_cast<char *>(data), count);
        return count;
    });
    ThreePages(document);
    PDF_close(document);
    PDF_delete(document);

    EXPECT_EQ(IdFree(from_file), IdFree(from_memory));
    EXPECT_EQ(IdFree(collected), IdFree(from_memory));
    EXPECT_TRUE(testsupport::QpdfCheck(path));
}

TEST(Output, PiecesFetchedAfterEachPageMakeTheWholeFile) {
    pdf_document *document = PDF_new();
    PDF_open_file(document, nullptr);
    std::string pieces = TakeBuffer(document);
    size_t header = pieces.size();
    for (int i = 0; i < 12; i++) {
        PDF_begin_page(document, 100 + i, 100);
        PDF_end_page(document);
        std::string piece = TakeBuffer(document);
        EXPECT_FALSE(piece.empty());
        pieces += piece;
    }
    PDF_close(document);
    pieces += TakeBuffer(document);
    PDF_delete(document);
    EXPECT_EQ(header, 15u);  // "%PDF-1.3\n" and the binary comment line
    EXPECT_EQ(IdFree(pieces), IdFree(BuildInMemory(0, [](pdf_document *d) {
                  for (int i = 0; i < 12; i++) {
                      PDF_begin_page(d, 100 + i, 100);
                      PDF_end_page(d);
                  }
              })));
    TempDir dir;
    testsupport::WriteFile(dir.file("pieces.pdf"), pieces);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("pieces.pdf")));
}

TEST(Output, HeaderFollowsCompatibility) {
    struct Row { const char *level; const char *header; };
    const Row rows[] = {{"1.2", "%PDF-1.2\n"}, {"1.3", "%PDF-1.3\n"}, {"1.4", "%PDF-1.4\n"}};
    for (const Row &row : rows) {
        pdf_document *document = PDF_new();
        PDF_set_parameter(document, "compatibility", row.level);
        PDF_open_file(document, nullptr);
        std::string header = TakeBuffer(document);
        EXPECT_EQ(header, std::string(row.header) + "%\xE4\xE3\xCF\xD2\n");
        PDF_begin_page(document, 100, 100);
        PDF_end_page(document);
        PDF_close(document);
        TakeBuffer(document);
        PDF_delete(document);
    }
}

TEST(Output, GetBufferRefusesFileOutput) {
    TempDir dir;
    Recorder recorder;
    pdf_document *document = recorder.New();
    PDF_open_file(document, dir.file("x.pdf").c_str());
    long size = 7;
    EXPECT_FALSE(recorder.Call([&] { PDF_get_buffer(document, &size); }));
    EXPECT_EQ(recorder.Last().type, PDF_ERR_RUNTIME);
    EXPECT_EQ(recorder.Last().message, "Don't use PDF_get_buffer() when writing to file");
    PDF_delete(document);
    EXPECT_EQ(PDF_get_buffer(nullptr, &size), nullptr);
    EXPECT_EQ(size, 0);
}

TEST(Output, UncreatableFileLeavesTheObjectUsable) {
    pdf_document *document = PDF_new();
    EXPECT_EQ(PDF_open_file(document, "/nonexistent-folder/x.pdf"), -1);
    EXPECT_STREQ(PDF_get_parameter(document, "scope", 0), "object");
    EXPECT_EQ(PDF_open_fp(document, nullptr), -1);
    TempDir dir;
    EXPECT_EQ(PDF_open_file(document, dir.file("ok.pdf").c_str()), 1);
    PDF_begin_page(document, 50, 50);
    PDF_end_page(document);
    PDF_close(document);
    PDF_delete(document);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("ok.pdf")));
}

TEST(Output, OpenFpWritesToTheCallersStreamAndLeavesItOpen) {
    TempDir dir;
    FILE *fp = std::fopen(dir.file("fp.pdf").c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    std::fputs("", fp);
    pdf_document *document = PDF_new();
    ASSERT_EQ(PDF_open_fp(document, fp), 1);
    PDF_begin_page(document, 50, 50);
    PDF_end_page(document);
    PDF_close(document);
    PDF_delete(document);
    EXPECT_GE(std::fputs("", fp), 0);  // still open
    std::fclose(fp);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("fp.pdf")));
}

TEST(Output, NullWriteProcedureIsAValueError) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    EXPECT_FALSE(recorder.Call([&] { PDF_open_mem(document, nullptr); }));
    EXPECT_EQ(recorder.Last().type, PDF_ERR_VALUE);
    EXPECT_EQ(recorder.Last().message, "NULL write procedure in PDF_open_mem()");
    PDF_delete(document);
}

TEST(Output, ShortWriteIsAnIOError) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    PDF_open_mem(document, [](pdf_document *, void *, size_t count) { return count / 2; });
    PDF_begin_page(document, 50, 50);
    EXPECT_FALSE(recorder.Call([&] { PDF_end_page(document); }));
    EXPECT_EQ(recorder.Last().type, PDF_ERR_IO);
    EXPECT_EQ(recorder.Last().message, "Couldn't write output (disk full?)");
    PDF_close(document);
    PDF_delete(document);
}

TEST(Output, BufferGrowsOrFlushesInHeavyMode) {
    pdf_document *document = PDF_new();
    PDF_open_file(document, nullptr);
    std::string big(70000, 'z');
    pdf_write(document, big.data(), big.size());
    pdf_output_stream *stream = document->stream;
    EXPECT_EQ(stream->end - stream->start, 131072);
    EXPECT_EQ(pdf_tell(document), 15 + 70000);
    PDF_begin_page(document, 50, 50);
    PDF_end_page(document);
    PDF_close(document);
    TakeBuffer(document);
    PDF_delete(document);

    static size_t handed = 0;
    handed = 0;
    document = PDF_new();
    PDF_set_parameter(document, "flush", "heavy");
    PDF_open_mem(document, [](pdf_document *, void *, size_t count) {
        handed += count;
        return count;
    });
    pdf_write(document, big.data(), 60000);
    pdf_write(document, big.data(), 10000);
    EXPECT_EQ(document->stream->end - document->stream->start, 65536);
    EXPECT_EQ(handed, 60015u);
    PDF_begin_page(document, 50, 50);
    PDF_end_page(document);
    PDF_close(document);
    PDF_delete(document);
}

// A file that is already there, empty (as a caller's staging file is) or
// longer than the document, ends up holding the document alone.
TEST(Output, ExistingFilesAreWrittenOverWhole) {
    TempDir dir;
    auto write = [](const std::string &path) {
        pdf_document *document = PDF_new();
        ASSERT_EQ(PDF_open_file(document, path.c_str()), 1);
        ThreePages(document);
        PDF_close(document);
        PDF_delete(document);
    };
    std::string fresh = dir.file("fresh.pdf");
    write(fresh);
    for (size_t old_size : {size_t(0), size_t(1), size_t(100000)}) {
        SCOPED_TRACE(old_size);
        std::string path = dir.file("old.pdf");
        testsupport::WriteFile(path, std::string(old_size, 'x'));
        write(path);
        EXPECT_EQ(IdFree(ReadFile(path)), IdFree(ReadFile(fresh)));
    }
}

// Blocks of 32 KB and more reach a sink unbuffered, after what was pending
// and in order; with output held back ("none") they are buffered as ever.
TEST(Output, LargeBlocksGoStraightToTheSink) {
    struct Call {
        const void *data;
        size_t count;
    };
    static std::vector<Call> calls;
    static std::string collected;
    static size_t accept;  // bytes each call takes at most
    auto sink = [](pdf_document *, void *data, size_t count) {
        calls.push_back({data, count});
        size_t taken = count < accept ? count : accept;
        collected.append(static_cast<char *>(data), taken);
        return taken;
    };
    std::string big(40000, 'b');

    for (bool held_back : {false, true}) {
        SCOPED_TRACE(held_back ? "flush none" : "flush page");
        calls.clear();
        collected.clear();
        accept = static_cast<size_t>(-1);
        pdf_document *document = PDF_new();
        if (held_back) PDF_set_parameter(document, "flush", "none");
        PDF_open_mem(document, sink);
        pdf_puts(document, "abc");
        pdf_write(document, big.data(), big.size());
        pdf_puts(document, "def");
        EXPECT_EQ(pdf_tell(document), 15 + 3 + 40000 + 3);
        if (held_back) {
            EXPECT_TRUE(calls.empty());
            EXPECT_EQ(document->stream->position - document->stream->start, 15 + 40006);
        } else {
            ASSERT_EQ(calls.size(), 2u);
            EXPECT_EQ(calls[0].count, 18u);  // the header and "abc"
            EXPECT_EQ(calls[1].data, big.data());
            EXPECT_EQ(calls[1].count, big.size());
            EXPECT_EQ(document->stream->position - document->stream->start, 3);
        }
        EXPECT_EQ(document->stream->end - document->stream->start, PDF_STREAM_BUFFER_SIZE);
        PDF_begin_page(document, 50, 50);
        PDF_end_page(document);
        PDF_close(document);
        PDF_delete(document);
        EXPECT_EQ(collected.substr(15, 40006), "abc" + big + "def");
    }

    // A sink that takes part of a large block fails the write like any other.
    Recorder recorder;
    calls.clear();
    collected.clear();
    accept = 1000;
    pdf_document *document = recorder.New();
    PDF_open_mem(document, sink);
    EXPECT_FALSE(recorder.Call([&] { pdf_write(document, big.data(), big.size()); }));
    EXPECT_EQ(recorder.Last().type, PDF_ERR_IO);
    EXPECT_EQ(recorder.Last().message, "Couldn't write output (disk full?)");
    PDF_delete(document);
}

// The content stream of the first page, between "stream\n" and "endstream".
std::string FirstContentStream(const std::string &pdf) {
    size_t start = pdf.find("stream\n") + 7;
    size_t end = pdf.find("endstream", start);
    return pdf.substr(start, end - start);
}

TEST(Output, CompressedSectionIsOneZlibStreamEndingAtEndstream) {
    auto page = [](pdf_document *document, int) {
        for (int i = 0; i < 2000; i++) pdf_printf(document, "%d %d m\n", i, i * 3);
    };
    std::string plain = BuildInMemory(1, [](pdf_document *d) { PDF_set_value(d, "compress", 0); }, page);
    std::string packed = BuildInMemory(1, {}, page);
    EXPECT_EQ(plain.find("/Filter"), std::string::npos);
    EXPECT_NE(packed.find("/Filter/FlateDecode\n"), std::string::npos);

    std::string raw = FirstContentStream(plain);
    std::string deflated = FirstContentStream(packed);
    std::string inflated(raw.size(), '\0');
    uLongf size = inflated.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef *>(&inflated[0]), &size,
                         reinterpret_cast<const Bytef *>(deflated.data()), deflated.size()),
              Z_OK);
    EXPECT_EQ(inflated.substr(0, size), raw);
    EXPECT_LT(deflated.size(), raw.size() / 2);
}

}  // namespace
