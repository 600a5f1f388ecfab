// Helpers for the library's tests: a handler that records the library's
// reports, documents built on it, a heap whose allocations fail on demand,
// the image readers' documents and fixture, and helpers to look into written
// PDFs. Everything goes through the public interface (folio.h).
#pragma once

#include <csetjmp>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "folio.h"
#include "test_support.h"

namespace foliotest {

// ---- Recording the library's reports ----------------------------------------

struct Report {
    int type;
    std::string message;
};
inline bool operator==(const Report &a, const Report &b) {
    return a.type == b.type && a.message == b.message;
}
inline std::ostream &operator<<(std::ostream &out, const Report &report) {
    return out << report.type << " \"" << report.message << "\"";
}

// An error handler that records every report. A fatal one jumps back to the
// call made through Call, or to the point set with PDF_GUARD; with neither
// armed the handler returns (which the library tolerates only for tests).
class Recorder {
public:
    // Runs `call`; returns false when a fatal error left it.
    bool Call(const std::function<void()> &call);
    // Arms the jump point of PDF_GUARD; see there.
    std::jmp_buf *Guard();

    static void Handler(pdf_document *document, int type, const char *message);
    // A document object whose reports come here.
    pdf_document *New();

    const Report &Last() const { return reports.back(); }
    bool Saw(int type, const std::string &message) const;
    // The texts of the warnings (PDF_ERR_NONFATAL), in order.
    std::vector<std::string> Warnings() const;

    std::vector<Report> reports;

private:
    std::jmp_buf jump_;
    bool armed_ = false;
};

// Guards the rest of a test: a fatal error raised by any later call fails
// the test with its message instead of returning into the library.
#define PDF_GUARD(doc) \
    if (setjmp(*(doc).recorder.Guard()) != 0) FAIL() << (doc).recorder.Last().message

// A document object on its own recorder, deleted with the object.
struct Doc {
    Recorder recorder;
    pdf_document *pdf;

    Doc() : pdf(recorder.New()) {}
    // A document left open by a failed test refuses deletion with an error,
    // which the recorder takes.
    ~Doc() { recorder.Call([this] { PDF_delete(pdf); }); }
    Doc(const Doc &) = delete;
    Doc &operator=(const Doc &) = delete;
};

// Runs `call` and expects it to raise an error of `type` with `text`.
#define EXPECT_PDF_ERROR(doc, call, error_type, text)                         \
    do {                                                                      \
        if ((doc).recorder.Call([&] { call; })) {                             \
            ADD_FAILURE() << "no error from " #call;                          \
        } else {                                                              \
            EXPECT_EQ((doc).recorder.Last().type, (error_type));              \
            EXPECT_EQ((doc).recorder.Last().message, std::string(text));      \
        }                                                                     \
    } while (0)

// ---- Small documents ---------------------------------------------------------

// Takes every byte a memory-mode document hands out.
std::string TakeBuffer(pdf_document *document);

// Writes `pages` pages of 200 x 100 between optional set-up and per-page
// steps, in memory, and returns the document's bytes. `before_open` runs
// before the document is opened (object scope).
std::string BuildInMemory(int pages, const std::function<void(pdf_document *)> &setup = {},
                          const std::function<void(pdf_document *, int)> &page = {},
                          const std::function<void(pdf_document *)> &before_open = {});

// ---- Drawn pages ---------------------------------------------------------------

using Draw = std::function<void(pdf_document *)>;

struct Drawn {
    bool finished = false;  // no fatal error left the drawing
    std::string content;    // the page's content streams, when finished
    std::string pdf;
    std::vector<Report> reports;
};

// Runs `draw` on a 200 x 200 page of an uncompressed document in memory;
// `before` runs in document scope first. A finished document must pass
// qpdf's check.
Drawn DrawPage(const Draw &draw, const Draw &before = {});

// The data of the content streams the first page object lists, joined.
std::string PageContent(const std::string &pdf);

// A point of a rendered 200 x 200 page and the colour expected there.
struct Probe {
    const char *what;
    int x, y;  // in points, from the lower left corner
    int rgb[3];
};

// Expects the colour of each probe within `tolerance` on each channel of a
// page rendered at 72 dpi.
template <size_t N>
void ExpectProbes(const Probe (&probes)[N], const testsupport::Raster &raster, const char *renderer,
                  int tolerance) {
    ASSERT_EQ(raster.width, 200) << renderer;
    ASSERT_EQ(raster.height, 200) << renderer;
    for (const Probe &probe : probes)
        for (int channel = 0; channel < 3; ++channel)
            EXPECT_LE(std::abs(raster.at(probe.x, 200 - probe.y, channel) - probe.rgb[channel]),
                      tolerance)
                << renderer << ": " << probe.what << ", channel " << channel;
}

// ---- Allocation failures ------------------------------------------------------

// Memory hooks whose allocations fail on demand, keeping the routine tag of
// every block they hand out so that a leak shows by name.
struct FailingHeap {
    long fail_at = -1;       // this allocation fails (counted since Arm); -1 none
    bool only_once = false;  // false: every later allocation fails too
    long allocations = 0;
    bool armed = false;
    std::map<void *, std::string> live;
    // Filled by FailingHeapHandler.
    std::jmp_buf jump;
    int error_type = 0;
    std::string message;

