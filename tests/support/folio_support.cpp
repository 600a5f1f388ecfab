// The library's test helpers (folio_support.h).
#include "folio_support.h"

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/data_source.h"
#include "image/images.h"

namespace foliotest {

// ---- Recorder -------------------------------------------------------------------

bool Recorder::Call(const std::function<void()> &call) {
    // A call made under PDF_GUARD gets its own jump point and gives the
    // guard's back afterwards.
    std::jmp_buf outer;
    std::memcpy(outer, jump_, sizeof outer);
    bool was_armed = armed_;
    bool finished = false;
    armed_ = true;
    if (setjmp(jump_) == 0) {
        call();
        finished = true;
    }
    std::memcpy(jump_, outer, sizeof outer);
    armed_ = was_armed;
    return finished;
}

std::jmp_buf *Recorder::Guard() {
    armed_ = true;
    return &jump_;
}

void Recorder::Handler(pdf_document *document, int type, const char *message) {
    auto *self = static_cast<Recorder *>(PDF_get_client_data(document));
    self->reports.push_back({type, message});
    if (type != PDF_ERR_NONFATAL && self->armed_) std::longjmp(self->jump_, 1);
}

pdf_document *Recorder::New() {
    return PDF_new_with_handlers(Handler, nullptr, nullptr, nullptr, this);
}

bool Recorder::Saw(int type, const std::string &message) const {
    for (const Report &report : reports)
        if (report.type == type && report.message == message) return true;
    return false;
}

std::vector<std::string> Recorder::Warnings() const {
    std::vector<std::string> texts;
    for (const Report &report : reports)
        if (report.type == PDF_ERR_NONFATAL) texts.push_back(report.message);
    return texts;
}

// ---- Small documents ---------------------------------------------------------

std::string TakeBuffer(pdf_document *document) {
    long size = 0;
    const char *bytes = PDF_get_buffer(document, &size);
    return std::string(bytes != nullptr ? bytes : "", static_cast<size_t>(size));
}

std::string BuildInMemory(int pages, const std::function<void(pdf_document *)> &setup,
                          const std::function<void(pdf_document *, int)> &page,
                          const std::function<void(pdf_document *)> &before_open) {
    pdf_document *document = PDF_new();
    if (before_open) before_open(document);
    PDF_open_file(document, nullptr);
    if (setup) setup(document);
    for (int i = 1; i <= pages; i++) {
        PDF_begin_page(document, 200, 100);
        if (page) page(document, i);
        PDF_end_page(document);
    }
    PDF_close(document);
    std::string bytes = TakeBuffer(document);
    PDF_delete(document);
    return bytes;
}

// ---- Drawn pages ---------------------------------------------------------------

Drawn DrawPage(const Draw &draw, const Draw &before) {
    Drawn drawn;
    Doc doc;
    PDF_open_file(doc.pdf, nullptr);
    PDF_set_value(doc.pdf, "compress", 0);
    drawn.finished = doc.recorder.Call([&] {
        if (before) before(doc.pdf);
        PDF_begin_page(doc.pdf, 200, 200);
        draw(doc.pdf);
    });
    if (drawn.finished) {
        PDF_end_page(doc.pdf);
        PDF_close(doc.pdf);
        drawn.pdf = TakeBuffer(doc.pdf);
        drawn.content = PageContent(drawn.pdf);
        testsupport::TempDir dir;
        testsupport::WriteFile(dir.file("page.pdf"), drawn.pdf);
        std::string report;
        EXPECT_TRUE(testsupport::QpdfCheck(dir.file("page.pdf"), &report)) << report;
    }
    drawn.reports = doc.recorder.reports;
    return drawn;
}

std::string PageContent(const std::string &pdf) {
    std::string content;
    size_t at = pdf.find("/Contents[");
    if (at == std::string::npos) return content;
    const char *next = pdf.c_str() + at + strlen("/Contents[");
    char *end = nullptr;
    for (long id = std::strtol(next, &end, 10); end != next; id = std::strtol(next, &end, 10)) {
        content += ObjectStream(pdf, id).data;
        next = end + strlen(" 0 R ");
    }
    return content;
}

// ---- FailingHeap ----------------------------------------------------------------

bool FailingHeap::Fails() {
    if (!armed) return false;
    ++allocations;
    if (fail_at < 0) return false;
    return only_once ? allocations == fail_at : allocations >= fail_at;
}

std::string FailingHeap::Left(const std::string &containing) const {
    std::string tags;
    for (const auto &block : live)
        if (block.second.find(containing) != std::string::npos) tags += block.second + " ";
    return tags;
}

FailingHeap *&FailingHeap::Current() {
    static FailingHeap *heap = nullptr;
    return heap;
}

void *FailingAllocate(pdf_document *, size_t size, const char *routine) {
    FailingHeap *heap = FailingHeap::Current();
    if (heap->Fails()) return nullptr;
    void *block = std::malloc(size);
    heap->live[block] = routine;
    return block;
}

void *FailingReallocate(pdf_document *, void *block, size_t size, const char *routine) {
    FailingHeap *heap = FailingHeap::Current();
    if (heap->Fails()) return nullptr;
    heap->live.erase(block);
    void *moved = std::realloc(block, size);
    heap->live[moved] = routine;
    return moved;
}

void FailingRelease(pdf_document *, void *block) {
    FailingHeap::Current()->live.erase(block);
    std::free(block);
}

void FailingHeapHandler(pdf_document *, int type, const char *message) {
    if (type == PDF_ERR_NONFATAL) return;
    FailingHeap *heap = FailingHeap::Current();
    heap->error_type = type;
    heap->message = message;
    std::longjmp(heap->jump, 1);
}

bool BuildOnFailingHeap(long fail_at,
                        const std::function<void(pdf_document *, FailingHeap &)> &build,
                        std::string *left, std::string *message) {
    FailingHeap heap;
    heap.fail_at = fail_at;
    FailingHeap *outer = FailingHeap::Current();
    FailingHeap::Current() = &heap;
    pdf_document *document = PDF_new_with_handlers(FailingHeapHandler, FailingAllocate,
                                                   FailingReallocate, FailingRelease, nullptr);
    bool finished = false;
    if (setjmp(heap.jump) == 0) {
        build(document, heap);
        finished = true;
    } else {
        if (message) *message = heap.message;
        EXPECT_EQ(heap.error_type, PDF_ERR_MEMORY)
            << "failure at " << fail_at << ": " << heap.message;
    }
    heap.Disarm();
    if (setjmp(heap.jump) == 0) PDF_delete(document);
    *left += heap.Left();
    FailingHeap::Current() = outer;
    return finished;
}

// ---- Documents of the image file readers --------------------------------------

Recorder &Log() {
    static Recorder log;
    return log;
}

FailingHeap &ReaderHeap() {
    static FailingHeap heap;
    return heap;
}

pdf_document *NewDocument(const std::string &pdf_path, int compress, const char *compatibility) {
    Log().reports.clear();
    FailingHeap::Current() = &ReaderHeap();
    pdf_document *document = PDF_new_with_handlers(Recorder::Handler, FailingAllocate,
                                                   FailingReallocate, FailingRelease, &Log());
    if (compatibility) PDF_set_parameter(document, "compatibility", compatibility);
    PDF_open_file(document, pdf_path.c_str());
    PDF_set_value(document, "compress", static_cast<float>(compress));
    PDF_set_parameter(document, "imagewarning", "true");
    return document;
}

int OpenImageFile(pdf_document *document, const char *type, const std::string &path,
                  const char *stringparam, int intparam) {
    int handle = -2;
    Log().Call([&] {
        handle = PDF_open_image_file(document, type, path.c_str(), stringparam, intparam);
    });
    return handle;
}

void Discard(pdf_document *document) {
    if (document == nullptr) return;
    Log().Call([&] {
        if (std::strcmp(PDF_get_parameter(document, "scope", 0), "document") == 0) {
            PDF_begin_page(document, 10, 10);
            PDF_end_page(document);
            PDF_close(document);
        }
    });
    Log().Call([&] { PDF_delete(document); });
}

void PlaceOnOwnPage(pdf_document *document, int image) {
    float width = PDF_get_value(document, "imagewidth", static_cast<float>(image));
    float height = PDF_get_value(document, "imageheight", static_cast<float>(image));
    PDF_begin_page(document, width, height);
    PDF_place_image(document, image, 0, 0, 1);
    PDF_close_image(document, image);
    PDF_end_page(document);
}

void FinishWithPage(pdf_document *document, int image) {
    PlaceOnOwnPage(document, image);
    PDF_close(document);
    PDF_delete(document);
}

int MakeOnePageDocument(const std::string &pdf_path, const char *type,
                        const std::string &image_path, int compress, const char *stringparam,
                        int intparam) {
    pdf_document *document = NewDocument(pdf_path, compress);
    int image = OpenImageFile(document, type, image_path, stringparam, intparam);
    if (image < 0)
        Discard(document);
    else
        FinishWithPage(document, image);
    return image;
}

int OpenDescriptors() {
    int count = 0;
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) count++;
        closedir(dir);
    }
    return count;
}

