// book_writer.cpp -- one book run: staging file, document, pages, commit.
#include "book_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <thread>

#include "bindwick_version.h"
#include "image_probe.h"
#include "staging_file.h"

namespace bindwick {

const char kImageNotOpenedSuffix[] = "を開けませんでした。";
const char kOutputNotCreatedSuffix[] = "を作成できません。";
const char kLibraryErrorPrefix[] = "Folio においてエラーが発生しました: \n";
const char kBookWrittenText[] = "PDFファイルの生成に成功しました！！";

namespace {

constexpr const char kStandardOutput[] = "-";
constexpr const char kVersion[] = BINDWICK_VERSION;

// The program name, each byte one less than the character it stands for.
constexpr std::size_t kCreatorNameLength = 13;
constexpr char kStoredCreatorName[kCreatorNameLength + 1] = {
    'A', 'h', 'm', 'c', 'v', 'h', 'b', 'j', '\x1f', 'A', 'n', 'n', 'j', '\0'};

// The file the document finally replaces: the output path itself, or the
// file a symbolic link at that path points to, so that the link survives.
std::string ReplacementTarget(const std::string &output) {
    std::string target = output;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        std::string link(static_cast<std::size_t>(info.st_size) + 256, '\0');
        ssize_t length = readlink(target.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<std::size_t>(length) >= link.size()) break;
        link.resize(static_cast<std::size_t>(length));
        if (!link.empty() && link[0] != '/') {
            std::size_t slash = target.rfind('/');
            if (slash != std::string::npos) link = target.substr(0, slash + 1) + link;
        }
        target = link;
    }
    return target;
}

// ---- Placement -------------------------------------------------------------

// The smallest scale handed to the library's placement, which refuses
// factors below 1.5e-5 as zero.
constexpr double kLeastPlacementScale = 2e-5;

// Draws the image into the rectangle of `layout`. With one factor for both
// directions that is a single placement. Otherwise the coordinate system is
// stretched first along the direction with the larger factor, so that the
// stretch written is at least 1 and keeps its precision in the file's
// four decimals.
void PlaceImage(Folio &folio, int image, const ImageFacts &facts,
                const PageLayout &layout) {
    const double scale_x = layout.width / facts.width;
    const double scale_y = layout.height / facts.height;
    const double scale = std::max(std::min(scale_x, scale_y), kLeastPlacementScale);
    const float stretch_x = static_cast<float>(scale_x / scale);
    const float stretch_y = static_cast<float>(scale_y / scale);
    const auto x = static_cast<float>(layout.x);
    const auto y = static_cast<float>(layout.y);
    if (stretch_x == 1.0f && stretch_y == 1.0f) {
        folio.place_image(image, x, y, static_cast<float>(scale));
        return;
    }
    folio.save();
    folio.scale(stretch_x, stretch_y);
    folio.place_image(image, x / stretch_x, y / stretch_y, static_cast<float>(scale));
    folio.restore();
}

// The image as its file says to show it: width and height (and their
// resolutions) swap for the orientations 5 to 8, which turn it a quarter.
ImageFacts ShownFacts(const ImageFacts &stored, int orientation) {
    if (orientation < 5) return stored;
    return {stored.height, stored.width, stored.resolution_y, stored.resolution_x};
}

// Draws the image turned and mirrored as `orientation` (the Exif and TIFF
// values 2 to 8) says, filling the rectangle of `layout`. A matrix of
// quarter turns and mirrors, with the rectangle's corners as offsets, carries
// the image's box as stored onto that rectangle; inside it the image is
// placed as usual, so its scale keeps all its precision.
void PlaceOriented(Folio &folio, int image, const ImageFacts &stored,
                   const PageLayout &layout, int orientation) {
    const auto x = static_cast<float>(layout.x);
    const auto y = static_cast<float>(layout.y);
    const auto right = static_cast<float>(layout.x + layout.width);
    const auto top = static_cast<float>(layout.y + layout.height);
    const float matrices[8][6] = {
        {1, 0, 0, 1, x, y},      {-1, 0, 0, 1, right, y},  {-1, 0, 0, -1, right, top},
        {1, 0, 0, -1, x, top},   {0, -1, -1, 0, right, top}, {0, -1, 1, 0, x, top},
        {0, 1, 1, 0, x, y},      {0, 1, -1, 0, right, y},
    };
    const float *m = matrices[orientation - 1];
    PageLayout box;
    box.width = orientation < 5 ? layout.width : layout.height;
    box.height = orientation < 5 ? layout.height : layout.width;
    folio.save();
    folio.concat(m[0], m[1], m[2], m[3], m[4], m[5]);
    PlaceImage(folio, image, stored, box);
    folio.restore();
}

void AppendUtf16(std::string &out, unsigned unit) {
    out.push_back(static_cast<char>(unit >> 8));
    out.push_back(static_cast<char>(unit & 0xFF));
}

}  // namespace

