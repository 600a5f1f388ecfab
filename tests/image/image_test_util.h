// Shared pieces of the image tests: documents whose errors are recorded
// (per document and jumping back to the failed call, or in one log for the
// image file readers), a heap whose allocations fail on demand, helpers to
// fill image slots the way a reader does, and helpers to look into written
// PDFs.
#pragma once

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/document.h"
#include "core/folio.h"
#include "image/colorspace.h"
#include "image/data_source.h"
#include "image/images.h"
#include "test_support.h"

namespace imagetest {

// ---- A document that jumps back on each error -----------------------------

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

// ---- Documents of the image file readers ----------------------------------

// Every error of a document made by NewDocument; a fatal one jumps back to
// the guarded call (OpenImageFile) when there is one.
struct ErrorLog {
    std::vector<std::pair<int, std::string>> messages;
    std::jmp_buf *jump = nullptr;
};

inline ErrorLog &Log()
{
    static ErrorLog log;
    return log;
}

inline void RecordError(pdf_document *, int type, const char *message)
{
    Log().messages.emplace_back(type, message);
    if (type != PDF_ERR_NONFATAL && Log().jump)
        std::longjmp(*Log().jump, 1);
}

// A document on `pdf_path` at compression `compress`, image warnings on,
// with `compatibility` set first unless it is null. The log starts empty.
inline pdf_document *NewDocument(const std::string &pdf_path, int compress = 0,
                                 const char *compatibility = nullptr)
{
    Log().messages.clear();
    pdf_document *document = PDF_new_with_handlers(RecordError, nullptr, nullptr, nullptr, nullptr);
    if (compatibility)
        PDF_set_parameter(document, "compatibility", compatibility);
    PDF_open_file(document, pdf_path.c_str());
    PDF_set_value(document, "compress", static_cast<float>(compress));
    PDF_set_parameter(document, "imagewarning", "true");
    return document;
}

// Opens an image file of `type`; -2 when a fatal error left the call.
inline int OpenImageFile(pdf_document *document, const char *type, const std::string &path,
                         const char *stringparam = "", int intparam = 0)
{
    std::jmp_buf jump;
    Log().jump = &jump;
    if (setjmp(jump)) {
        Log().jump = nullptr;
        return -2;
    }
    int handle = PDF_open_image_file(document, type, path.c_str(), stringparam, intparam);
    Log().jump = nullptr;
    return handle;
}

// Ends a document in whatever state a test left it (a document can only be
// deleted when closed or after a fatal error); errors on the way are logged.
inline void Discard(pdf_document *document)
{
    if (document == nullptr)
        return;
    std::jmp_buf jump;
    Log().jump = &jump;
    if (setjmp(jump) == 0) {
        if (pdf_current_scope(document) == PDF_SCOPE_DOCUMENT) {
            PDF_begin_page(document, 10, 10);
            PDF_end_page(document);
            PDF_close(document);
        }
    }
    if (setjmp(jump) == 0)
        PDF_delete(document);
    Log().jump = nullptr;
}

// Places an open image on a page of its size and closes the image.
inline void PlaceOnOwnPage(pdf_document *document, int image)
{
    float width = PDF_get_value(document, "imagewidth", static_cast<float>(image));
    float height = PDF_get_value(document, "imageheight", static_cast<float>(image));
    PDF_begin_page(document, width, height);
    PDF_place_image(document, image, 0, 0, 1);
    PDF_close_image(document, image);
    PDF_end_page(document);
}

// Places an open image on a page of its size and finishes the document.
inline void FinishWithPage(pdf_document *document, int image)
{
    PlaceOnOwnPage(document, image);
    PDF_close(document);
    PDF_delete(document);
}

// Makes `pdf_path` a one-page document of the image file at compression
// `compress`, the image placed at its own size. Returns what the open call
// returned; when that is no image the document is discarded.
inline int MakeOnePageDocument(const std::string &pdf_path, const char *type,
                               const std::string &image_path, int compress = 0,
                               const char *stringparam = "", int intparam = 0)
{
    pdf_document *document = NewDocument(pdf_path, compress);
    int image = OpenImageFile(document, type, image_path, stringparam, intparam);
    if (image < 0)
        Discard(document);
    else
        FinishWithPage(document, image);
    return image;
}

// Open file descriptors of this process, to see that no file is left open.
inline int OpenDescriptors()
{
    int count = 0;
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            count++;
        closedir(dir);
    }
    return count;
}

// The fixture of an image file reader's tests: each Open writes the bytes
// as the image file and opens it in a fresh uncompressed document, which
// stays open for the test to look at; the last one is discarded at the end.
class ImageReaderTest : public ::testing::Test {
protected:
    ImageReaderTest(const char *type, const char *image_name)
        : image_path(dir.file(image_name)), type_(type)
    {
    }