int ImageReaderTest::Open(const std::string &bytes, const char *stringparam, int intparam,
                          const char *compatibility) {
    Discard(document);
    testsupport::WriteFile(image_path, bytes);
    document = NewDocument(pdf_path, 0, compatibility);
    descriptors = OpenDescriptors();
    return OpenImageFile(document, type_, image_path, stringparam, intparam);
}

std::string ImageReaderTest::Finish(int handle) {
    FinishWithPage(document, handle);
    document = nullptr;
    return testsupport::ReadFile(pdf_path);
}

std::string ImageReaderTest::Discarded() {
    Discard(document);
    document = nullptr;
    return testsupport::ReadFile(pdf_path);
}

void ImageReaderTest::ExpectNothingHeld(std::initializer_list<const char *> tags) const {
    for (const char *tag : tags) EXPECT_EQ(ReaderHeap().Left(tag), "") << tag;
}

std::string ImageReaderTest::Named(std::string message) const {
    size_t at = message.find("%s");
    return at == std::string::npos ? message : message.replace(at, 2, image_path);
}

int FillRawSlot(pdf_document *pdf, const std::vector<unsigned char> &data, int width, int height,
                int components, int bpc, int colorspace) {
    int slot = pdf_find_free_image_slot(pdf);
    pdf_image *image = pdf_image_slot(pdf, slot);
    image->width = static_cast<float>(width);
    image->height = static_cast<float>(height);
    image->components = components;
    image->bits_per_component = bpc;
    image->colorspace = static_cast<pdf_byte>(colorspace);
    image->occupied = 1;
    pdf_set_memory_source(&image->source, data.data(), data.size());
    return slot;
}

