// The drawing calls: the exact operators of the cases that decide what is
// written, and every error text with its type.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "folio_support.h"
#include "test_support.h"

using namespace foliotest;

namespace {

struct OperatorRow {
    const char *label;
    Draw draw;
    std::string content;
};

const std::string kQuarter1 = "10 5.5228 5.5228 10 0 10 c\n";
const std::string kQuarter2 = "-5.5228 10 -10 5.5228 -10 0 c\n";
const std::string kQuarter3 = "-10 -5.5228 -5.5228 -10 0 -10 c\n";
const std::string kQuarter4 = "5.5228 -10 10 -5.5228 10 0 c\n";

void FourPaths(pdf_document *d)
{
    PDF_rect(d, 0, 0, 1, 1);
    PDF_fill(d);
    PDF_rect(d, 0, 0, 1, 1);
    PDF_fill_stroke(d);
    PDF_rect(d, 0, 0, 1, 1);
    PDF_closepath_fill_stroke(d);
    PDF_rect(d, 0, 0, 1, 1);
    PDF_clip(d);
}

TEST(Drawing, ExactOperators)
{
    static const float kTen[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    static const float kZeros[] = {0, 0, 0};
    const std::string rect = "0 0 1 1 re\n";
    const std::string circle = "10 0 m\n" + kQuarter1 + kQuarter2 + kQuarter3 + kQuarter4 + "h\nf\n";
    const std::string arc270 = "10 0 m\n" + kQuarter1 + kQuarter2 + kQuarter3 + "S\n";
    const std::string winding = rect + "f\n" + rect + "B\n" + rect + "b\n" + rect + "W n\n";
    const std::string even_odd = rect + "f*\n" + rect + "B*\n" + rect + "b*\n" + rect + "W* n\n";
    const OperatorRow rows[] = {
        {"width filtered across levels", [](pdf_document *d) { PDF_setlinewidth(d, 2); PDF_setlinewidth(d, 2); PDF_save(d); PDF_setlinewidth(d, 2); PDF_restore(d); }, "2 w\nq\nQ\n"},
        {"restore returns to the level below", [](pdf_document *d) { PDF_setlinewidth(d, 2); PDF_save(d); PDF_setlinewidth(d, 3); PDF_restore(d); PDF_setlinewidth(d, 3); }, "2 w\nq\n3 w\nQ\n3 w\n"},
        {"cap, join, miter, flatness", [](pdf_document *d) { PDF_setlinecap(d, 1); PDF_setlinejoin(d, 2); PDF_setmiterlimit(d, 10); PDF_setmiterlimit(d, 4); PDF_setflat(d, 5); PDF_setflat(d, 5); }, "1 J\n2 j\n4 M\n5 i\n"},
        {"short y form", [](pdf_document *d) { PDF_moveto(d, 0, 0); PDF_curveto(d, 1, 2, 3, 4, 3, 4); PDF_curveto(d, 1, 2, 3, 4, 5, 6); PDF_endpath(d); }, "0 0 m\n1 2 3 4 y\n1 2 3 4 5 6 c\nn\n"},
        {"dash on and off", [](pdf_document *d) { PDF_setdash(d, 0, 0); PDF_setdash(d, 3, 1); PDF_setdash(d, 0, 0); PDF_setdash(d, 0, 0); }, "[3 1] 0 d\n[] 0 d\n"},
        {"poly dash cut to 8", [](pdf_document *d) { PDF_setpolydash(d, kTen, 10); }, "[1 2 3 4 5 6 7 8 ] 0 d\n"},
        {"poly dash of zeros or one value is solid", [](pdf_document *d) { PDF_setpolydash(d, kZeros, 3); PDF_setpolydash(d, kTen, 1); }, "[] 0 d\n[] 0 d\n"},
        {"circle", [](pdf_document *d) { PDF_circle(d, 0, 0, 10); PDF_fill(d); }, circle},
        {"arc of 180 degrees", [](pdf_document *d) { PDF_arc(d, 0, 0, 10, 0, 180); PDF_stroke(d); }, "10 0 m\n" + kQuarter1 + kQuarter2 + "S\n"},
        {"arc of 0 degrees", [](pdf_document *d) { PDF_arc(d, 0, 0, 10, 0, 0); PDF_endpath(d); }, "10 0 m\nn\n"},
        {"arc 0 to -90 goes round", [](pdf_document *d) { PDF_arc(d, 0, 0, 10, 0, -90); PDF_stroke(d); }, arc270},
        {"arcn 0 to -90", [](pdf_document *d) { PDF_arcn(d, 0, 0, 10, 0, -90); PDF_stroke(d); }, "10 0 m\n10 -5.5228 5.5228 -10 0 -10 c\nS\n"},
        {"arc joins a path", [](pdf_document *d) { PDF_moveto(d, 0, 0); PDF_arc(d, 0, 0, 10, 0, 90); PDF_stroke(d); }, "0 0 m\n10 0 l\n" + kQuarter1 + "S\n"},
        {"identities write nothing", [](pdf_document *d) { PDF_translate(d, 0, 0); PDF_scale(d, 1, 1); PDF_rotate(d, 0); PDF_skew(d, 0, 0); PDF_concat(d, 1, 0, 0, 1, 0, 0); }, ""},
        {"rotate, skew, setmatrix", [](pdf_document *d) { PDF_rotate(d, 90); PDF_skew(d, 45, 0); PDF_setmatrix(d, 2, 0, 0, 2, 0, 0); }, "0 1 -1 0 0 0 cm\n1 1 0 1 0 0 cm\n0 -1 1 -1 0 0 cm\n2 0 0 2 0 0 cm\n"},
        {"initgraphics writes what differs", [](pdf_document *d) { PDF_setlinewidth(d, 3); PDF_setgray_fill(d, 0.5f); PDF_translate(d, 10, 20); PDF_setflat(d, 2); PDF_initgraphics(d); }, "3 w\n0.5 g\n1 0 0 1 10 20 cm\n2 i\n0 g\n1 w\n1 i\n1 0 0 1 -10 -20 cm\n"},
        {"equal RGB is gray", [](pdf_document *d) { PDF_setrgbcolor_fill(d, 0.5f, 0.5f, 0.5f); PDF_setgray_fill(d, 0.5f); PDF_setrgbcolor_stroke(d, 1, 0, 0); PDF_setrgbcolor_stroke(d, 1, 0, 0); }, "0.5 g\n1 0 0 RG\n"},
        {"CMYK both once", [](pdf_document *d) { PDF_setcolor(d, "both", "cmyk", 0, 0, 0, 1); PDF_setcolor(d, "both", "cmyk", 0, 0, 0, 1); }, "0 0 0 1 k\n0 0 0 1 K\n"},
        {"colour across levels", [](pdf_document *d) { PDF_setgray(d, 0.5f); PDF_save(d); PDF_setgray_fill(d, 0.5f); PDF_setgray_fill(d, 0.2f); PDF_restore(d); PDF_setgray_fill(d, 0.2f); PDF_setgray_stroke(d, 0.5f); }, "0.5 g\n0.5 G\nq\n0.2 g\nQ\n0.2 g\n"},
        {"gray a little above 1", [](pdf_document *d) { PDF_setgray_fill(d, 1.00001f); }, "1 g\n"},
        {"winding rule", FourPaths, winding},
        {"even-odd rule", [](pdf_document *d) { PDF_set_parameter(d, "fillrule", "evenodd"); FourPaths(d); }, even_odd},
        {"spot colour with tint", [](pdf_document *d) { PDF_setcolor(d, "both", "spot", PDF_makespotcolor(d, "Gold", 0), 0.5f, 0, 0); }, "/CS0 cs 0.5 scn\n/CS0 CS 0.5 SCN\n"},
    };
    for (const OperatorRow &row : rows) {
        Drawn drawn = DrawPage(row.draw);
        EXPECT_TRUE(drawn.finished) << row.label;
        EXPECT_EQ(drawn.content, row.content) << row.label;
    }
}

TEST(Drawing, CurrentPointFollowsThePath)
{
    Doc doc;
    PDF_GUARD(doc);
    PDF_open_file(doc.pdf, nullptr);
    PDF_begin_page(doc.pdf, 100, 100);
    auto at = [&] { return std::vector<float>{PDF_get_value(doc.pdf, "currentx", 0), PDF_get_value(doc.pdf, "currenty", 0)}; };
    PDF_moveto(doc.pdf, 5, 6);
    PDF_lineto(doc.pdf, 7, 8);
    EXPECT_EQ(at(), (std::vector<float>{7, 8}));
    PDF_closepath(doc.pdf);
    EXPECT_EQ(at(), (std::vector<float>{5, 6}));
    PDF_stroke(doc.pdf);
    EXPECT_EQ(at(), (std::vector<float>{0, 0}));
    EXPECT_EQ(std::string(PDF_get_parameter(doc.pdf, "scope", 0)), "page");
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);
    TakeBuffer(doc.pdf);
}

// A spot colour takes the fill colour recorded in document scope as its
// alternate; making the same name again gives the same number.
TEST(Drawing, SpotColourMadeBeforeThePages)
{
    int first = -1, second = -1;
    Drawn drawn = DrawPage(
        [&](pdf_document *d) { PDF_setcolor(d, "fill", "spot", first, 1, 0, 0); },
        [&](pdf_document *d) {
            PDF_setcolor(d, "fill", "cmyk", 0, 0.2f, 1, 0);
            first = PDF_makespotcolor(d, "Deep Gold", 0);
            second = PDF_makespotcolor(d, "Deep Gold!", 9);
        });
    ASSERT_TRUE(drawn.finished);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(drawn.content, "/CS0 cs 1 scn\n");  // nothing from document scope
    EXPECT_EQ(CountOf(drawn.pdf, "[/Separation/Deep#20Gold\n/DeviceCMYK<<\n"), 1);
    EXPECT_EQ(CountOf(drawn.pdf, "/C1[0 0.2 1 0]\n"), 1);
    EXPECT_EQ(CountOf(drawn.pdf, "/ColorSpace<</CS0 "), 1);
}

struct ErrorRow {
    const char *label;
    Draw draw;
    int type;
    const char *message;
    const char *content = "";  // after a warning: what was written
};

TEST(Drawing, ErrorsAndWarnings)
{
    static const float kNegative[] = {1, -2};
    static const float kNaN[] = {1, NAN};
    static const float kNine[] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    const std::string long_name(127, 'n');
    const int V = PDF_ERR_VALUE, R = PDF_ERR_RUNTIME, W = PDF_ERR_NONFATAL;
    const ErrorRow rows[] = {
        {"lineto outside a path", [](pdf_document *d) { PDF_lineto(d, 1, 1); }, R, "function 'PDF_lineto' must not be called in 'page' scope"},
        {"save inside a path", [](pdf_document *d) { PDF_moveto(d, 1, 1); PDF_save(d); }, R, "function 'PDF_save' must not be called in 'path' scope"},
        {"colour inside a path", [](pdf_document *d) { PDF_rect(d, 1, 1, 1, 1); PDF_setgray(d, 0); }, R, "function 'PDF_setgray' must not be called in 'path' scope"},
        {"zero scale", [](pdf_document *d) { PDF_scale(d, 0, 1); }, V, "Zero scaling factor"},
        {"skew of 90", [](pdf_document *d) { PDF_skew(d, 90, 0); }, V, "Bad skewing values 90.000000, 0.000000"},
        {"skew beyond 360", [](pdf_document *d) { PDF_skew(d, 0, -361); }, V, "Bad skewing values 0.000000, -361.000000"},
        {"degenerate concat", [](pdf_document *d) { PDF_concat(d, 1, 2, 2, 4, 0, 0); }, V, "Degenerate matrix in PDF_concat"},
        {"degenerate setmatrix", [](pdf_document *d) { PDF_setmatrix(d, 0, 0, 0, 0, 1, 1); }, V, "Degenerate matrix in PDF_setmatrix"},
        {"negative circle", [](pdf_document *d) { PDF_circle(d, 0, 0, -1); }, V, "Negative circle radius -1.000000"},
        {"negative arc", [](pdf_document *d) { PDF_arc(d, 0, 0, -1, 0, 90); }, V, "Negative arc radius -1.000000 in PDF_arc"},
        {"negative arcn", [](pdf_document *d) { PDF_arcn(d, 0, 0, -1, 0, 90); }, V, "Negative arc radius -1.000000 in PDF_arcn"},
        {"arc angle too large", [](pdf_document *d) { PDF_arc(d, 0, 0, 1, 0, 1e30f); }, V, "Arc angles 0.000000, 1000000015047466219876688855040.000000 out of range in PDF_arc"},
        {"null dash array", [](pdf_document *d) { PDF_setpolydash(d, nullptr, 2); }, R, "Bad array in PDF_setpolydash"},
        {"negative dash count", [](pdf_document *d) { PDF_setpolydash(d, kNegative, -2); }, R, "Bad array in PDF_setpolydash"},
        {"line width 0", [](pdf_document *d) { PDF_setlinewidth(d, 0); }, W, "Bogus line width 0.000000"},
        {"line cap 3", [](pdf_document *d) { PDF_setlinecap(d, 3); }, W, "Bogus line cap value 3"},
        {"line join -1", [](pdf_document *d) { PDF_setlinejoin(d, -1); }, W, "Bogus line join value -1"},
        {"miter below 1", [](pdf_document *d) { PDF_setmiterlimit(d, 0.5f); }, W, "Bogus miter limit 0.500000"},
        {"flatness above 100", [](pdf_document *d) { PDF_setflat(d, 101); }, W, "Illegal flat value 101.000000"},
        {"negative dash", [](pdf_document *d) { PDF_setdash(d, -1, 1); }, W, "Negative dash value -1.000000, 1.000000"},
        {"negative poly dash", [](pdf_document *d) { PDF_setpolydash(d, kNegative, 2); }, W, "Negative dash value -2.000000"},
        {"poly dash too long", [](pdf_document *d) { PDF_setpolydash(d, kNine, 9); }, W, "Dash array too long (9) - truncated", "[1 1 1 1 1 1 1 1 ] 0 d\n"},
        {"gray above 1.000015", [](pdf_document *d) { PDF_setgray_fill(d, 1.0001f); }, W, "Bogus gray value (1.000100) in PDF_setcolor"},
        {"RGB below 0", [](pdf_document *d) { PDF_setrgbcolor(d, 0, -0.5f, 1); }, W, "Bogus RGB color value (0.000000/-0.500000/1.000000) in PDF_setcolor"},
        {"CMYK above 1", [](pdf_document *d) { PDF_setcolor(d, "fill", "cmyk", 0, 0, 2, 0); }, W, "Bogus CMYK color value (0.000000/0.000000/2.000000/0.000000) in PDF_setcolor"},
        {"missing type", [](pdf_document *d) { PDF_setcolor(d, "", "gray", 0, 0, 0, 0); }, V, "Missing type in PDF_setcolor"},
        {"unknown type", [](pdf_document *d) { PDF_setcolor(d, "Fill", "gray", 0, 0, 0, 0); }, V, "Unknown type in PDF_setcolor"},
        {"missing colour space", [](pdf_document *d) { PDF_setcolor(d, "fill", nullptr, 0, 0, 0, 0); }, V, "Missing color space in PDF_setcolor"},
        {"no such spot colour", [](pdf_document *d) { PDF_setcolor(d, "fill", "spot", 0, 1, 0, 0); }, V, "Invalid spot color number 0 in PDF_setcolor"},
        {"spot tint above 1", [](pdf_document *d) { PDF_setcolor(d, "fill", "spot", PDF_makespotcolor(d, "S", 0), 1.5f, 0, 0); }, V, "Bogus spot color tint value (1.500000) in PDF_setcolor"},
        {"empty spot name", [](pdf_document *d) { PDF_makespotcolor(d, "", 0); }, V, "Empty spot color name"},
        {"spot name of 127", [&](pdf_document *d) { PDF_makespotcolor(d, long_name.c_str(), 0); }, V, "Spot color name too long"},
        {"negative name length", [](pdf_document *d) { PDF_makespotcolor(d, "S", -1); }, V, "Negative spot color name length -1"},
        {"spot on a spot", [](pdf_document *d) { PDF_setcolor(d, "fill", "spot", PDF_makespotcolor(d, "S", 0), 1, 0, 0); PDF_makespotcolor(d, "T", 0); }, R, "Spot colors can only be based on simple color spaces"},
        {"NaN coordinate", [](pdf_document *d) { PDF_moveto(d, 1, NAN); }, V, "Argument 2 of PDF_moveto is not a number (NaN)"},
        {"NaN colour", [](pdf_document *d) { PDF_setcolor(d, "fill", "rgb", 0, NAN, 0, 0); }, V, "Argument 4 of PDF_setcolor is not a number (NaN)"},
        {"NaN dash", [](pdf_document *d) { PDF_setpolydash(d, kNaN, 2); }, V, "Dash value 2 of PDF_setpolydash is not a number (NaN)"},
        {"NaN placement", [](pdf_document *d) { static const char pixel = 0; PDF_place_image(d, PDF_open_image(d, "raw", "memory", &pixel, 1, 1, 1, 1, 8, ""), 0, NAN, 1); }, V, "Argument 3 of PDF_place_image is not a number (NaN)"},
        {"infinite rotation", [](pdf_document *d) { PDF_rotate(d, INFINITY); }, V, "floating point value is not a number in pdf_ftoa"},
        {"infinite translation", [](pdf_document *d) { PDF_translate(d, INFINITY, 0); }, V, "floating point value too large in pdf_ftoa"},
    };
    for (const ErrorRow &row : rows) {
        Drawn drawn = DrawPage(row.draw);
        ASSERT_FALSE(drawn.reports.empty()) << row.label;
        EXPECT_EQ(drawn.reports.back(), (Report{row.type, row.message})) << row.label;
        EXPECT_EQ(drawn.finished, row.type == W) << row.label;
        if (row.type == W) {
            EXPECT_EQ(drawn.content, row.content) << row.label;
        }
    }
}

}  // namespace