std::string InfoText(const std::string &utf8) {
    bool ascii = true;
    for (unsigned char c : utf8) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) return utf8;

    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8.data());
    const std::size_t size = utf8.size();
    std::string out = "\xFE\xFF";
    std::size_t i = 0;
    while (i < size) {
        unsigned c = bytes[i];
        unsigned code = 0xFFFD;
        std::size_t length = 1;
        unsigned minimum = 0;
        if (c < 0x80) {
            code = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2, code = c & 0x1F, minimum = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3, code = c & 0x0F, minimum = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4, code = c & 0x07, minimum = 0x10000;
        }
        if (length > 1) {
            std::size_t taken = 1;
            while (taken < length && i + taken < size &&
                   (bytes[i + taken] & 0xC0) == 0x80) {
                code = (code << 6) | (bytes[i + taken] & 0x3F);
                ++taken;
            }
            if (taken < length || code < minimum || code > 0x10FFFF ||
                (code >= 0xD800 && code <= 0xDFFF)) {
                // Skip the lead byte and the continuation bytes that belong
                // to the broken sequence, as one replacement character.
                code = 0xFFFD;
            }
            length = taken;
        }
        // A zero unit would end the text early in the library.
        if (code == 0) code = 0xFFFD;
        if (code >= 0x10000) {
            code -= 0x10000;
            AppendUtf16(out, 0xD800 | (code >> 10));
            AppendUtf16(out, 0xDC00 | (code & 0x3FF));
        } else {
            AppendUtf16(out, code);
        }
        i += length;
    }
    AppendUtf16(out, 0);
    return out;
}

namespace {

// The length of the white-space character at `at`, 0 when there is none.
std::size_t SpaceLength(const std::string &text, std::size_t at) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c <= 0x20 || c == 0x7F) return 1;
    if (text.compare(at, 2, "\xC2\xA0") == 0) return 2;      // no-break space
    if (text.compare(at, 3, "\xE3\x80\x80") == 0) return 3;  // ideographic space
    return 0;
}

// The length of the white-space character that ends at `end`, 0 when none.
std::size_t SpaceLengthBefore(const std::string &text, std::size_t end) {
    for (std::size_t length : {1u, 2u, 3u}) {
        if (end >= length && SpaceLength(text, end - length) == length) return length;
    }
    return 0;
}

}  // namespace

std::string TrimmedText(const std::string &utf8) {
    std::size_t begin = 0, end = utf8.size();
    while (begin < end) {
        const std::size_t length = SpaceLength(utf8, begin);
        if (length == 0) break;
        begin += length;
    }
    while (end > begin) {
        const std::size_t length = SpaceLengthBefore(utf8, end);
        if (length == 0) break;
        end -= length;
    }
    return utf8.substr(begin, end - begin);
}

int CompressionThreads(int requested) {
    int count = requested > 0 ? requested
                              : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(count, 1, kMaxThreads);
}

std::string BookWriter::GetCreatorName() {
    char buffer[16] = {};
    std::memcpy(buffer, kStoredCreatorName, sizeof kStoredCreatorName);
    for (std::size_t i = 0; i < kCreatorNameLength; ++i) {
        buffer[i] = static_cast<char>(buffer[i] + 1);
    }
    return std::string(buffer);
}

std::string BookWriter::CreatorText() {
    return GetCreatorName() + " ver." + kVersion;
}

RejectedFile BookWriter::NotOpened(const std::string &path, int page_number,
                                   const std::string &detail) {
    // A file gone or unreadable since it was listed says more than the
    // reader's complaint about it.
    ImageProblem problem = CheckImageFile(path).problem;
    if (problem != ImageProblem::kNone) return {path, problem, page_number};
    return {path, ImageProblem::kDamaged, page_number, detail};
}

bool BookWriter::AddImagePage(Folio &folio, const std::string &path,
                              const std::string &type, const PageSetup &page,
                              bool use_orientation, int page_number) {
    std::string refusal;
    const int image = page_number > 0
                          ? folio.open_image_file(type, path, "page", page_number, refusal)
                          : folio.open_image_file(type, path, "", 0, refusal);
    if (image == -1) {
        const std::string which =
            page_number > 0 ? "の" + std::to_string(page_number) + "ページ目" : "";
        last_not_opened_ = NotOpened(path, page_number, refusal);
        reporter_.ImageNotOpened(last_not_opened_, path + which + kImageNotOpenedSuffix);
        return false;
    }
    const auto handle = static_cast<float>(image);
    const ImageFacts facts{folio.get_value("imagewidth", handle),
                           folio.get_value("imageheight", handle),
                           folio.get_value("resx", handle),
                           folio.get_value("resy", handle)};
    const int orientation =
        use_orientation ? static_cast<int>(folio.get_value("orientation", handle)) : 1;
    const PageLayout layout = LayOutPage(ShownFacts(facts, orientation), page);
    folio.begin_page(static_cast<float>(layout.page_width),
                     static_cast<float>(layout.page_height));
    if (orientation > 1 && orientation <= 8) {
        PlaceOriented(folio, image, facts, layout, orientation);
    } else {
        PlaceImage(folio, image, facts, layout);
    }
    folio.close_image(image);
    folio.end_page();
    return true;
}

