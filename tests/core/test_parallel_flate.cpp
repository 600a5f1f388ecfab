// A stream deflated in blocks on threads when the source reports an error
// half-way: a warning whose handler returns lets the stream go on whole, a
// fatal error leaves the copy without a thread left behind.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "core/data_source.h"
#include "folio_support.h"

using namespace foliotest;

namespace {

const size_t kChunk = 10000;
const int kChunks = 60;  // five blocks and a part

// Delivers kChunks chunks of `data`, reporting `error_type` while
// delivering chunk `report_at`.
struct ReportingSource {
    std::string data;
    int next = 0;
    int report_at = 0;
    int error_type = 0;
};

int RefillReporting(pdf_document *document, pdf_data_source *source) {
    auto *state = static_cast<ReportingSource *>(source->context);
    if (state->next == kChunks) return 0;
    if (state->next == state->report_at)
        pdf_error(document, state->error_type, "chunk %d is odd", state->next);
    source->chunk = reinterpret_cast<pdf_byte *>(&state->data[state->next * kChunk]);
    source->chunk_length = kChunk;
    state->next++;
    return 1;
}

void Nothing(pdf_document *, pdf_data_source *) {}

const pdf_source_operations kReporting = {Nothing, RefillReporting, Nothing};

std::string Inflate(const std::string &deflated) {
    std::string out(kChunk * kChunks + 1, '\0');
    uLongf length = out.size();
    int result = uncompress(reinterpret_cast<Bytef *>(&out[0]), &length,
                            reinterpret_cast<const Bytef *>(deflated.data()), deflated.size());
    EXPECT_EQ(result, Z_OK);
    out.resize(length);
    return out;
}

TEST(ParallelFlate, AnErrorHalfWayThroughTheStream) {
    struct Case {
        int threads;
        int error_type;
    } cases[] = {
        {1, PDF_ERR_NONFATAL}, {2, PDF_ERR_NONFATAL}, {7, PDF_ERR_NONFATAL},
        {1, PDF_ERR_IO},       {2, PDF_ERR_IO},       {7, PDF_ERR_IO},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.threads << " threads, error type " << c.error_type);
        ReportingSource state;
        for (size_t i = 0; i < kChunk * kChunks; i++)
            state.data += static_cast<char>((i * i >> 7) ^ (i >> 11));
        state.report_at = 33;
        state.error_type = c.error_type;
        Recorder recorder;
        pdf_document *document = recorder.New();
        PDF_set_parameter(document, "warning", "true");
        PDF_set_value(document, "compress", 6);
        PDF_open_file(document, nullptr);
        PDF_set_value(document, "compressthreads", static_cast<float>(c.threads));
        TakeBuffer(document);  // the header
        pdf_data_source source = {};
        source.operations = &kReporting;
        source.context = &state;
        bool copied = recorder.Call([&] { pdf_copy_source_compressed(document, &source); });
        EXPECT_EQ(copied, c.error_type == PDF_ERR_NONFATAL);
        ASSERT_EQ(recorder.reports.size(), 1u);
        EXPECT_EQ(recorder.Last(), (Report{c.error_type, "chunk 33 is odd"}));
        if (copied) {
            EXPECT_TRUE(Inflate(TakeBuffer(document)) == state.data);
        }
        PDF_delete(document);
    }
}

}  // namespace
