// Shared pieces of the fuzz targets: a document whose error handler jumps
// back, output collected in memory, scratch files for the readers (which read
// only from files), and a structural check of a finished document.
//
// The targets treat a fatal library error as an acceptable answer to a bad
// input; what they must never see is a crash, a leak, a hang, a huge
// allocation or a finished document whose structure is broken. A broken
// structure aborts the process so that libFuzzer (or the replay runner)
// reports the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzsupport {

// One image to bind as a page. For kind "ccitt" the file holds raw fax data
// and the four numbers are PDF_open_CCITT's arguments; otherwise `kind` is
// the type text for PDF_open_image_file.
struct PageSource {
    std::string kind;
    std::string path;
    int width = 0;
    int height = 0;
    int bit_reverse = 0;
    int k = 0;
    int black_is_1 = 0;
};

// Document settings a target may vary.
struct BookOptions {
    const char *compatibility = "1.3";
    int compression = 6;
    bool keep_alpha = false;  // sets "keepalpha" 
};

// What a run produced.
struct BookOutcome {
    bool fatal_error = false;     // a fatal library error ended the run
    int fatal_type = 0;
    std::string fatal_message;
    int pages = 0;                // images the readers accepted
    std::string pdf;              // the finished document; empty after an error
};

// Binds each source as one page (opened, page of the image's size, placed
// at the origin with scale 1, closed), the way the book writer does, into a
// document written to memory, and closes it (on a blank page when every
// image was refused).
// Image warnings are switched on so that their texts are formatted too.
// The memory hooks abort on a block beyond the readers' own bound (1 GiB of
// decoded image) and on a libpng block beyond 64 MiB.
BookOutcome BindBook(const std::vector<PageSource> &sources,
                     const BookOptions &options = BookOptions());

// Checks the file structure of a finished document: the header, startxref
// pointing at the cross-reference table, every in-use entry pointing at
// "<n> 0 obj", the trailer's /Size matching the table and its /Root and
// /Info naming objects of the table, every stream's /Length reaching its
// "endstream", Flate and LZW data decoding to their end and JPEG data
// holding an end-of-image marker. Returns an empty text when sound,
// otherwise what is wrong.
std::string CheckStructure(const std::string &pdf);

// BindBook, then CheckStructure of any finished document; aborts with a
// message when the structure is broken. With the environment variable
// BINDWICK_FUZZ_VERBOSE set, it prints the library's warnings and the
// outcome to standard error.
BookOutcome BindAndCheck(const std::vector<PageSource> &sources,
                         const BookOptions &options = BookOptions());

// A scratch file of this process, number `index`, holding `size` bytes of
// `data`; returns its path. BindAndCheck removes the files when it is done
// (and so does the end of the process).
std::string ScratchFile(int index, const uint8_t *data, size_t size);

}  // namespace fuzzsupport

// libFuzzer's entry point, defined by each target.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