void BookWriter::RecordTexts(Folio &folio, const BookRequest &request) {
    folio.set_info("Creator", CreatorText());
    const std::pair<const char *, const std::optional<std::string> &> texts[] = {
        {"Title", request.title}, {"Subject", request.subtitle}, {"Author", request.author}};
    for (const auto &[key, text] : texts) {
        if (!text) continue;
        const std::string trimmed = TrimmedText(*text);
        if (!trimmed.empty()) folio.set_info(key, InfoText(trimmed));
    }
}

bool BookWriter::BindEntries(Folio &folio, const BookRequest &request,
                             BookResult &result) {
    const std::vector<FileEntry> &entries = request.entries;
    const std::size_t count = entries.size();
    reporter_.ProgressStart(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (reporter_.StopRequested()) return false;
        const FileEntry &entry = entries[i];
        reporter_.EntryStarted(i, entry.path);
        BindEntry(folio, request, entry, result);
        reporter_.ProgressStep(i + 1);
    }
    return !reporter_.StopRequested();
}

void BookWriter::BindEntry(Folio &folio, const BookRequest &request, const FileEntry &entry,
                           BookResult &result) {
    auto bind = [&](int page_number) {
        if (AddImagePage(folio, entry.path, entry.type, request.page, request.use_orientation,
                         page_number)) {
            ++result.pages;
        } else {
            result.not_opened.push_back(last_not_opened_);
        }
    };
    const int pages =
        request.all_pages && entry.type == "tiff" ? TiffPageCount(entry.path) : 1;
    // A file of one page is opened as ever, so that its page stays as it was.
    if (pages == 1) {
        bind(0);
        return;
    }
    for (int page_number = 1; page_number <= pages; ++page_number) {
        if (page_number > 1 && reporter_.StopRequested()) return;
        bind(page_number);
    }
}

BookResult BookWriter::Write(const BookRequest &request) {
    BookResult result;
    const std::string &output = request.output_path;
    const bool to_stdout = output == kStandardOutput;

    auto output_not_created = [&] {
        result.outcome = BookOutcome::kOutputNotCreated;
        reporter_.OutputNotCreated(output, output + kOutputNotCreatedSuffix);
        return result;
    };

    // Declared before the document so that the document (and the library's
    // handle on the file) is gone before the file is removed.
    StagingFile staging;
    std::string target;
    if (!to_stdout) {
        if (output.empty()) return output_not_created();
        target = ReplacementTarget(output);
        if (!staging.Create(target)) return output_not_created();
    }

    std::optional<Folio> folio;
    try {
        folio.emplace(nullptr, nullptr, nullptr, nullptr);
        // Only before the document is opened; left alone, books stay PDF 1.3.
        if (request.keep_alpha) folio->set_parameter("keepalpha", "true");
        if (folio->open_file(to_stdout ? output : staging.path()) == -1) {
            folio.reset();
            return output_not_created();
        }
        folio->set_value("compress", static_cast<float>(request.compression));
        // Decoded images: row filters halve them, and large ones are
        // compressed on every processor. The document does not depend on
        // the thread count.
        folio->set_parameter("imagepredictor", "true");
        folio->set_value("compressthreads",
                         static_cast<float>(CompressionThreads(request.threads)));
        RecordTexts(*folio, request);
        if (!BindEntries(*folio, request, result)) {
            folio.reset();
            result.outcome = BookOutcome::kStopped;
            return result;
        }
        folio->close();
        folio.reset();
    } catch (const Folio::Exception &error) {
        folio.reset();
        result.outcome = BookOutcome::kLibraryError;
        result.library_message = error.get_message();
        reporter_.LibraryError(result.library_message,
                               kLibraryErrorPrefix + result.library_message);
        return result;
    }

    if (!to_stdout && !staging.CommitTo(target)) return output_not_created();

    result.outcome = BookOutcome::kWritten;
    reporter_.BookWritten(output, kBookWrittenText);
    return result;
}

}  // namespace bindwick
