// bindwick-cli -- binds image files into one PDF document from the command
// line, one page per image in the order given.
//
// Exit status: 0 every image became a page; 3 the document was written but
// some files were left out (not images, or not opened); 1 the document could
// not be written (library error, or the output could not be created); 2 bad
// usage (an output that is one of the images included).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "bindwick_version.h"
#include "book_writer.h"
#include "image_files.h"
#include "page_options.h"

namespace {

constexpr const char kProgram[] = "bindwick-cli";
constexpr const char kVersion[] = BINDWICK_VERSION;

enum ExitStatus {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitSomeSkipped = 3,
};

void PrintUsage(std::FILE *stream) {
    std::fprintf(stream,
        "Usage: %s -o OUT.pdf [options] IMAGE|FOLDER...\n"
        "Binds JPEG, PNG, TIFF and GIF images into one PDF, one page per\n"
        "image, each page as large as its image unless a paper size is given.\n"
        "The type of each image is read from its content. A folder stands\n"
        "for the images in it, in natural order of their names (page2 before\n"
        "page10).\n"
        "\n"
        "Options:\n"
        "  -o, --output FILE   the PDF to write; \"-\" writes to standard output\n"
        "  --title TEXT        the document's title\n"
        "  --subtitle TEXT     the document's subject\n"
        "  --author TEXT       the document's author\n"
        "  --compress N        compression level 0 (fastest) to 9 (smallest);\n"
        "                      default 6\n"
        "  --threads N         threads that compress large images, 1 to 32;\n"
        "                      default one per processor\n"
        "  --keep-alpha        keep images' transparency (alpha channels and\n"
        "                      PNG palette transparency) as soft masks; the PDF\n"
        "                      is then version 1.4\n"
        "  --all-pages         bind every page of multi-page TIFF files, not\n"
        "                      only the first\n"
        "  --auto-rotate       show JPEG and TIFF images turned as the camera\n"
        "                      recorded (EXIF/TIFF orientation); the image data\n"
        "                      stay unchanged\n"
        "  -q, --quiet         no progress line\n"
        "  -h, --help          show this help and exit\n"
        "  --version           show the version and exit\n"
        "\n"
        "Page size:\n"
        "  --pagesize SIZE     paper for every page: A4, B5 (the Japanese one,\n"
        "                      182x257mm) or WIDTHxHEIGHT such as 148mmx210mm;\n"
        "                      a ^T suffix turns it across (A4^T). Each image is\n"
        "                      placed whole and centred; the paper turns with\n"
        "                      landscape images unless its orientation is fixed\n"
        "  --landscape         paper always across\n"
        "  --portrait          paper always upright\n"
        "  --margin LENGTH     space around the image on paper; default 10mm\n"
        "  --fit into|shrink   into: images grow or shrink to fill the space\n"
        "                      (default); shrink: small images keep their size\n"
        "  --use-resolution    without --pagesize: pages take the image's size at\n"
        "                      its resolution (a 300 dpi A4 scan makes an A4\n"
        "                      page); one pixel one point when the file has none\n"
        "Lengths take a unit: pt (the default), mm, cm or in.\n"
        "\n"
        "Texts not given, or empty, are not recorded. Files that are not\n"
        "images are left out with a message. Exit status: 0 success, 1 the\n"
        "PDF could not be written, 2 bad usage, 3 written but some files\n"
        "were left out.\n",
        kProgram);
}

[[noreturn]] void UsageError(const std::string &message) {
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
    std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
    std::exit(kExitUsage);
}

struct Options {
    std::optional<std::string> output;
    std::optional<std::string> title, subtitle, author;
    int compression = 6;
    int threads = 0;  // one per processor
    bool quiet = false;
    bool keep_alpha = false;
    bool all_pages = false;
    bool auto_rotate = false;
    std::vector<std::string> images;
    bindwick::PageArguments page_arguments;
    bindwick::PageSetup page;
};

// Reads "0".."9"; anything else is a usage error.
int ParseCompression(const std::string &text) {
    if (text.size() != 1 || text[0] < '0' || text[0] > '9') {
        UsageError("--compress needs a level from 0 to 9, not '" + text + "'");
    }
    return text[0] - '0';
}

// Reads a thread count from 1 to the library's limit; anything else is a
// usage error.
int ParseThreads(const std::string &text) {
    int count = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || count > bindwick::kMaxThreads) {
            count = 0;
            break;
        }
        count = count * 10 + (c - '0');
    }
    if (count < 1 || count > bindwick::kMaxThreads) {
        UsageError("--threads needs a count from 1 to " + std::to_string(bindwick::kMaxThreads) +
                   ", not '" + text + "'");
    }
    return count;
}