    testsupport::TempDir dir;
    std::string image_path;
    std::string pdf_path = dir.file("out.pdf");
    pdf_document *document = nullptr;
    int descriptors = 0;  // open before the reader ran, the PDF among them

    // Discards the previous document; `compatibility` as for NewDocument.
    int Open(const std::string &bytes, const char *stringparam = "", int intparam = 0,
             const char *compatibility = nullptr)
    {
        Discard(document);
        testsupport::WriteFile(image_path, bytes);
        document = NewDocument(pdf_path, 0, compatibility);
        descriptors = OpenDescriptors();
        return OpenImageFile(document, type_, image_path, stringparam, intparam);
    }
    pdf_image &Slot(int handle) { return document->image_slots[handle]; }
    // Finishes the document with the image on a page and returns the file.
    std::string Finish(int handle)
    {
        FinishWithPage(document, handle);
        document = nullptr;
        return testsupport::ReadFile(pdf_path);
    }
    // The message with its "%s" replaced by the image file's name.
    std::string Named(std::string message) const
    {
        size_t at = message.find("%s");
        return at == std::string::npos ? message : message.replace(at, 2, image_path);
    }
    void TearDown() override { Discard(document); }

private:
    const char *type_;
};

// ---- Allocation failures ---------------------------------------------------

// Memory hooks whose allocations fail from a chosen number on, keeping the
// routine tag of every block they hand out so that a leak shows by name.
struct FailingHeap {
    long fail_at = -1;     // this allocation and all later ones fail; -1 none
    long allocations = 0;  // counted since Arm
    bool armed = false;
    std::map<void *, std::string> live;
    // Filled by FailingHeapHandler.
    std::jmp_buf jump;
    int error_type = 0;
    std::string message;

    void Arm()
    {
        allocations = 0;
        armed = true;
    }
    void Disarm() { armed = false; }
    bool Fails() { return armed && fail_at >= 0 && ++allocations >= fail_at; }
    // The tags of the blocks still held, each followed by a space.
    std::string Left() const
    {
        std::string tags;
        for (const auto &block : live)
            tags += block.second + " ";
        return tags;
    }
    // The heap the hooks use.
    static FailingHeap *&Current()
    {
        static FailingHeap *heap = nullptr;
        return heap;
    }
};

inline void *FailingAllocate(pdf_document *, size_t size, const char *routine)
{
    FailingHeap *heap = FailingHeap::Current();
    if (heap->Fails())
        return nullptr;
    void *block = std::malloc(size);
    heap->live[block] = routine;
    return block;
}

inline void *FailingReallocate(pdf_document *, void *block, size_t size, const char *routine)
{
    FailingHeap *heap = FailingHeap::Current();
    if (heap->Fails())
        return nullptr;
    heap->live.erase(block);
    void *moved = std::realloc(block, size);
    heap->live[moved] = routine;
    return moved;
}

inline void FailingRelease(pdf_document *, void *block)
{
    FailingHeap::Current()->live.erase(block);
    std::free(block);
}

// Records a fatal error in the current heap and jumps back to its guard.
inline void FailingHeapHandler(pdf_document *, int type, const char *message)
{
    if (type == PDF_ERR_NONFATAL)
        return;
    FailingHeap *heap = FailingHeap::Current();
    heap->error_type = type;
    heap->message = message;
    std::longjmp(heap->jump, 1);
}

// Runs `build(document, heap)` on a new document whose memory comes from a
// FailingHeap that fails from allocation `fail_at` on once `build` arms it,
// then deletes the document with the heap disarmed. Returns true when
// `build` ran to its end; a fatal error must be a memory error, its text
// goes to `message`. `left` receives the tags of the blocks the deleted
// document still held.
template <typename Build>
bool BuildOnFailingHeap(long fail_at, Build build, std::string *left,
                        std::string *message = nullptr)
{
    FailingHeap heap;
    heap.fail_at = fail_at;
    FailingHeap::Current() = &heap;
    pdf_document *document = PDF_new_with_handlers(FailingHeapHandler, FailingAllocate,
                                                   FailingReallocate, FailingRelease, nullptr);
    bool finished = false;
    if (setjmp(heap.jump) == 0) {
        build(document, heap);
        finished = true;
    } else {
        if (message)
            *message = heap.message;
        EXPECT_EQ(heap.error_type, PDF_ERR_MEMORY)
            << "failure at " << fail_at << ": " << heap.message;
    }
    heap.Disarm();
    if (setjmp(heap.jump) == 0)
        PDF_delete(document);
    *left += heap.Left();
    FailingHeap::Current() = nullptr;
    return finished;
}

