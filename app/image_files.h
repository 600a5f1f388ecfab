// Which files can become pages: image files recognised by their content,
// never by their names, and folders that hold such files. The command line
// and the desktop program both gather their images here.
#pragma once

#include <string>
#include <vector>

#include "file_list.h"

namespace bindwick {

// Why a file cannot be bound.
enum class ImageProblem {
    kNone,
    kMissing,        // no such file
    kNotPermitted,   // the file may not be read
    kNotAFile,       // a device, a pipe, ...
    kUnreadable,     // reading failed for another reason
    kNotAnImage,     // the content is none of JPEG, PNG, TIFF, GIF
    kNoImages,       // a folder without image files
    kDamaged,        // looks like an image, but the library refused it
};

// The reason in Japanese (UTF-8), as the desktop program shows it, and in
// English for the command line.
const char *ImageProblemText(ImageProblem problem);
const char *ImageProblemTextEnglish(ImageProblem problem);

// A path that was left out, and why.
struct RejectedFile {
    std::string path;
    ImageProblem problem;
    int page = 0;  // the page of a multi-page file left out; 0: the whole file
    std::string detail{};  // the library's reason for refusing it, if it gave one
};

// The library's type text for a file that starts with `head` (its first
// bytes): "jpeg", "png", "tiff" or "gif"; empty when none matches. A JPEG
// stream is found after up to 768 bytes of something else, as the library
// finds it.
std::string ImageTypeOfContent(const std::string &head);

struct ImageCheck {
    std::string type;  // the library's type text; empty with a problem
    ImageProblem problem = ImageProblem::kNone;
};

// Looks at the file at `path`: a readable regular file whose first bytes
// name an image type. Never blocks on a pipe or device.
ImageCheck CheckImageFile(const std::string &path);

// Orders texts as people count: runs of digits compare by their value
// ("page2" before "page10"), letters without regard to ASCII case. Texts
// that differ only in those respects still get a fixed order.
bool NaturalLess(const std::string &a, const std::string &b);

// The images the user meant by `paths`, in order: a file stands for itself;
// a folder for the image files directly in it, in natural order of their
// names (hidden files and files that are not images are passed over
// silently). Everything else is rejected with its reason.
struct GatheredImages {
    std::vector<FileEntry> images;
    std::vector<RejectedFile> rejected;
};
GatheredImages GatherImages(const std::vector<std::string> &paths);

}  // namespace bindwick