// The switch of a page option without a value, or null.
bool *PageFlag(bindwick::PageArguments &page, const std::string &arg) {
    if (arg == "--landscape") return &page.landscape;
    if (arg == "--portrait") return &page.portrait;
    if (arg == "--use-resolution") return &page.use_resolution;
    return nullptr;
}

// The switch of an image option, or null.
bool *ImageFlag(Options &options, const std::string &arg) {
    if (arg == "--keep-alpha") return &options.keep_alpha;
    if (arg == "--all-pages") return &options.all_pages;
    if (arg == "--auto-rotate") return &options.auto_rotate;
    return nullptr;
}

Options ParseOptions(int argc, char **argv) {
    Options options;
    bool only_images = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (only_images || arg == "-" || arg.empty() || arg[0] != '-') {
            options.images.push_back(arg);
            continue;
        }
        if (arg == "--") {
            only_images = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            PrintUsage(stdout);
            std::exit(kExitOk);
        }
        if (arg == "--version") {
            std::printf("%s %s\n", kProgram, kVersion);
            std::exit(kExitOk);
        }
        if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (bool *flag = ImageFlag(options, arg)) {
            *flag = true;
            continue;
        }
        if (bool *flag = PageFlag(options.page_arguments, arg)) {
            *flag = true;
            continue;
        }

        // Options with a value: "--name VALUE", "--name=VALUE", "-oVALUE".
        std::string name = arg;
        std::optional<std::string> value;
        if (arg.rfind("--", 0) == 0) {
            std::size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                name = arg.substr(0, equals);
                value = arg.substr(equals + 1);
            }
        } else if (arg.size() > 2) {
            name = arg.substr(0, 2);
            value = arg.substr(2);
        }
        std::optional<std::string> *target = nullptr;
        if (name == "-o" || name == "--output") target = &options.output;
        else if (name == "--title") target = &options.title;
        else if (name == "--subtitle") target = &options.subtitle;
        else if (name == "--author") target = &options.author;
        else if (name == "--pagesize") target = &options.page_arguments.pagesize;
        else if (name == "--margin") target = &options.page_arguments.margin;
        else if (name == "--fit") target = &options.page_arguments.fit;
        else if (name != "--compress" && name != "--threads")
            UsageError("unknown option '" + arg + "'");

        if (!value) {
            if (i + 1 >= argc) UsageError("option '" + name + "' needs a value");
            value = argv[++i];
        }
        if (target != nullptr) {
            *target = *value;
        } else if (name == "--threads") {
            options.threads = ParseThreads(*value);
        } else {
            options.compression = ParseCompression(*value);
        }
    }
    if (!options.output) UsageError("no output file given (-o OUT.pdf)");
    if (options.output->empty()) UsageError("the output file name is empty");
    if (options.images.empty()) UsageError("no images given");
    std::string page_error;
    const auto page = bindwick::MakePageSetup(options.page_arguments, page_error);
    if (!page) UsageError(page_error);
    options.page = *page;
    return options;
}

