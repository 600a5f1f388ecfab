// The book writer: turns an ordered list of image files into one PDF
// document through the Folio wrapper, one page per image, each page as large
// as its image or of the chosen paper size (page_layout.h). It knows nothing
// of windows or terminals; it tells
// its front end what happens through a BookReporter.
//
// Output safety: the document is written to a staging file in the output's
// folder (StagingFile: unnamed where the file system allows) and takes the
// output's name only after the library closed it successfully. On any
// failure, and when the run is stopped, the staging file goes away, so no
// partial document is left behind and an existing file at the output path
// keeps its contents. The output path "-" streams the document to standard
// output.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "file_list.h"
#include "folio.hpp"
#include "image_files.h"
#include "page_layout.h"

namespace bindwick {

// User-visible texts of a run (UTF-8). Paths are glued directly in front of
// the two suffixes.
extern const char kImageNotOpenedSuffix[];    // "を開けませんでした。"
extern const char kOutputNotCreatedSuffix[];  // "を作成できません。"
extern const char kLibraryErrorPrefix[];      // "Folio においてエラーが発生しました: \n"
extern const char kBookWrittenText[];         // "PDFファイルの生成に成功しました！！"

// What one run is given. Texts are UTF-8.
struct BookRequest {
    std::string output_path;         // "-" for standard output
    std::vector<FileEntry> entries;  // page order
    // The information texts, recorded without surrounding white space
    // (ASCII, no-break and ideographic spaces); an absent text, and one
    // that is empty or only white space, is not recorded at all.
    std::optional<std::string> title;
    std::optional<std::string> subtitle;  // recorded as Subject
    std::optional<std::string> author;
    int compression = 6;  // Flate level 0..9
    int threads = 0;      // threads that compress large images; 0: one per CPU
    PageSetup page;       // page sizes; by default each image's pixel size
    // Images' alpha channels (and palette PNGs' transparency) become soft
    // masks; the document is then PDF 1.4. Otherwise alpha is dropped.
    bool keep_alpha = false;
    // Every page of a multi-page TIFF file is bound, not only the first.
    bool all_pages = false;
    // Pages show images turned as the camera recorded (JPEG Exif and TIFF
    // orientation); the image data stay as stored.
    bool use_orientation = false;
};

// The most threads a run compresses on.
constexpr int kMaxThreads = 32;

// The threads a run with `requested` threads uses: that many, or one per
// processor for 0, at most kMaxThreads.
int CompressionThreads(int requested);

enum class BookOutcome {
    kWritten,           // the document is complete at the output path
    kOutputNotCreated,  // the output could not be created or put in place
    kLibraryError,      // the library reported an error; the run stopped
    kStopped,           // the reporter asked to stop; nothing was written
};

struct BookResult {
    BookOutcome outcome = BookOutcome::kWritten;
    int pages = 0;                          // pages written
    std::vector<RejectedFile> not_opened;   // images skipped, in list order
    std::string library_message;            // the library's text on kLibraryError
};

// The front end's side of a run. Each message method receives the facts and
// the finished user-visible text; how to show it is the front end's choice.
class BookReporter {
public:
    virtual ~BookReporter() = default;

    // Called once before the first entry with the number of entries (the
    // progress position is 0), then after every entry with the number of
    // entries done.
    virtual void ProgressStart(std::size_t count) = 0;
    virtual void ProgressStep(std::size_t done) = 0;
    // Called before entry `index` (from 0) is bound.
    virtual void EntryStarted(std::size_t /*index*/, const std::string & /*path*/) {}

    // Asked before every entry and before the document is finished; true
    // stops the run: the document is dropped and nothing is reported but
    // the kStopped outcome. May be called from the writing thread while
    // another thread asks for the stop.
    virtual bool StopRequested() { return false; }

    // An image the library could not open, with the reason the file shows;
    // the run goes on without its page. No icon, no title.
    virtual void ImageNotOpened(const RejectedFile &image,
                                const std::string &text) = 0;
    // The output could not be created; nothing was written. Stop icon, no
    // title.
    virtual void OutputNotCreated(const std::string &path,
                                  const std::string &text) = 0;
    // A library error stopped the run. Stop icon, no title.
    virtual void LibraryError(const std::string &library_message,
                              const std::string &text) = 0;
    // The document is complete. Information icon, the output path as title.
    virtual void BookWritten(const std::string &path,
                             const std::string &text) = 0;
};

class BookWriter {
public:
    explicit BookWriter(BookReporter &reporter) : reporter_(reporter) {}

    // Runs one book: creates the document, records Creator and the given
    // texts, adds a page per entry in order and closes the document.
    // Exactly one of OutputNotCreated, LibraryError and BookWritten is
    // reported at the end, unless the reporter stopped the run.
    BookResult Write(const BookRequest &request);

    // Opens the image, makes a page laid out by `page` (by default the
    // image's size, the image at the origin with scale 1) and closes the
    // image. With `use_orientation` the page shows the image turned as its
    // file records; `page_number` (from 1) picks a page of a TIFF file, 0
    // the file's first. Returns false (after reporting ImageNotOpened) when
    // the library could not open the image. Library errors pass through as
    // Folio exceptions.
    bool AddImagePage(Folio &folio, const std::string &path,
                      const std::string &type, const PageSetup &page = {},
                      bool use_orientation = false, int page_number = 0);

    // The 13-character program name, kept shifted in the program's data.
    static std::string GetCreatorName();
    // The Creator entry: the program name, " ver." and the version.
    static std::string CreatorText();

private:
    // Creator and the given texts, trimmed; empty ones are left out.
    void RecordTexts(Folio &folio, const BookRequest &request);
    // The image at `path` (page `page_number` of it, or all with 0), which
    // the library did not open for the reason `detail` (may be empty), and
    // what the file itself shows.
    static RejectedFile NotOpened(const std::string &path, int page_number,
                                  const std::string &detail);
    // A page per entry; false when the reporter asked to stop.
    bool BindEntries(Folio &folio, const BookRequest &request, BookResult &result);
    // The pages of one entry: every page of a multi-page TIFF file with
    // `all_pages`, else one. A page not opened is left out and recorded.
    void BindEntry(Folio &folio, const BookRequest &request, const FileEntry &entry,
                   BookResult &result);

    BookReporter &reporter_;
    // The image AddImagePage did not open last.
    RejectedFile last_not_opened_;
};

// The information text as the library takes it: unchanged when it is ASCII,
// otherwise UTF-16BE starting with FE FF and ending with a zero unit (the
// returned string holds that unit; c_str() adds one more zero byte).
// Malformed UTF-8 sequences become U+FFFD.
std::string InfoText(const std::string &utf8);

// `utf8` without the white space at either end: ASCII blanks and control
// characters, U+00A0 and U+3000.
std::string TrimmedText(const std::string &utf8);

}  // namespace bindwick
