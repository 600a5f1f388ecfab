// page_layout.cpp -- page size and image placement from the page choices.
#include "page_layout.h"

#include <algorithm>

namespace bindwick {

namespace {

struct Size {
    double width;
    double height;
};

// The image's size in points: physical when the file gives both
// resolutions, otherwise one pixel one point.
Size NaturalSize(const ImageFacts &image) {
    if (image.resolution_x > 0 && image.resolution_y > 0) {
        return {image.width * kPointsPerInch / image.resolution_x,
                image.height * kPointsPerInch / image.resolution_y};
    }
    return {image.width, image.height};
}

double ClampSide(double side) { return std::clamp(side, kMinPageSide, kMaxPageSide); }

// `size` scaled by one factor into the page-side limits; sizes in range stay
// exactly as they are. When no single factor fits (an aspect ratio beyond
// 14400 : 3) the shorter side stops at the lower limit and the longer one at
// the upper.
Size WithinPageLimits(Size size) {
    const double longer = std::max(size.width, size.height);
    const double shorter = std::min(size.width, size.height);
    double scale = 1;
    if (longer > kMaxPageSide) scale = kMaxPageSide / longer;
    if (shorter * scale < kMinPageSide) scale = kMinPageSide / shorter;
    return {ClampSide(size.width * scale), ClampSide(size.height * scale)};
}

Size OrientedPaper(const PaperSize &paper, PageOrientation orientation,
                   const Size &image) {
    const Size given{ClampSide(paper.width), ClampSide(paper.height)};
    bool upright = true;
    switch (orientation) {
    case PageOrientation::kAsGiven:
        return given;
    case PageOrientation::kFollowImage:
        upright = image.width <= image.height;
        break;
    case PageOrientation::kPortrait:
        upright = true;
        break;
    case PageOrientation::kLandscape:
        upright = false;
        break;
    }
    const double longer = std::max(given.width, given.height);
    const double shorter = std::min(given.width, given.height);
    return upright ? Size{shorter, longer} : Size{longer, shorter};
}

PageLayout LayOutOnPaper(const Size &image, const PageSetup &setup) {
    const Size page = OrientedPaper(*setup.paper, setup.orientation, image);
    const double margin = std::clamp(setup.margin, 0.0,
                                     std::min(page.width, page.height) / 4);
    double scale = std::min((page.width - 2 * margin) / image.width,
                            (page.height - 2 * margin) / image.height);
    if (!setup.enlarge) scale = std::min(scale, 1.0);

    PageLayout layout;
    layout.page_width = page.width;
    layout.page_height = page.height;
    layout.width = image.width * scale;
    layout.height = image.height * scale;
    layout.x = (page.width - layout.width) / 2;
    layout.y = (page.height - layout.height) / 2;
    return layout;
}

}  // namespace

PaperSize PaperFromMillimetres(double width, double height) {
    return {width * kPointsPerMillimetre, height * kPointsPerMillimetre};
}

PageLayout LayOutPage(const ImageFacts &image, const PageSetup &setup) {
    if (setup.paper) return LayOutOnPaper(NaturalSize(image), setup);

    const Size wanted = setup.use_resolution ? NaturalSize(image)
                                             : Size{image.width, image.height};
    const Size page = WithinPageLimits(wanted);
    PageLayout layout;
    layout.page_width = layout.width = page.width;
    layout.page_height = layout.height = page.height;
    return layout;
}

}  // namespace bindwick
