// The command line's page options, in the forms img2pdf users know:
//   --pagesize A4 | B5 | WIDTHxHEIGHT   a "^T" suffix turns the paper across
//   --landscape / --portrait            fix the paper's orientation
//   --margin LENGTH                     on every side of the paper; by
//                                       default the desktop program's 10 mm
//   --fit into | shrink                 whether small images grow to fill
//   --use-resolution                    pages without paper follow the
//                                       image's resolution
// A length is a number with an optional unit: pt (the default), mm, cm or in.
#pragma once

#include <optional>
#include <string>

#include "page_layout.h"

namespace bindwick {

// The page options as given, not yet checked.
struct PageArguments {
    std::optional<std::string> pagesize;
    std::optional<std::string> margin;
    std::optional<std::string> fit;
    bool landscape = false;
    bool portrait = false;
    bool use_resolution = false;
};

// A positive length in points, or nullopt when `text` is not one.
std::optional<double> ParseLength(const std::string &text);

// A paper size as given to --pagesize: a name (A4, B5, in any case) or
// WIDTHxHEIGHT, with an optional "^T" suffix that swaps width and height.
struct PaperArgument {
    PaperSize size;
    bool transposed = false;
};
// Nullopt when `text` is malformed or a side is not positive.
std::optional<PaperArgument> ParsePaperSize(const std::string &text);

// Turns the arguments into the book's page set-up. On a bad value or a
// combination that does not fit together, returns nullopt and sets `error`
// to a message for the user.
std::optional<PageSetup> MakePageSetup(const PageArguments &arguments,
                                       std::string &error);

}  // namespace bindwick