    void Arm() {
        allocations = 0;
        armed = true;
    }
    void Disarm() { armed = false; }
    bool Fails();
    // The tags of the blocks still held, each followed by a space; with
    // `containing`, only the tags that contain it.
    std::string Left(const std::string &containing = "") const;
    // The heap the hooks use.
    static FailingHeap *&Current();
};

void *FailingAllocate(pdf_document *, size_t size, const char *routine);
void *FailingReallocate(pdf_document *, void *block, size_t size, const char *routine);
void FailingRelease(pdf_document *, void *block);
// Records a fatal error in the current heap and jumps back to its `jump`.
void FailingHeapHandler(pdf_document *, int type, const char *message);

// Runs `build(document, heap)` on a new document whose memory comes from a
// FailingHeap that fails from allocation `fail_at` on once `build` arms it,
// then deletes the document with the heap disarmed. Returns true when
// `build` ran to its end; a fatal error must be a memory error, its text
// goes to `message`. `left` receives the tags of the blocks the deleted
// document still held.
bool BuildOnFailingHeap(long fail_at, const std::function<void(pdf_document *, FailingHeap &)> &build,
                        std::string *left, std::string *message = nullptr);

// ---- Documents of the image file readers --------------------------------------

// The recorder of the documents NewDocument makes; a fatal error jumps back
// to the guarded call (OpenImageFile, Discard) when there is one.
Recorder &Log();

// The heap of the documents NewDocument makes; it never fails, and its
// `live` tags show what the documents hold.
FailingHeap &ReaderHeap();

// A document on `pdf_path` at compression `compress`, image warnings on,
// with `compatibility` set first unless it is null. The log starts empty.
pdf_document *NewDocument(const std::string &pdf_path, int compress = 0,
                          const char *compatibility = nullptr);
// Opens an image file of `type`; -2 when a fatal error left the call.
int OpenImageFile(pdf_document *document, const char *type, const std::string &path,
                  const char *stringparam = "", int intparam = 0);
// Ends a document in whatever state a test left it (a document can only be
// deleted when closed or after a fatal error); errors on the way are logged.
void Discard(pdf_document *document);
// Places an open image on a page of its size and closes the image.
void PlaceOnOwnPage(pdf_document *document, int image);
// Places an open image on a page of its size and finishes the document.
void FinishWithPage(pdf_document *document, int image);
// Makes `pdf_path` a one-page document of the image file at compression
// `compress`, the image placed at its own size. Returns what the open call
// returned; when that is no image the document is discarded.
int MakeOnePageDocument(const std::string &pdf_path, const char *type,
                        const std::string &image_path, int compress = 0,
                        const char *stringparam = "", int intparam = 0);
// Open file descriptors of this process, to see that no file is left open.
int OpenDescriptors();

// The fixture of an image file reader's tests: each Open writes the bytes
// as the image file and opens it in a fresh uncompressed document, which
// stays open for the test to look at; the last one is discarded at the end.
class ImageReaderTest : public ::testing::Test {
protected:
    ImageReaderTest(const char *type, const char *image_name)
        : image_path(dir.file(image_name)), type_(type) {}

    testsupport::TempDir dir;
    std::string image_path;
    std::string pdf_path = dir.file("out.pdf");
    pdf_document *document = nullptr;
    int descriptors = 0;  // open before the reader ran, the PDF among them

    // Discards the previous document; `compatibility` as for NewDocument.
    int Open(const std::string &bytes, const char *stringparam = "", int intparam = 0,
             const char *compatibility = nullptr);
    // Finishes the document with the image on a page and returns the file.
    std::string Finish(int handle);
    // Discards the document (see Discard) and returns the file.
    std::string Discarded();
    // Expects that the blocks the document holds include none whose tag
    // contains one of `tags`: once a reader has returned, its state is gone.
    void ExpectNothingHeld(std::initializer_list<const char *> tags) const;
    // The message with its "%s" replaced by the image file's name.
    std::string Named(std::string message) const;
    void TearDown() override { Discard(document); }

private:
    const char *type_;
};

// Fills a free image slot as a reader of uncompressed samples would, with
// the data in one memory block (which must outlive the slot's writing); the
// caller adds what else it needs and writes the XObject. For tests of the
// XObject writer that no reader reaches.
int FillRawSlot(pdf_document *pdf, const std::vector<unsigned char> &data, int width, int height,
                int components, int bpc, int colorspace);

// Shows `image` at the origin at scale 1 on a last page of `width` x
// `height` and closes the document.
void ShowOnLastPage(pdf_document *pdf, int image, float width, float height);

// Names the instances of a parameterised test after their case's `label`.
struct ByLabel {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case> &info) const {
        return info.param.label;
    }
};

// ---- Looking into written documents ----------------------------------------------

int CountOf(const std::string &haystack, const std::string &needle);

// A stream object of an uncompressed document.
struct Stream {
    std::string dictionary;  // from "<<" to ">>"
    std::string data;
};

// The stream whose dictionary contains position `inside`, its data measured
// by its length object; empty parts where that is not found.
Stream StreamAround(const std::string &pdf, size_t inside);
// The stream of object `id`.
Stream ObjectStream(const std::string &pdf, long id);
// The first image XObject that starts after byte `from`.
Stream FirstImage(const std::string &pdf, size_t from = 0);
// Every image XObject, in the order of the file.
std::vector<Stream> ImageStreams(const std::string &pdf);
// The number of the object in which byte `at` lies, or 0.
long ObjectNumberAt(const std::string &pdf, size_t at);
// The object number of the first image XObject, or 0.
long ImageObject(const std::string &pdf);
// The stream data of object `id` decoded by qpdf (or as stored, with
// `raw`); `status` gets qpdf's exit status (0 without warnings).
std::string QpdfStreamData(const std::string &pdf_path, long id, int *status, bool raw = false);
// The four numbers of pdfinfo's MediaBox for a page.
std::vector<float> MediaBox(const std::string &pdf_path, int page);

}  // namespace foliotest
