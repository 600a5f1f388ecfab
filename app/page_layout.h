// Page size and image placement for one page of a book: plain arithmetic on
// the image's pixel size and resolution and the user's page choices. The
// desktop program and the command line both reach it through the book
// writer's request.
//
// Two ways to size a page:
//   - without a paper size, the page is as large as the image: one pixel one
//     point, or the image's physical size when its resolution is to be used;
//     a size outside what readers accept (3 to 14400 points a side) is
//     scaled into that range, keeping the aspect ratio where the range
//     allows it;
//   - on a paper size, the image is placed whole and centred inside the
//     margin, scaled to fit with its aspect ratio kept, and the paper may
//     turn to follow the image's orientation.
// The image's aspect ratio on paper is that of its physical size when the
// file gives a resolution for both directions, else that of its pixels.
#pragma once

#include <optional>

namespace bindwick {

// Points per millimetre and per inch.
constexpr double kPointsPerInch = 72.0;
constexpr double kPointsPerMillimetre = 72.0 / 25.4;

// The smallest and largest page side, in points, that readers accept.
constexpr double kMinPageSide = 3.0;
constexpr double kMaxPageSide = 14400.0;

// A paper size in points, width first.
struct PaperSize {
    double width = 0;
    double height = 0;
};

// A paper size given in millimetres.
PaperSize PaperFromMillimetres(double width, double height);

// A4, 210 x 297 mm, and the Japanese B5, 182 x 257 mm, both upright.
inline constexpr PaperSize kPaperA4{210 * kPointsPerMillimetre, 297 * kPointsPerMillimetre};
inline constexpr PaperSize kPaperB5{182 * kPointsPerMillimetre, 257 * kPointsPerMillimetre};

// Which way the paper stands.
enum class PageOrientation {
    kAsGiven,      // width and height as the paper size gives them
    kFollowImage,  // landscape for a landscape image, else upright
    kPortrait,     // the longer side upright
    kLandscape,    // the longer side across
};

// The page choices of a book. The defaults give each page the image's
// pixel size, one pixel one point.
struct PageSetup {
    std::optional<PaperSize> paper;  // none: each page takes its image's size
    PageOrientation orientation = PageOrientation::kFollowImage;
    double margin = 0;            // points, on every side of the paper
    bool enlarge = true;          // images smaller than the space grow to fill it
    bool use_resolution = false;  // without paper: size pages by resolution
};

// What the library reports about an opened image: its size in pixels and
// its resolution in dots per inch (0 when the file gives none, negative
// when it gives only an aspect ratio).
struct ImageFacts {
    double width = 0;
    double height = 0;
    double resolution_x = 0;
    double resolution_y = 0;
};

// One page: its size, and the rectangle the image fills, all in points.
struct PageLayout {
    double page_width = 0;
    double page_height = 0;
    double x = 0;  // lower left corner of the image
    double y = 0;
    double width = 0;  // the image's size on the page
    double height = 0;
};

// Lays out the page for an image of positive pixel size. The page always
// lies within kMinPageSide .. kMaxPageSide on both sides. On paper the
// margin is at most a quarter of the paper's shorter side.
PageLayout LayOutPage(const ImageFacts &image, const PageSetup &setup);

}  // namespace bindwick
