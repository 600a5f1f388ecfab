// Drawn pages as viewers show them: two composite pages rendered by mutool
// and by poppler, their pixels compared with the geometry that was drawn.
#include <cstdlib>
#include <string>

#include "folio_support.h"
#include "test_support.h"

using namespace foliotest;
using testsupport::Raster;

namespace {

// A 200 x 200 page: a red circle drawn around a translated origin, a blue
// square with an even-odd hole, a green band cut by a clipping square, a
// thick dashed line, and two swatches of a spot colour with an RGB
// alternate, at full and half tint.
void DrawCompositePage(pdf_document *d)
{
    PDF_begin_page(d, 200, 200);
    PDF_save(d);
    PDF_translate(d, 50, 150);
    PDF_setrgbcolor_fill(d, 1, 0, 0);
    PDF_circle(d, 0, 0, 30);
    PDF_fill(d);
    PDF_restore(d);

    PDF_set_parameter(d, "fillrule", "evenodd");
    PDF_setrgbcolor_fill(d, 0, 0, 1);
    PDF_rect(d, 110, 110, 80, 80);
    PDF_rect(d, 130, 130, 40, 40);
    PDF_fill(d);
    PDF_set_parameter(d, "fillrule", "winding");

    PDF_save(d);
    PDF_rect(d, 10, 10, 80, 80);
    PDF_clip(d);
    PDF_setrgbcolor_fill(d, 0, 1, 0);
    PDF_rect(d, 0, 0, 100, 60);
    PDF_fill(d);
    PDF_restore(d);

    PDF_setlinewidth(d, 10);
    PDF_setdash(d, 20, 20);
    PDF_moveto(d, 110, 50);
    PDF_lineto(d, 190, 50);
    PDF_stroke(d);

    PDF_setrgbcolor_fill(d, 1, 0.5f, 0);
    int orange = PDF_makespotcolor(d, "Folio Orange", 0);
    PDF_setcolor(d, "fill", "spot", orange, 1, 0, 0);
    PDF_rect(d, 110, 70, 30, 20);
    PDF_fill(d);
    PDF_setcolor(d, "fill", "spot", orange, 0.5f, 0, 0);
    PDF_rect(d, 150, 70, 30, 20);
    PDF_fill(d);
    PDF_end_page(d);
}

// A 200 x 200 page of transformed shapes: a square turned by 45 degrees, a
// rectangle whose x axis is tilted up by 45 degrees, a thick quarter arc
// drawn counter-clockwise and a thick three-quarter arc drawn clockwise.
void DrawTransformedPage(pdf_document *d)
{
    PDF_begin_page(d, 200, 200);
    PDF_save(d);
    PDF_translate(d, 50, 50);
    PDF_rotate(d, 45);
    PDF_rect(d, -20, -20, 40, 40);
    PDF_fill(d);
    PDF_restore(d);
    PDF_save(d);
    PDF_translate(d, 110, 10);
    PDF_skew(d, 45, 0);
    PDF_rect(d, 0, 0, 40, 20);
    PDF_fill(d);
    PDF_restore(d);
    PDF_setlinewidth(d, 10);
    PDF_arc(d, 50, 150, 30, 0, 90);
    PDF_stroke(d);
    PDF_arcn(d, 150, 150, 30, 0, 90);
    PDF_stroke(d);
    PDF_end_page(d);
}

const Probe kCompositeProbes[] = {
        {"circle centre", 50, 150, {255, 0, 0}},
        {"circle, 25 from the centre", 75, 150, {255, 0, 0}},
        {"circle's square corner, outside", 72, 172, {255, 255, 255}},
        {"right of the circle", 85, 150, {255, 255, 255}},
        {"even-odd ring", 120, 120, {0, 0, 255}},
        {"even-odd hole", 150, 150, {255, 255, 255}},
        {"clipped band", 50, 30, {0, 255, 0}},
        {"band below the clip", 50, 5, {255, 255, 255}},
        {"band right of the clip", 95, 30, {255, 255, 255}},
        {"clip above the band", 50, 70, {255, 255, 255}},
        {"first dash", 120, 50, {0, 0, 0}},
        {"first gap", 140, 50, {255, 255, 255}},
        {"second dash", 160, 50, {0, 0, 0}},
        {"second dash, its lower edge", 160, 46, {0, 0, 0}},
        {"above the line's width", 160, 57, {255, 255, 255}},
        {"spot colour at full tint", 125, 80, {255, 128, 0}},
        {"spot colour at half tint", 165, 80, {255, 191, 128}},
};

const Probe kTransformedProbes[] = {
        {"turned square, below its top corner", 50, 75, {0, 0, 0}},
        {"corner of the square before turning", 68, 68, {255, 255, 255}},
        {"tilted rectangle, right end", 145, 55, {0, 0, 0}},
        {"above the rectangle's left end", 115, 55, {255, 255, 255}},
        {"counter-clockwise arc at 45 degrees", 71, 171, {0, 0, 0}},
        {"counter-clockwise arc, not at 135 degrees", 29, 171, {255, 255, 255}},
        {"clockwise arc at 180 degrees", 120, 150, {0, 0, 0}},
        {"clockwise arc, not at 45 degrees", 171, 171, {255, 255, 255}},
};

TEST(DrawingRender, PagesShowTheirGeometry)
{
    testsupport::TempDir dir;
    std::string path = dir.file("composite.pdf");
    Doc doc;
    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, path.c_str()), 1);
    DrawCompositePage(doc.pdf);
    DrawTransformedPage(doc.pdf);
    PDF_close(doc.pdf);

    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(path, &report)) << report;
    ExpectProbes(kCompositeProbes, testsupport::RenderMutool(path, 1), "mutool", 2);
    ExpectProbes(kCompositeProbes, testsupport::RenderPoppler(path, 1), "poppler", 2);
    ExpectProbes(kTransformedProbes, testsupport::RenderMutool(path, 2), "mutool", 2);
    ExpectProbes(kTransformedProbes, testsupport::RenderPoppler(path, 2), "poppler", 2);
}

}  // namespace
