// Patterns and templates: their objects, the operators that use them, the
// resources that list them, every error with its type, and how viewers
// render template placements and pattern fills.
#include <cmath>
#include <cstdlib>
#include <string>

#include "folio_support.h"
#include "test_support.h"

using namespace foliotest;
using testsupport::Raster;

namespace {

// Pattern 0 is coloured (a red square in a 10 x 10 cell), pattern 1
// uncoloured (the same square, painted in the colour of its use).
void DefineTwoPatterns(pdf_document *d)
{
    PDF_begin_pattern(d, 10, 10, 10, 10, 1);
    PDF_setrgbcolor_fill(d, 1, 0, 0);
    PDF_rect(d, 0, 0, 5, 5);
    PDF_fill(d);
    PDF_end_pattern(d);
    PDF_begin_pattern(d, 10, 10, 10, 10, 2);
    PDF_rect(d, 0, 0, 5, 5);
    PDF_fill(d);
    PDF_end_pattern(d);
}

struct OperatorRow {
    const char *label;
    Draw draw;
    std::string content;
};

TEST(Patterns, ColourOperators)
{
    const OperatorRow rows[] = {
        {"coloured fill", [](pdf_document *d) { PDF_setcolor(d, "fill", "pattern", 0, 0, 0, 0); }, "/Pattern cs\n/P0 scn\n"},
        {"coloured both", [](pdf_document *d) { PDF_setcolor(d, "both", "pattern", 0, 0, 0, 0); }, "/Pattern cs\n/P0 scn\n/Pattern CS\n/P0 SCN\n"},
        {"a colour after a pattern is written", [](pdf_document *d) { PDF_setcolor(d, "fill", "pattern", 0, 0, 0, 0); PDF_setgray_fill(d, 0); }, "/Pattern cs\n/P0 scn\n0 g\n"},
        {"uncoloured over RGB", [](pdf_document *d) { PDF_setrgbcolor_fill(d, 1, 0, 0); PDF_setcolor(d, "fill", "pattern", 1, 0, 0, 0); PDF_setrgbcolor_fill(d, 1, 0, 0); }, "1 0 0 rg\n/CS0 cs\n1 0 0/P1 scn\n"},
        {"uncoloured over CMYK", [](pdf_document *d) { PDF_setcolor(d, "fill", "cmyk", 0, 0, 0, 1); PDF_setcolor(d, "fill", "pattern", 1, 0, 0, 0); }, "0 0 0 1 k\n/CS0 cs\n0 0 0 1/P1 scn\n"},
        {"uncoloured both, each in its own colour", [](pdf_document *d) { PDF_setrgbcolor_fill(d, 1, 0, 0); PDF_setgray_stroke(d, 0.5f); PDF_setcolor(d, "both", "pattern", 1, 0, 0, 0); }, "1 0 0 rg\n0.5 G\n/CS0 cs\n1 0 0/P1 scn\n/CS1 CS\n0.5/P1 SCN\n"},
    };
    for (const OperatorRow &row : rows) {
        Drawn drawn = DrawPage(row.draw, DefineTwoPatterns);
        EXPECT_TRUE(drawn.finished) << row.label;
        EXPECT_EQ(drawn.content, row.content) << row.label;
    }
}

// Each pattern is an object with its own stream, length and resources; a
// page lists the patterns and pattern colour spaces it used.
TEST(Patterns, ObjectsAndResources)
{
    Drawn drawn = DrawPage(
        [](pdf_document *d) {
            PDF_setcolor(d, "fill", "pattern", 0, 0, 0, 0);
            PDF_rect(d, 0, 0, 200, 100);
            PDF_fill(d);
            PDF_setrgbcolor_fill(d, 0, 1, 0);
            PDF_setcolor(d, "fill", "pattern", 1, 0, 0, 0);
        },
        DefineTwoPatterns);
    ASSERT_TRUE(drawn.finished);
    EXPECT_EQ(CountOf(drawn.pdf, "4 0 obj\n<</PatternType 1\n/PaintType 1\n/TilingType 1\n"
                                 "/BBox[0 0 10 10]\n/XStep 10\n/YStep 10\n/Resources 5 0 R\n"
                                 "/Length 6 0 R\n>>\nstream\n1 0 0 rg\n0 0 5 5 re\nf\nendstream\n"
                                 "endobj\n6 0 obj\n22\nendobj\n5 0 obj\n<</ProcSet[/PDF]\n>>\n"),
              1);
    EXPECT_EQ(CountOf(drawn.pdf, "7 0 obj\n<</PatternType 1\n/PaintType 2\n"), 1);
    EXPECT_EQ(CountOf(drawn.pdf, "<</ProcSet[/PDF]\n/ColorSpace<</CS0 13 0 R\n>>\n"
                                 "/Pattern<</P0 4 0 R\n/P1 7 0 R\n>>\n>>\n"),
              1);
    EXPECT_EQ(CountOf(drawn.pdf, "13 0 obj\n[/Pattern/DeviceRGB]\nendobj\n"), 1);
}

// One form XObject with its own stream, length and resources; each
// placement saves the state, moves and scales, and draws it.
TEST(Templates, PlacedTwice)
{
    int handle = -1;
    Drawn drawn = DrawPage(
        [&](pdf_document *d) {
            PDF_place_image(d, handle, 10, 20, 1);
            PDF_place_image(d, handle, 50, 100, 0.5f);
        },
        [&](pdf_document *d) {
            handle = PDF_begin_template(d, 100, 50);
            PDF_rect(d, 0, 0, 100, 50);
            PDF_fill(d);
            PDF_end_template(d);
        });
    ASSERT_TRUE(drawn.finished);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(CountOf(drawn.pdf, "/Subtype/Form"), 1);
    EXPECT_EQ(CountOf(drawn.pdf, "4 0 obj\n<</Type/XObject\n/Subtype/Form\n/FormType 1\n"
                                 "/Matrix[1 0 0 1 0 0]\n/Resources 5 0 R\n/BBox[0 0 100 50]\n"
                                 "/Length 6 0 R\n>>\nstream\n0 0 100 50 re\nf\nendstream\n"
                                 "endobj\n6 0 obj\n16\nendobj\n5 0 obj\n<</ProcSet[/PDF]\n>>\n"),
              1);
    EXPECT_EQ(drawn.content, "q\n1 0 0 1 10 20 cm\n/I0 Do\nQ\nq\n0.5 0 0 0.5 50 100 cm\n/I0 Do\nQ\n");
    EXPECT_EQ(CountOf(drawn.pdf, "<</ProcSet[/PDF]\n/XObject<</I0 4 0 R\n>>\n>>\n"), 1);
}

// What a template uses is listed in its own resources, not the page's; a
// placement without "inheritgstate" starts from the default attributes.
TEST(Templates, OwnResourcesAndFreshState)
{
    Drawn drawn = DrawPage(
        [](pdf_document *d) {
            PDF_set_parameter(d, "inheritgstate", "false");
            PDF_setlinewidth(d, 3);
            PDF_place_image(d, 0, 10, 10, 1);
        },
        [](pdf_document *d) {
            DefineTwoPatterns(d);
            PDF_begin_template(d, 20, 20);
            PDF_setcolor(d, "fill", "pattern", 0, 0, 0, 0);
            PDF_rect(d, 0, 0, 20, 20);
            PDF_fill(d);
            PDF_end_template(d);
        });
    ASSERT_TRUE(drawn.finished);
    EXPECT_EQ(drawn.content, "3 w\nq\n1 0 0 1 10 10 cm\n1 w\n/I0 Do\nQ\n");
    EXPECT_EQ(CountOf(drawn.pdf, "<</ProcSet[/PDF]\n/Pattern<</P0 4 0 R\n>>\n>>\n"), 1);
    EXPECT_EQ(CountOf(drawn.pdf, "<</ProcSet[/PDF]\n/XObject<</I0 10 0 R\n>>\n>>\n"), 1);
}

struct ErrorRow {
    const char *label;
    Draw draw;  // runs on a page; PDF_end_page reaches document scope
    int type;
    const char *message;
};

TEST(PatternsAndTemplates, Errors)
{
    const int V = PDF_ERR_VALUE, R = PDF_ERR_RUNTIME, S = PDF_ERR_SYSTEM;
    const ErrorRow rows[] = {
        {"pattern begun on a page", [](pdf_document *d) { PDF_begin_pattern(d, 10, 10, 10, 10, 1); }, R, "function 'PDF_begin_pattern' must not be called in 'page' scope"},
        {"template ended on a page", [](pdf_document *d) { PDF_end_template(d); }, R, "function 'PDF_end_template' must not be called in 'page' scope"},
        {"pattern of width 0", [](pdf_document *d) { PDF_end_page(d); PDF_begin_pattern(d, 0, 10, 10, 10, 1); }, V, "Pattern size must be positive"},
        {"paint type 3", [](pdf_document *d) { PDF_end_page(d); PDF_begin_pattern(d, 10, 10, 10, 10, 3); }, V, "Bad pattern paint type 3 in PDF_begin_pattern"},
        {"NaN step", [](pdf_document *d) { PDF_end_page(d); PDF_begin_pattern(d, 10, 10, NAN, 10, 1); }, V, "Argument 3 of PDF_begin_pattern is not a number (NaN)"},
        {"template of height 0", [](pdf_document *d) { PDF_end_page(d); PDF_begin_template(d, 10, 0); }, V, "Template size must be positive"},
        {"template inside a pattern", [](pdf_document *d) { PDF_end_page(d); PDF_begin_pattern(d, 10, 10, 10, 10, 1); PDF_begin_template(d, 10, 10); }, R, "function 'PDF_begin_template' must not be called in 'pattern' scope"},
        {"unmatched save in a template", [](pdf_document *d) { PDF_end_page(d); PDF_begin_template(d, 10, 10); PDF_save(d); PDF_end_template(d); }, R, "Unmatched save level at end of template"},
        {"unmatched save in a pattern", [](pdf_document *d) { PDF_end_page(d); PDF_begin_pattern(d, 10, 10, 10, 10, 1); PDF_save(d); PDF_end_pattern(d); }, R, "Unmatched save level at end of pattern"},
        {"template in its own definition", [](pdf_document *d) { PDF_end_page(d); PDF_place_image(d, PDF_begin_template(d, 10, 10), 0, 0, 1); }, V, "Can't use template within its own definition"},
        {"pattern in its own definition", [](pdf_document *d) { PDF_end_page(d); PDF_setcolor(d, "fill", "pattern", PDF_begin_pattern(d, 10, 10, 10, 10, 1), 0, 0, 0); }, V, "Can't use pattern within its own definition"},
        {"no such pattern", [](pdf_document *d) { PDF_setcolor(d, "fill", "pattern", 0, 0, 0, 0); }, V, "Invalid pattern number 0 in PDF_setcolor"},
        {"uncoloured over a spot colour", [](pdf_document *d) { PDF_end_page(d); DefineTwoPatterns(d); PDF_begin_page(d, 10, 10); PDF_setcolor(d, "fill", "spot", PDF_makespotcolor(d, "S", 0), 1, 0, 0); PDF_setcolor(d, "fill", "pattern", 1, 0, 0, 0); }, V, "Separation NYI for patterns"},
        {"uncoloured over a pattern", [](pdf_document *d) { PDF_end_page(d); DefineTwoPatterns(d); PDF_begin_page(d, 10, 10); PDF_setcolor(d, "stroke", "pattern", 0, 0, 0, 0); PDF_setcolor(d, "stroke", "pattern", 1, 0, 0, 0); }, S, "Unknown color space in pdf_write_pattern_color"},
    };
    for (const ErrorRow &row : rows) {
        Drawn drawn = DrawPage(row.draw);
        ASSERT_FALSE(drawn.reports.empty()) << row.label;
        EXPECT_EQ(drawn.reports.back(), (Report{row.type, row.message})) << row.label;
        EXPECT_FALSE(drawn.finished) << row.label;
    }

    Doc doc;
    PDF_set_parameter(doc.pdf, "compatibility", "1.2");
    PDF_open_file(doc.pdf, nullptr);
    EXPECT_PDF_ERROR(doc, PDF_begin_pattern(doc.pdf, 10, 10, 10, 10, 1), PDF_ERR_RUNTIME,
                     "Patterns not fully supported in Acrobat 3");
}

// ---- Rendered ------------------------------------------------------------------

// A 200 x 200 page: a blue 40 x 20 template placed at (10, 10) and, twice
// as large, at (100, 100); the lower half of the left column filled with
// the coloured pattern (red 5 x 5 squares every 10 points), the band above
// it with the uncoloured one painted green.
void DrawPatternPage(pdf_document *d)
{
    DefineTwoPatterns(d);
    int blue = PDF_begin_template(d, 40, 20);
    PDF_setrgbcolor_fill(d, 0, 0, 1);
    PDF_rect(d, 0, 0, 40, 20);
    PDF_fill(d);
    PDF_end_template(d);
    PDF_begin_page(d, 200, 200);
    PDF_place_image(d, blue, 10, 10, 1);
    PDF_place_image(d, blue, 100, 100, 2);
    PDF_setcolor(d, "fill", "pattern", 0, 0, 0, 0);
    PDF_rect(d, 0, 40, 80, 40);
    PDF_fill(d);
    PDF_setrgbcolor_fill(d, 0, 1, 0);
    PDF_setcolor(d, "fill", "pattern", 1, 0, 0, 0);
    PDF_rect(d, 0, 80, 80, 40);
    PDF_fill(d);
    PDF_end_page(d);
}

const Probe kTemplateProbes[] = {
    {"first placement", 30, 20, {0, 0, 255}},
    {"right of the first placement", 55, 20, {255, 255, 255}},
    {"above the first placement", 30, 33, {255, 255, 255}},
    {"second placement, far corner", 175, 135, {0, 0, 255}},
    {"right of the second placement", 185, 120, {255, 255, 255}},
    {"above the second placement", 120, 145, {255, 255, 255}},
};

const Probe kPatternProbes[] = {
    {"coloured cell, square", 22, 52, {255, 0, 0}},
    {"coloured cell, beside the square", 27, 52, {255, 255, 255}},
    {"coloured cell, above the square", 22, 57, {255, 255, 255}},
    {"uncoloured cell, square", 42, 92, {0, 255, 0}},
    {"uncoloured cell, gap", 47, 97, {255, 255, 255}},
    {"outside the filled band", 90, 52, {255, 255, 255}},
};

TEST(PatternsAndTemplatesRender, GeometryAndColours)
{
    testsupport::TempDir dir;
    std::string path = dir.file("patterns.pdf");
    Doc doc;
    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, path.c_str()), 1);
    DrawPatternPage(doc.pdf);
    PDF_close(doc.pdf);

    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(path, &report)) << report;
    for (const char *renderer : {"mutool", "poppler"}) {
        Raster raster = std::string(renderer) == "mutool" ? testsupport::RenderMutool(path, 1)
                                                          : testsupport::RenderPoppler(path, 1);
        ExpectProbes(kTemplateProbes, raster, renderer, 2);
        ExpectProbes(kPatternProbes, raster, renderer, 2);
    }
}

}  // namespace