// The image among `images` that is the file `output` names, whatever the
// spelling of either path (links included); null when there is none. The
// finished book replaces the output file, so such an image would be lost.
const bindwick::FileEntry *ImageAtOutput(const std::vector<bindwick::FileEntry> &images,
                                         const std::string &output) {
    struct stat target;
    if (output == "-" || stat(output.c_str(), &target) != 0) return nullptr;
    for (const bindwick::FileEntry &image : images) {
        struct stat info;
        if (stat(image.path.c_str(), &info) == 0 && info.st_dev == target.st_dev &&
            info.st_ino == target.st_ino)
            return &image;
    }
    return nullptr;
}

// Reports to standard error; the progress line is drawn only on a terminal
// and is cleared before any message so that messages stand on their own
// lines.
class TerminalReporter : public bindwick::BookReporter {
public:
    explicit TerminalReporter(bool show_progress) : show_progress_(show_progress) {}

    void ProgressStart(std::size_t count) override {
        count_ = count;
        DrawProgress(0);
    }
    void ProgressStep(std::size_t done) override { DrawProgress(done); }

    void ImageNotOpened(const bindwick::RejectedFile &image,
                        const std::string &) override {
        LeftOut(image);
    }
    void LeftOut(const bindwick::RejectedFile &file) {
        const std::string page =
            file.page > 0 ? " (page " + std::to_string(file.page) + ")" : "";
        const std::string reason = file.detail.empty()
                                       ? bindwick::ImageProblemTextEnglish(file.problem)
                                       : file.detail;
        Message("cannot open image '" + file.path + "'" + page + ": " + reason +
                "; it was left out");
    }
    void OutputNotCreated(const std::string &path, const std::string &) override {
        Message("cannot create '" + path + "'");
    }
    // Told after the run, when it is known whether any image could be bound.
    void LibraryError(const std::string &, const std::string &) override {}
    void BookWritten(const std::string &, const std::string &) override {
        ClearProgress();
    }

    void Message(const std::string &text) {
        ClearProgress();
        std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    }

private:
    void DrawProgress(std::size_t done) {
        if (!show_progress_) return;
        std::fprintf(stderr, "\r%s: page %zu of %zu", kProgram, done, count_);
        std::fflush(stderr);
        drawn_ = true;
    }
    void ClearProgress() {
        if (!drawn_) return;
        std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }

    bool show_progress_;
    bool drawn_ = false;
    std::size_t count_ = 0;
};

}  // namespace

int main(int argc, char **argv) {
    const Options options = ParseOptions(argc, argv);

    bindwick::BookRequest request;
    request.output_path = *options.output;
    request.title = options.title;
    request.subtitle = options.subtitle;
    request.author = options.author;
    request.compression = options.compression;
    request.threads = options.threads;
    request.page = options.page;
    request.keep_alpha = options.keep_alpha;
    request.all_pages = options.all_pages;
    request.use_orientation = options.auto_rotate;
    bindwick::GatheredImages gathered = bindwick::GatherImages(options.images);
    if (const bindwick::FileEntry *image = ImageAtOutput(gathered.images, request.output_path))
        UsageError("the output '" + request.output_path + "' is the image '" + image->path +
                   "'; the book would replace it");
    request.entries = std::move(gathered.images);

    TerminalReporter reporter(!options.quiet && isatty(STDERR_FILENO));
    for (const bindwick::RejectedFile &file : gathered.rejected) reporter.LeftOut(file);
    bindwick::BookWriter writer(reporter);
    const bindwick::BookResult result = writer.Write(request);

    switch (result.outcome) {
    case bindwick::BookOutcome::kWritten:
        return result.not_opened.empty() && gathered.rejected.empty() ? kExitOk
                                                                      : kExitSomeSkipped;
    case bindwick::BookOutcome::kLibraryError:
        // With every image left out the library has no page to close the
        // document with; say so in the user's terms.
        if (result.pages == 0 && result.not_opened.size() >= request.entries.size())
            reporter.Message("none of the images could be bound; nothing was written");
        else
            reporter.Message("the PDF library reported an error: " + result.library_message);
        break;
    case bindwick::BookOutcome::kOutputNotCreated:
    case bindwick::BookOutcome::kStopped:
        break;
    }
    return kExitFailed;
}
