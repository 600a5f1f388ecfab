// fuzz_support.cpp -- the document harness, scratch files and the structure
// check shared by the fuzz targets.
#include "fuzz_support.h"

#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <zlib.h>

#include "folio.h"

namespace fuzzsupport {

namespace {

// The client data of a fuzzed document.
struct Session {
    std::jmp_buf jump;
    int fatal_type = 0;
    char fatal_message[256] = "";
    std::string output;
};

void JumpBack(pdf_document *document, int type, const char *message) {
    static const bool verbose = std::getenv("BINDWICK_FUZZ_VERBOSE") != nullptr;
    if (type == PDF_ERR_NONFATAL) {
        if (verbose) std::fprintf(stderr, "warning: %s\n", message);
        return;
    }
    auto *session = static_cast<Session *>(PDF_get_client_data(document));
    session->fatal_type = type;
    std::snprintf(session->fatal_message, sizeof session->fatal_message, "%s", message);
    std::longjmp(session->jump, 1);
}

size_t Collect(pdf_document *document, void *data, size_t count) {
    auto *session = static_cast<Session *>(PDF_get_client_data(document));
    session->output.append(static_cast<const char *>(data), count);
    return count;
}

// The largest block any routine may ask for: the readers refuse decoded
// images beyond 1 GiB, and nothing else needs as much.
constexpr size_t kMaxBlock = (size_t{1} << 30) + (size_t{1} << 26);
// libpng's own blocks are rows and chunk data; the decoded image is the
// reader's. A file of a few bytes must not make it ask for more.
constexpr size_t kMaxLibpngBlock = size_t{64} << 20;

void CheckBlockSize(size_t size, const char *routine) {
    const bool libpng = routine != nullptr && std::strcmp(routine, "libpng") == 0;
    if (size > kMaxBlock || (libpng && size > kMaxLibpngBlock)) {
        std::fprintf(stderr, "huge allocation: %zu bytes for %s\n", size,
                     routine != nullptr ? routine : "?");
        std::abort();
    }
}

void *Allocate(pdf_document *, size_t size, const char *routine) {
    CheckBlockSize(size, routine);
    return std::malloc(size);
}

void *Reallocate(pdf_document *, void *block, size_t size, const char *routine) {
    CheckBlockSize(size, routine);
    return std::realloc(block, size);
}

void Release(pdf_document *, void *block) { std::free(block); }

int OpenSource(pdf_document *document, const PageSource &source) {
    if (source.kind == "ccitt") {
        return PDF_open_CCITT(document, source.path.c_str(), source.width,
                              source.height, source.bit_reverse, source.k,
                              source.black_is_1);
    }
    return PDF_open_image_file(document, source.kind.c_str(),
                               source.path.c_str(), "", 0);
}

// The frame that an error handler's longjmp returns to. It holds no object
// with a destructor, so leaving the library by longjmp skips nothing.
// Returns the number of pages, or -1 after a fatal error (the document is
// deleted either way).
int RunBook(Session *session, const PageSource *sources, size_t count,
            const BookOptions *options) {
    pdf_document *volatile document =
        PDF_new_with_handlers(JumpBack, Allocate, Reallocate, Release, session);
    volatile int pages = 0;
    if (document == nullptr) return -1;
    if (setjmp(session->jump) != 0) {
        PDF_delete(document);
        return -1;
    }
    PDF_set_parameter(document, "imagewarning", "true");
    PDF_set_parameter(document, "compatibility", options->compatibility);
    if (options->keep_alpha) PDF_set_parameter(document, "keepalpha", "true");
    PDF_open_mem(document, Collect);
    PDF_set_value(document, "compress", static_cast<float>(options->compression));
    for (size_t i = 0; i < count; ++i) {
        const int image = OpenSource(document, sources[i]);
        if (image == -1) continue;
        const float width = PDF_get_value(document, "imagewidth", static_cast<float>(image));
        const float height = PDF_get_value(document, "imageheight", static_cast<float>(image));
        PDF_begin_page(document, width, height);
        PDF_place_image(document, image, 0.0f, 0.0f, 1.0f);
        PDF_close_image(document, image);
        PDF_end_page(document);
        pages = pages + 1;
    }
    // A document whose images were all refused still gets closed, on a
    // blank page, so that whatever a refusing reader left behind (reserved
    // object numbers, say) is checked as well.
    if (pages == 0) {
        PDF_begin_page(document, 10.0f, 10.0f);
        PDF_end_page(document);
    }
    PDF_close(document);
    PDF_delete(document);
    return pages;
}

std::vector<std::string> &ScratchPaths() {
    static std::vector<std::string> paths;
    return paths;
}

void RemoveScratchFiles() {
    for (const std::string &path : ScratchPaths()) {
        if (!path.empty()) std::remove(path.c_str());
    }
}

std::string ScratchFolder() {
    if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
    const char *tmp = std::getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

// Reads a decimal number of exactly `digits` digits at `at`; -1 if absent.
long Digits(const std::string &text, size_t at, size_t digits) {
    if (at + digits > text.size()) return -1;
    long value = 0;
    for (size_t i = 0; i < digits; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Reads a decimal number of any length at `at` and moves `at` past it.
long Number(const std::string &text, size_t *at) {
    size_t i = *at;
    long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - *at < 12)
        value = value * 10 + (text[i++] - '0');
    if (i == *at) return -1;
    *at = i;
    return value;
}

bool Expect(const std::string &text, size_t *at, const char *literal) {
    const size_t length = std::strlen(literal);
    if (text.compare(*at, length, literal) != 0) return false;
    *at += length;
    return true;
}

// The object number of an "/<key> <n> 0 R" entry in the trailer; -1 if absent.
long TrailerReference(const std::string &trailer, const char *key) {
    const std::string head = std::string("/") + key + " ";
    size_t at = trailer.find(head);
    if (at == std::string::npos) return -1;
    at += head.size();
    const long number = Number(trailer, &at);
    if (!Expect(trailer, &at, " 0 R")) return -1;
    return number;
}

// True when zlib decodes `data` to the end of its stream.
bool FlateDecodes(const std::string &data) {
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit(&stream) != Z_OK) return false;
    unsigned char out[4096];
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    int status;
    do {
        stream.next_out = out;
        stream.avail_out = sizeof out;
        status = inflate(&stream, Z_NO_FLUSH);
    } while (status == Z_OK);
    inflateEnd(&stream);
    return status == Z_STREAM_END;
}

// True when `data` decodes as PDF LZW data (9 to 12 bit codes, most
// significant bit first; `early_change` as the decode parameter says).
// A plain decoder with a string table, written apart from the library's.
bool LzwDecodes(const std::string &data, bool early_change) {
    std::vector<std::string> table;
    auto reset = [&] {
        table.assign(258, std::string());
        for (int i = 0; i < 256; ++i) table[i] = std::string(1, static_cast<char>(i));
    };
    reset();
    std::string previous;
    bool have_previous = false;
    int width = 9;
    uint32_t bits = 0;
    int count = 0;
    for (unsigned char byte : data) {
        bits = (bits << 8 | byte) & 0xFFFFFF;
        count += 8;
        while (count >= width) {
            count -= width;
            const size_t code = (bits >> count) & ((1u << width) - 1);
            if (code == 256) {
                reset();
                width = 9;
                have_previous = false;
                continue;
            }
            if (code == 257) return true;
            std::string entry;
            if (code < table.size() && code != 256 && code != 257) {
                entry = table[code];
            } else if (code == table.size() && have_previous) {
                entry = previous + previous[0];
            } else {
                return false;
            }
            if (have_previous) {
                if (table.size() == 4096) return false;
                table.push_back(previous + entry[0]);
            }
            const size_t next = table.size() + (early_change ? 1 : 0);
            if (next == 512 || next == 1024 || next == 2048) ++width;
            previous = entry;
            have_previous = true;
        }
    }
    return true;
}

// The text from `at` up to (not including) `end`, or to the end of `text`.
std::string Between(const std::string &text, size_t at, const std::string &end) {
    const size_t stop = text.find(end, at);
    return text.substr(at, stop == std::string::npos ? std::string::npos : stop - at);
}

// Checks the data of a stream object whose dictionary is `dictionary` and
// whose data start at `data_start`, given the offsets of all objects.
// Returns an empty text or the fault.
std::string CheckStreamData(const std::string &pdf, const std::string &dictionary,
                            size_t data_start, const std::vector<long> &offsets) {
    size_t at = dictionary.find("/Length ");
    if (at == std::string::npos) return "a stream without /Length";
    at += 8;
    long length = Number(dictionary, &at);
    if (length < 0) return "a stream with a bad /Length";
    if (dictionary.compare(at, 4, " 0 R") == 0) {
        if (length < 1 || static_cast<size_t>(length) >= offsets.size())
            return "a stream whose /Length names no object";
        size_t value_at = static_cast<size_t>(offsets[static_cast<size_t>(length)]);
        value_at = pdf.find(" obj\n", value_at);
        if (value_at == std::string::npos) return "a broken length object";
        value_at += 5;
        length = Number(pdf, &value_at);
        if (length < 0) return "a length object without a number";
    }
    if (data_start + static_cast<size_t>(length) > pdf.size())
        return "a stream running past the end of the file";
    const size_t end = data_start + static_cast<size_t>(length);
    if (pdf.compare(end, 10, "endstream\n") != 0 && pdf.compare(end, 11, "\nendstream\n") != 0)
        return "a stream whose /Length does not reach endstream";

    at = dictionary.find("/Filter");
    if (at == std::string::npos) return std::string();
    std::string filters = dictionary.substr(at + 7);
    if (!filters.empty() && filters[0] == '[') filters = Between(filters, 1, "]");
    else filters = "/" + Between(filters, 1, "\n");
    const std::string data = pdf.substr(data_start, static_cast<size_t>(length));
    if (filters == "/FlateDecode" && !FlateDecodes(data))
        return "Flate data that do not decode";
    // JPEG data are not decoded here, but data cut short lack the
    // end-of-image marker.
    if (filters == "/DCTDecode" && data.find("\xFF\xD9") == std::string::npos)
        return "JPEG data without an end-of-image marker";
    if (filters == "/LZWDecode" &&
        !LzwDecodes(data, dictionary.find("/EarlyChange 0") == std::string::npos))
        return "LZW data that do not decode";
    return std::string();
}

}  // namespace

BookOutcome BindBook(const std::vector<PageSource> &sources, const BookOptions &options) {
    Session session;
    BookOutcome outcome;
    const int pages = RunBook(&session, sources.data(), sources.size(), &options);
    if (pages < 0) {
        outcome.fatal_error = true;
        outcome.fatal_type = session.fatal_type;
        outcome.fatal_message = session.fatal_message;
        return outcome;
    }
    outcome.pages = pages;
    outcome.pdf = std::move(session.output);
    return outcome;
}

std::string CheckStructure(const std::string &pdf) {
    if (pdf.compare(0, 7, "%PDF-1.") != 0) return "no PDF header";
    const char tail[] = "%%EOF\n";
    if (pdf.size() < sizeof tail ||
        pdf.compare(pdf.size() - (sizeof tail - 1), sizeof tail - 1, tail) != 0)
        return "the file does not end with %%EOF";
    const size_t startxref = pdf.rfind("startxref\n");
    if (startxref == std::string::npos) return "no startxref";
    size_t at = startxref + 10;
    const long xref = Number(pdf, &at);
    if (xref < 0 || static_cast<size_t>(xref) >= startxref)
        return "startxref gives no offset inside the file";

    at = static_cast<size_t>(xref);
    if (!Expect(pdf, &at, "xref\n0 ")) return "startxref does not point at the xref table";
    const long size = Number(pdf, &at);
    if (size < 1 || !Expect(pdf, &at, "\n")) return "bad xref subsection header";
    if (!Expect(pdf, &at, "0000000000 65535 f \n")) return "bad free entry 0";
    std::vector<long> offsets(1, 0);
    for (long id = 1; id < size; ++id) {
        const long offset = Digits(pdf, at, 10);
        offsets.push_back(offset);
        size_t field = at + 10;
        if (offset < 0 || !Expect(pdf, &field, " 00000 n \n"))
            return "bad xref entry for object " + std::to_string(id);
        at = field;
        if (offset >= xref) return "object " + std::to_string(id) + " lies past the table";
        const std::string head = std::to_string(id) + " 0 obj";
        if (pdf.compare(static_cast<size_t>(offset), head.size(), head) != 0)
            return "xref entry of object " + std::to_string(id) +
                   " does not point at its header";
        if (offset > 0 && pdf[static_cast<size_t>(offset) - 1] != '\n')
            return "object " + std::to_string(id) + " does not start a line";
    }
    if (!Expect(pdf, &at, "trailer\n")) return "no trailer after the xref table";

    // Every stream's data end where /Length says, Flate and LZW data decode
    // and JPEG data are complete: a reader would fail on them otherwise.
    for (long id = 1; id < size; ++id) {
        const size_t offset = static_cast<size_t>(offsets[static_cast<size_t>(id)]);
        const size_t body_end = pdf.find("endobj\n", offset);
        const size_t stream = pdf.find("stream\n", offset);
        if (stream == std::string::npos || stream > body_end) continue;
        const std::string dictionary = pdf.substr(offset, stream - offset);
        const std::string fault = CheckStreamData(pdf, dictionary, stream + 7, offsets);
        if (!fault.empty()) return "object " + std::to_string(id) + " holds " + fault;
    }
    const std::string trailer = pdf.substr(at, startxref - at);
    const std::string size_entry = "/Size " + std::to_string(size);
    if (trailer.find(size_entry) == std::string::npos) return "trailer /Size differs from the table";
    for (const char *key : {"Root", "Info"}) {
        const long id = TrailerReference(trailer, key);
        if (id < 1 || id >= size) return std::string("trailer /") + key + " names no object";
    }
    return std::string();
}

BookOutcome BindAndCheck(const std::vector<PageSource> &sources, const BookOptions &options) {
    BookOutcome outcome = BindBook(sources, options);
    static const bool verbose = std::getenv("BINDWICK_FUZZ_VERBOSE") != nullptr;
    if (verbose) {
        std::fprintf(stderr, "pages %d of %zu, %zu bytes; fatal error %d %s\n",
                     outcome.pages, sources.size(), outcome.pdf.size(),
                     outcome.fatal_type, outcome.fatal_message.c_str());
    }
    if (!outcome.pdf.empty()) {
        const std::string problem = CheckStructure(outcome.pdf);
        if (!problem.empty()) {
            std::fprintf(stderr, "broken document structure: %s\n", problem.c_str());
            std::abort();
        }
    }
    // libFuzzer may end the process without running exit handlers.
    RemoveScratchFiles();
    return outcome;
}

std::string ScratchFile(int index, const uint8_t *data, size_t size) {
    std::vector<std::string> &paths = ScratchPaths();
    if (paths.empty()) std::atexit(RemoveScratchFiles);
    if (static_cast<size_t>(index) >= paths.size()) paths.resize(index + 1);
    std::string &path = paths[index];
    if (path.empty()) {
        path = ScratchFolder() + "/bindwick-fuzz-" + std::to_string(getpid()) + "-" +
               std::to_string(index);
    }
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::perror(path.c_str());
        std::abort();
    }
    std::fclose(file);
    return path;
}

}  // namespace fuzzsupport
