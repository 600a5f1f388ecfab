// Shared pieces of the image tests: a document whose error handler records
// and jumps back, helpers to fill image slots the way a reader does, and
// helpers to look into written PDFs.
#pragma once

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/document.h"
#include "core/folio.h"
#include "image/colorspace.h"
#include "image/data_source.h"
#include "image/images.h"
#include "test_support.h"

namespace imagetest {

struct Recorder {
    std::jmp_buf jump;
    int type = 0;
    std::string message;
    std::vector<std::string> warnings;
};

inline void RecordingHandler(pdf_document *document, int type, const char *message)
{
    auto *recorder = static_cast<Recorder *>(PDF_get_client_data(document));
    if (type == PDF_ERR_NONFATAL) {
        recorder->warnings.push_back(message);
        return;
    }
    recorder->type = type;
    recorder->message = message;
    std::longjmp(recorder->jump, 1);
}

// A document in memory or file mode with the recording handler; deleted with
// the object.
struct Doc {
    Recorder recorder;
    pdf_document *pdf;

    Doc() { pdf = PDF_new_with_handlers(RecordingHandler, nullptr, nullptr, nullptr, &recorder); }
    // A document left open by a failed test refuses deletion with an error;
    // catch it here rather than jump into a finished frame.
    ~Doc()
    {
        if (setjmp(recorder.jump) == 0) PDF_delete(pdf);
    }
    Doc(const Doc &) = delete;
    Doc &operator=(const Doc &) = delete;
};

// Runs `call` and expects it to raise an error of `type` with `text`.
#define EXPECT_PDF_ERROR(doc, call, error_type, text)                         \
    do {                                                                      \
        if (setjmp((doc).recorder.jump) == 0) {                              \
            call;                                                             \
            ADD_FAILURE() << "no error from " #call;                         \
        } else {                                                              \
            EXPECT_EQ((doc).recorder.type, (error_type));                     \
            EXPECT_EQ((doc).recorder.message, std::string(text));            \
        }                                                                     \
    } while (0)

// Fills a free slot as a reader of uncompressed samples would, with the data
// in one memory block; the caller adds what else it needs and writes it.
inline int FillRawSlot(pdf_document *pdf, const std::vector<unsigned char> &data,
                       int width, int height, int components, int bpc, int colorspace)
{
    int slot = pdf_find_free_image_slot(pdf);
    pdf_image *image = &pdf->image_slots[slot];
    image->width = static_cast<float>(width);
    image->height = static_cast<float>(height);
    image->components = components;
    image->bits_per_component = bpc;
    image->colorspace = static_cast<pdf_byte>(colorspace);
    image->occupied = 1;
    pdf_set_memory_source(&image->source, data.data(), data.size());
    return slot;
}

// The text of the whole file, with stream contents as they are written.
inline std::string Slurp(const std::string &path) { return testsupport::ReadFile(path); }

inline int CountOf(const std::string &haystack, const std::string &needle)
{
    int count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

// The bytes of the stream of object `id` ("id 0 obj ... stream\n" up to
// "endstream").
inline std::string StreamOf(const std::string &pdf, long id)
{
    std::string head = "\n" + std::to_string(id) + " 0 obj\n";
    size_t at = pdf.find(head);
    if (at == std::string::npos) return std::string();
    size_t start = pdf.find("stream\n", at);
    size_t end = pdf.find("endstream\n", start);
    if (start == std::string::npos || end == std::string::npos) return std::string();
    start += 7;
    return pdf.substr(start, end - start);
}

}  // namespace imagetest