// ---- Image slots -------------------------------------------------------------

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

// Shows `image` at the origin at scale 1 on a last page of `width` x
// `height` and closes the document.
inline void ShowOnLastPage(pdf_document *pdf, int image, float width, float height)
{
    PDF_begin_page(pdf, width, height);
    PDF_place_image(pdf, image, 0, 0, 1);
    PDF_end_page(pdf);
    PDF_close(pdf);
}

// Names the instances of a parameterised test after their case's `label`.
struct ByLabel {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case> &info) const
    {
        return info.param.label;
    }
};

// ---- Looking into written documents --------------------------------------------

inline int CountOf(const std::string &haystack, const std::string &needle)
{
    int count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

// A stream object of an uncompressed document.
struct Stream {
    std::string dictionary;  // from "<<" to ">>"
    std::string data;
};

// The stream whose dictionary contains position `inside`, its data measured
// by its length object; empty parts where that is not found.
inline Stream StreamAround(const std::string &pdf, size_t inside)
{
    Stream stream;
    size_t begin = pdf.rfind("<<", inside);
    size_t start = pdf.find(">>\nstream\n", inside);
    if (begin == std::string::npos || start == std::string::npos)
        return stream;
    stream.dictionary = pdf.substr(begin, start + 2 - begin);
    size_t length_at = stream.dictionary.find("/Length ");
    if (length_at == std::string::npos)
        return stream;
    std::string length_id = std::to_string(std::stol(stream.dictionary.substr(length_at + 8)));
    size_t object = pdf.find("\n" + length_id + " 0 obj\n");
    if (object == std::string::npos)
        return stream;
    long length = std::stol(pdf.substr(object + length_id.size() + 8));
    stream.data = pdf.substr(start + 10, static_cast<size_t>(length));
    return stream;
}

// The stream of object `id`.
inline Stream ObjectStream(const std::string &pdf, long id)
{
    std::string head = "\n" + std::to_string(id) + " 0 obj\n";
    size_t at = pdf.find(head);
    return at == std::string::npos ? Stream() : StreamAround(pdf, at + head.size());
}

// The first image XObject that starts after byte `from`.
inline Stream FirstImage(const std::string &pdf, size_t from = 0)
{
    size_t type = pdf.find("/Subtype/Image", from);
    return type == std::string::npos ? Stream() : StreamAround(pdf, type);
}

// Every image XObject, in the order of the file.
inline std::vector<Stream> ImageStreams(const std::string &pdf)
{
    std::vector<Stream> found;
    size_t at = 0;
    while ((at = pdf.find("/Subtype/Image", at)) != std::string::npos) {
        Stream stream = StreamAround(pdf, at);
        size_t start = pdf.find(">>\nstream\n", at);
        if (stream.dictionary.empty() || start == std::string::npos)
            break;
        found.push_back(stream);
        at = start + 10 + stream.data.size();
    }
    return found;
}

// The object number of the first image XObject, or 0.
inline long ImageObject(const std::string &pdf)
{
    size_t at = pdf.find("/Subtype/Image");
    if (at == std::string::npos)
        return 0;
    size_t obj = pdf.rfind(" 0 obj\n", at);
    size_t start = pdf.rfind('\n', obj);
    if (obj == std::string::npos || start == std::string::npos)
        return 0;
    return std::stol(pdf.substr(start + 1, obj - start - 1));
}

// The stream data of object `id` decoded by qpdf (or as stored, with
// `raw`); `status` gets qpdf's exit status (0 without warnings).
inline std::string QpdfStreamData(const std::string &pdf_path, long id, int *status,
                                  bool raw = false)
{
    std::string out = pdf_path + ".data";
    testsupport::CommandResult result = testsupport::RunCommand(
        "qpdf --show-object=" + std::to_string(id) +
        (raw ? " --raw-stream-data " : " --filtered-stream-data ") +
        testsupport::ShellQuote(pdf_path) + " > " + testsupport::ShellQuote(out));
    *status = result.status;
    return testsupport::ReadFile(out);
}

// The four numbers of pdfinfo's MediaBox for a page.
inline std::vector<float> MediaBox(const std::string &pdf_path, int page)
{
    std::vector<float> box(4, -1);
    std::string text = testsupport::PdfInfoField(pdf_path, "MediaBox", page);
    std::sscanf(text.c_str(), "%f %f %f %f", &box[0], &box[1], &box[2], &box[3]);
    return box;
}

}  // namespace imagetest
