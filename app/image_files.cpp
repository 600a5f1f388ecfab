// image_files.cpp -- recognising image files by their signatures, natural
// order, and folders of images.
#include "image_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace bindwick {

namespace {

struct Signature {
    const char *bytes;
    std::size_t length;
    const char *type;
};

// Each format's fixed leading bytes.
const Signature kSignatures[] = {
    {"\xFF\xD8\xFF", 3, "jpeg"},
    {"\x89PNG\r\n\x1A\n", 8, "png"},
    {"II*\0", 4, "tiff"},
    {"MM\0*", 4, "tiff"},
    {"II+\0", 4, "tiff"},  // BigTIFF
    {"MM\0+", 4, "tiff"},
    {"GIF87a", 6, "gif"},
    {"GIF89a", 6, "gif"},
};

// A JPEG stream may follow up to this many bytes of something else (a
// MacBinary header, say); the library finds it there.
constexpr std::size_t kJpegForeignBytes = 768;
constexpr char kJpegStart[] = "\xFF\xD8\xFF";
constexpr std::size_t kBytesLookedAt = kJpegForeignBytes + sizeof kJpegStart - 1;

struct ProblemTexts {
    ImageProblem problem;
    const char *japanese;
    const char *english;
};

const ProblemTexts kProblemTexts[] = {
    {ImageProblem::kNone, "", ""},
    {ImageProblem::kMissing, "ファイルが見つかりません", "no such file"},
    {ImageProblem::kNotPermitted, "読み取りが許可されていません", "permission denied"},
    {ImageProblem::kNotAFile, "通常のファイルではありません", "not a regular file"},
    {ImageProblem::kUnreadable, "読み取れません", "cannot be read"},
    {ImageProblem::kNotAnImage, "JPEG・PNG・TIFF・GIF のどの画像でもありません",
     "not a JPEG, PNG, TIFF or GIF image"},
    {ImageProblem::kNoImages, "画像ファイルが入っていません", "no image files in the folder"},
    {ImageProblem::kDamaged, "画像データが壊れているか、対応していない種類です",
     "damaged or unsupported image data"},
};

const ProblemTexts &TextsOf(ImageProblem problem) {
    for (const ProblemTexts &texts : kProblemTexts) {
        if (texts.problem == problem) return texts;
    }
    return kProblemTexts[0];
}

ImageProblem ProblemOfErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ImageProblem::kMissing;
    case EACCES:
    case EPERM:
        return ImageProblem::kNotPermitted;
    default:
        return ImageProblem::kUnreadable;
    }
}

// A run of digits at `at`: its value without leading zeros, and its end.
struct DigitRun {
    std::string value;
    std::size_t end;
    std::size_t zeros;
};

DigitRun ReadDigits(const std::string &text, std::size_t at) {
    DigitRun run{{}, at, 0};
    while (run.end < text.size() && text[run.end] == '0') ++run.end, ++run.zeros;
    const std::size_t significant = run.end;
    while (run.end < text.size() && std::isdigit(static_cast<unsigned char>(text[run.end])))
        ++run.end;
    run.value = text.substr(significant, run.end - significant);
    return run;
}

bool IsDigit(const std::string &text, std::size_t at) {
    return at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
}

// -1, 0 or 1 as `a` comes before, equals or follows `b` in natural order,
// ignoring case and leading zeros.
int NaturalCompare(const std::string &a, const std::string &b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a, i) && IsDigit(b, j)) {
            const DigitRun x = ReadDigits(a, i), y = ReadDigits(b, j);
            if (x.value.size() != y.value.size())
                return x.value.size() < y.value.size() ? -1 : 1;
            if (x.value != y.value) return x.value < y.value ? -1 : 1;
            i = x.end, j = y.end;
            continue;
        }
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[j]));
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i, ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool IsFolder(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The image files directly in `folder`, in natural order of their names.
// False when the folder cannot be listed.
bool ImagesInFolder(const std::string &folder, std::vector<FileEntry> &images) {
    DIR *listing = opendir(folder.c_str());
    if (listing == nullptr) return false;
    std::vector<std::string> names;
    while (const dirent *item = readdir(listing)) {
        if (item->d_name[0] != '.') names.emplace_back(item->d_name);
    }
    closedir(listing);
    std::sort(names.begin(), names.end(), NaturalLess);
    const std::string prefix =
        (!folder.empty() && folder.back() == '/') ? folder : folder + "/";
    for (const std::string &name : names) {
        const std::string path = prefix + name;
        const ImageCheck check = CheckImageFile(path);
        if (check.problem == ImageProblem::kNone) images.push_back({path, check.type});
    }
    return true;
}

}  // namespace

const char *ImageProblemText(ImageProblem problem) { return TextsOf(problem).japanese; }

const char *ImageProblemTextEnglish(ImageProblem problem) {
    return TextsOf(problem).english;
}

std::string ImageTypeOfContent(const std::string &head) {
    for (const Signature &signature : kSignatures) {
        if (head.compare(0, signature.length, signature.bytes,
                         signature.length) == 0) {
            return signature.type;
        }
    }
    const std::size_t jpeg = head.find(kJpegStart);
    if (jpeg != std::string::npos && jpeg <= kJpegForeignBytes) return "jpeg";
    return std::string();
}

ImageCheck CheckImageFile(const std::string &path) {
    // One small unbuffered read: a stream would read a whole block, and this
    // runs once for every page of a book. O_NONBLOCK keeps a pipe from
    // holding the caller; the type check below turns such files away.
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (file < 0) return {{}, ProblemOfErrno(errno)};
    struct stat info;
    if (fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(file);
        return {{}, ImageProblem::kNotAFile};
    }
    std::string head(kBytesLookedAt, '\0');
    const ssize_t got = read(file, head.data(), head.size());
    const int read_error = errno;
    close(file);
    if (got < 0) return {{}, ProblemOfErrno(read_error)};
    head.resize(static_cast<std::size_t>(got));
    std::string type = ImageTypeOfContent(head);
    if (type.empty()) return {{}, ImageProblem::kNotAnImage};
    return {type, ImageProblem::kNone};
}

bool NaturalLess(const std::string &a, const std::string &b) {
    const int order = NaturalCompare(a, b);
    // Equal but for case or leading zeros: the plain byte order decides.
    return order != 0 ? order < 0 : a < b;
}

GatheredImages GatherImages(const std::vector<std::string> &paths) {
    GatheredImages gathered;
    for (const std::string &path : paths) {
        if (IsFolder(path)) {
            const std::size_t before = gathered.images.size();
            if (!ImagesInFolder(path, gathered.images)) {
                gathered.rejected.push_back({path, ProblemOfErrno(errno)});
            } else if (gathered.images.size() == before) {
                gathered.rejected.push_back({path, ImageProblem::kNoImages});
            }
            continue;
        }
        const ImageCheck check = CheckImageFile(path);
        if (check.problem == ImageProblem::kNone) {
            gathered.images.push_back({path, check.type});
        } else {
            gathered.rejected.push_back({path, check.problem});
        }
    }
    return gathered;
}

}  // namespace bindwick
