// Page size and image placement as plain arithmetic: one row per case, the
// expected page and image rectangle in points.
#include "page_layout.h"

#include <gtest/gtest.h>

namespace {

using bindwick::PageOrientation;
using bindwick::PageSetup;

constexpr double kMm = bindwick::kPointsPerMillimetre;
constexpr bindwick::PaperSize kA4 = bindwick::kPaperA4;

PageSetup Pixels(bool use_resolution = false) {
    PageSetup setup;
    setup.use_resolution = use_resolution;
    return setup;
}

PageSetup Paper(bindwick::PaperSize paper, double margin = 0,
                PageOrientation orientation = PageOrientation::kFollowImage,
                bool enlarge = true) {
    PageSetup setup;
    setup.paper = paper;
    setup.margin = margin;
    setup.orientation = orientation;
    setup.enlarge = enlarge;
    return setup;
}

TEST(PageLayout, Table) {
    struct Row {
        const char *label;
        bindwick::ImageFacts image;  // pixels, then dots per inch
        PageSetup setup;
        double page_width, page_height, x, y, width, height;
    };
    const PageOrientation given = PageOrientation::kAsGiven;
    const Row rows[] = {
        {"pixels", {640, 480, 300, 300}, Pixels(), 640, 480, 0, 0, 640, 480},
        {"72 dpi", {640, 480, 72, 72}, Pixels(true), 640, 480, 0, 0, 640, 480},
        {"96 dpi", {640, 480, 96, 96}, Pixels(true), 480, 360, 0, 0, 480, 360},
        {"300 dpi A4", {2480, 3508, 300, 300}, Pixels(true), 595.2, 841.92, 0, 0, 595.2, 841.92},
        {"600 dpi A4", {4960, 7016, 600, 600}, Pixels(true), 595.2, 841.92, 0, 0, 595.2, 841.92},
        {"204 x 98 dpi", {1728, 1100, 204, 98}, Pixels(true), 609.8824, 808.1633, 0, 0,
         609.8824, 808.1633},
        {"no resolution", {640, 480, 0, 0}, Pixels(true), 640, 480, 0, 0, 640, 480},
        {"aspect only", {640, 480, -1, -2}, Pixels(true), 640, 480, 0, 0, 640, 480},
        {"one resolution", {640, 480, 300, 0}, Pixels(true), 640, 480, 0, 0, 640, 480},
        {"1 x 1", {1, 1, 0, 0}, Pixels(), 3, 3, 0, 0, 3, 3},
        {"1 x 118", {1, 118, 0, 0}, Pixels(), 3, 354, 0, 0, 3, 354},
        {"huge scan", {22500, 33300, 0, 0}, Pixels(), 9729.7297, 14400, 0, 0, 9729.7297, 14400},
        {"1 x 65537", {1, 65537, 0, 0}, Pixels(), 3, 14400, 0, 0, 3, 14400},
        {"2 dpi", {1000, 500, 2, 2}, Pixels(true), 14400, 7200, 0, 0, 14400, 7200},
        {"10000 dpi", {100, 100, 10000, 10000}, Pixels(true), 3, 3, 0, 0, 3, 3},
        {"A4 turns", {1600, 1200, 0, 0}, Paper(kA4, 10 * kMm), 841.8898, 595.2756, 61.8898,
         28.3465, 718.1102, 538.5827},
        {"A4 upright", {1200, 1600, 0, 0}, Paper(kA4), 595.2756, 841.8898, 0, 24.0945,
         595.2756, 793.7008},
        {"300 dpi on B5", {2480, 3508, 300, 300}, Paper(bindwick::kPaperB5, 10 * kMm),
         515.9055, 728.5039, 28.3465, 39.4702, 459.2126, 649.5636},
        {"A4 as given", {1600, 1200, 0, 0}, Paper(kA4, 10 * kMm, given), 595.2756, 841.8898,
         28.3465, 218.9764, 538.5827, 403.9370},
        {"A4 across", {1200, 1600, 0, 0}, Paper(kA4, 10 * kMm, PageOrientation::kLandscape),
         841.8898, 595.2756, 218.9764, 28.3465, 403.9370, 538.5827},
        {"A4 upright always", {1600, 1200, 0, 0},
         Paper(kA4, 10 * kMm, PageOrientation::kPortrait), 595.2756, 841.8898, 28.3465,
         218.9764, 538.5827, 403.9370},
        {"custom turns", {200, 100, 0, 0}, Paper({300, 400}, 20), 400, 300, 20, 60, 360, 180},
        {"custom as given", {200, 100, 0, 0}, Paper({300, 400}, 20, given), 300, 400, 20,
         135, 260, 130},
        {"square image", {500, 500, 0, 0}, Paper({400, 300}), 300, 400, 0, 50, 300, 300},
        {"kept small", {100, 50, 0, 0}, Paper(kA4, 10 * kMm, PageOrientation::kFollowImage, false),
         841.8898, 595.2756, 370.9449, 272.6378, 100, 50},
        {"margin capped", {10, 10, 0, 0}, Paper({100, 100}, 50), 100, 100, 25, 25, 50, 50},
        {"fax on A4", {1728, 1100, 204, 98}, Paper(kA4), 595.2756, 841.8898, 0, 26.5411,
         595.2756, 788.8076},
        {"huge on A4", {22500, 33300, 0, 0}, Paper(kA4, 10 * kMm), 595.2756, 841.8898, 32.3686,
         28.3465, 530.5384, 785.1969},
        {"strip on A4", {1, 65537, 0, 0}, Paper(kA4, 10 * kMm), 595.2756, 841.8898, 297.6318,
         28.3465, 0.0120, 785.1969},
        {"paper out of range", {10, 10, 0, 0}, Paper({1, 20000}), 3, 14400, 0, 7198.5, 3, 3},
    };
    for (const Row &row : rows) {
        const bindwick::PageLayout got = bindwick::LayOutPage(row.image, row.setup);
        const double want[] = {row.page_width, row.page_height, row.x, row.y, row.width,
                               row.height};
        const double have[] = {got.page_width, got.page_height, got.x, got.y, got.width,
                               got.height};
        for (int i = 0; i < 6; ++i) EXPECT_NEAR(have[i], want[i], 1e-4) << row.label << " " << i;
    }
}

}  // namespace
