// Image type texts for the command line: the file's content decides, the
// file name only when the content is not recognised.
#pragma once

#include <string>

namespace bindwick {

// The library's type text for a file that starts with `head` (its first
// bytes): "jpeg", "png", "tiff" or "gif"; empty when none matches.
std::string ImageTypeOfContent(const std::string &head);

// The type of the file at `path`: ImageTypeOfContent of its first bytes,
// or ImageTypeOf(path) when the file cannot be read or is not recognised.
std::string DetectImageType(const std::string &path);

}  // namespace bindwick