void ShowOnLastPage(pdf_document *pdf, int image, float width, float height) {
    PDF_begin_page(pdf, width, height);
    PDF_place_image(pdf, image, 0, 0, 1);
    PDF_end_page(pdf);
    PDF_close(pdf);
}

// ---- Looking into written documents ----------------------------------------------

int CountOf(const std::string &haystack, const std::string &needle) {
    int count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

Stream StreamAround(const std::string &pdf, size_t inside) {
    Stream stream;
    size_t begin = pdf.rfind("<<", inside);
    size_t start = pdf.find(">>\nstream\n", inside);
    if (begin == std::string::npos || start == std::string::npos) return stream;
    stream.dictionary = pdf.substr(begin, start + 2 - begin);
    size_t length_at = stream.dictionary.find("/Length ");
    if (length_at == std::string::npos) return stream;
    std::string length_id = std::to_string(std::stol(stream.dictionary.substr(length_at + 8)));
    size_t object = pdf.find("\n" + length_id + " 0 obj\n");
    if (object == std::string::npos) return stream;
    long length = std::stol(pdf.substr(object + length_id.size() + 8));
    stream.data = pdf.substr(start + 10, static_cast<size_t>(length));
    return stream;
}

Stream ObjectStream(const std::string &pdf, long id) {
    std::string head = "\n" + std::to_string(id) + " 0 obj\n";
    size_t at = pdf.find(head);
    return at == std::string::npos ? Stream() : StreamAround(pdf, at + head.size());
}

Stream FirstImage(const std::string &pdf, size_t from) {
    size_t type = pdf.find("/Subtype/Image", from);
    return type == std::string::npos ? Stream() : StreamAround(pdf, type);
}

std::vector<Stream> ImageStreams(const std::string &pdf) {
    std::vector<Stream> found;
    size_t at = 0;
    while ((at = pdf.find("/Subtype/Image", at)) != std::string::npos) {
        Stream stream = StreamAround(pdf, at);
        size_t start = pdf.find(">>\nstream\n", at);
        if (stream.dictionary.empty() || start == std::string::npos) break;
        found.push_back(stream);
        at = start + 10 + stream.data.size();
    }
    return found;
}

long ObjectNumberAt(const std::string &pdf, size_t at) {
    if (at == std::string::npos) return 0;
    size_t obj = pdf.rfind(" 0 obj\n", at);
    if (obj == std::string::npos) return 0;
    size_t start = pdf.rfind('\n', obj);
    if (start == std::string::npos) return 0;
    return std::stol(pdf.substr(start + 1, obj - start - 1));
}

long ImageObject(const std::string &pdf) { return ObjectNumberAt(pdf, pdf.find("/Subtype/Image")); }

std::string QpdfStreamData(const std::string &pdf_path, long id, int *status, bool raw) {
    std::string out = pdf_path + ".data";
    testsupport::CommandResult result = testsupport::RunCommand(
        "qpdf --show-object=" + std::to_string(id) +
        (raw ? " --raw-stream-data " : " --filtered-stream-data ") +
        testsupport::ShellQuote(pdf_path) + " > " + testsupport::ShellQuote(out));
    *status = result.status;
    return testsupport::ReadFile(out);
}

std::vector<float> MediaBox(const std::string &pdf_path, int page) {
    std::vector<float> box(4, -1);
    std::string text = testsupport::PdfInfoField(pdf_path, "MediaBox", page);
    std::sscanf(text.c_str(), "%f %f %f %f", &box[0], &box[1], &box[2], &box[3]);
    return box;
}

}  // namespace foliotest
