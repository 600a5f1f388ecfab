/*
 * folio-demo -- writes a short document through Folio's C interface and
 * prints the absolute path of the file it wrote.
 *
 *   folio-demo [output.pdf]     (default: demo.pdf in the current folder)
 *
 * The first page is a small technical drawing of a flange that uses every
 * group of drawing calls: transformations, line attributes and dashes,
 * paths with circles and arcs, fill rules and clipping, gray, RGB, CMYK and
 * a spot colour. The second page shows what is defined once and used many
 * times, and what a reader can click: a template (a bolt symbol) placed
 * several times, a hatched and a dotted pattern fill, a note, a web link, a
 * link back to the drawing and an attached text file. The pages after it
 * are empty pages of several sizes.
 *
 * Exit status 0 on success, 1 when the file cannot be created or its path
 * cannot be resolved. Library errors go to the default handler, which
 * reports them and ends the process with status 99.
 */
#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "folio.h"

struct page_size {
    const char *name;
    float width;
    float height;
};

/* Page sizes in points: a few common papers and one landscape page. */
static const struct page_size pages[] = {
    {"A4", 595.0f, 842.0f},
    {"A5", 420.0f, 595.0f},
    {"Letter", 612.0f, 792.0f},
    {"A4 landscape", 842.0f, 595.0f},
    {"Square", 360.0f, 360.0f},
};

/* The flange, in points: outer radius, bore, bolt circle, bolt holes and
 * thickness (in the section view). */
#define FLANGE_RADIUS 150.0f
#define BORE_RADIUS 55.0f
#define BOLT_CIRCLE 108.0f
#define BOLT_RADIUS 14.0f
#define BOLTS 6
#define THICKNESS 40.0f

/* Where the views stand on the A4 landscape sheet. */
#define FRONT_X 250.0f
#define FRONT_Y 320.0f
#define SECTION_X 520.0f

/* Construction lines: long dash, gap, dot, gap. */
static const float center_dashes[] = {18, 4, 2, 4};

/* The sheet's frame and title block, in page coordinates. */
static void draw_frame(pdf_document *document)
{
    PDF_setgray_stroke(document, 0.1f);
    PDF_setmiterlimit(document, 4);
    PDF_setlinewidth(document, 1.5f);
    PDF_rect(document, 20, 20, 802, 555);
    PDF_stroke(document);
    PDF_setlinewidth(document, 0.75f);
    PDF_setgray_fill(document, 0.93f);
    PDF_rect(document, 562, 20, 260, 80);
    PDF_fill_stroke(document);
    PDF_moveto(document, 562, 60);
    PDF_lineto(document, 822, 60);
    PDF_moveto(document, 692, 20);
    PDF_lineto(document, 692, 60);
    PDF_stroke(document);
}

/* The flange's face around the origin: one path of the plate, the bore and
 * the bolt holes, filled by the even-odd rule so that the holes stay open. */
static void draw_face(pdf_document *document)
{
    int i;
    PDF_setrgbcolor_fill(document, 0.85f, 0.88f, 0.92f);
    PDF_setlinewidth(document, 2);
    PDF_set_parameter(document, "fillrule", "evenodd");
    PDF_circle(document, 0, 0, FLANGE_RADIUS);
    PDF_circle(document, 0, 0, BORE_RADIUS);
    for (i = 0; i < BOLTS; i++) {
        double angle = 2 * 3.141592653589793 * i / BOLTS;
        PDF_circle(document, (float)(BOLT_CIRCLE * cos(angle)), (float)(BOLT_CIRCLE * sin(angle)),
                   BOLT_RADIUS);
    }
    PDF_fill_stroke(document);
    PDF_set_parameter(document, "fillrule", "winding");
}

/* Centre lines through the face and the bolt circle, dashed. */
static void draw_center_lines(pdf_document *document)
{
    PDF_save(document);
    PDF_setrgbcolor_stroke(document, 0.75f, 0.1f, 0.1f);
    PDF_setlinewidth(document, 0.5f);
    PDF_setlinecap(document, 1);
    PDF_setpolydash(document, center_dashes, 4);
    PDF_moveto(document, -FLANGE_RADIUS - 20, 0);
    PDF_lineto(document, FLANGE_RADIUS + 20, 0);
    PDF_moveto(document, 0, -FLANGE_RADIUS - 20);
    PDF_lineto(document, 0, FLANGE_RADIUS + 20);
    PDF_stroke(document);
    PDF_circle(document, 0, 0, BOLT_CIRCLE);
    PDF_stroke(document);
    PDF_restore(document);
}

/* A filled arrowhead at angle `degrees` on the circle of `radius`, pointing
 * counter-clockwise (`direction` 1) or clockwise (-1). */
static void draw_arrowhead(pdf_document *document, float radius, float degrees, float direction)
{
    PDF_save(document);
    PDF_rotate(document, degrees);
    PDF_translate(document, radius, 0);
    PDF_scale(document, 1, direction);
    PDF_moveto(document, 0, 0);
    PDF_lineto(document, -3, -9);
    PDF_lineto(document, 3, -9);
    PDF_closepath(document);
    PDF_fill(document);
    PDF_restore(document);
}

/* The angle between two bolt holes, and the turning sense of the part,
 * as arcs with arrowheads. */
static void draw_angle_marks(pdf_document *document)
{
    const float dimension = FLANGE_RADIUS + 18, turn = FLANGE_RADIUS + 34;
    PDF_setlinejoin(document, 1);
    PDF_setlinewidth(document, 0.75f);
    PDF_setgray_fill(document, 0);
    PDF_arc(document, 0, 0, dimension, 0, 360.0f / BOLTS);
    PDF_stroke(document);
    draw_arrowhead(document, dimension, 0, -1);
    draw_arrowhead(document, dimension, 360.0f / BOLTS, 1);
    PDF_setcolor(document, "both", "cmyk", 0, 0.6f, 1, 0);
    PDF_arcn(document, 0, 0, turn, 160, 110);
    PDF_stroke(document);
    draw_arrowhead(document, turn, 110, -1);
}

/* The section through the flange: the two cut faces, hatched at 45
 * degrees inside a clipping path made of their outlines. */
static void draw_section(pdf_document *document)
{
    const float outer = FLANGE_RADIUS, bore = BORE_RADIUS;
    float offset;
    PDF_save(document);
    PDF_rect(document, 0, bore, THICKNESS, outer - bore);
    PDF_rect(document, 0, -outer, THICKNESS, outer - bore);
    PDF_clip(document);
    PDF_rotate(document, 45);
    PDF_setlinewidth(document, 0.5f);
    for (offset = -2 * outer; offset <= 2 * outer; offset += 6) {
        PDF_moveto(document, offset, -2 * outer);
        PDF_lineto(document, offset, 2 * outer);
    }
    PDF_stroke(document);
    PDF_restore(document);
    PDF_setlinewidth(document, 2);
    PDF_rect(document, 0, bore, THICKNESS, outer - bore);
    PDF_rect(document, 0, -outer, THICKNESS, outer - bore);
    PDF_stroke(document);
    PDF_setdash(document, 6, 3);
    PDF_setlinewidth(document, 0.75f);
    PDF_moveto(document, 0, -bore);
    PDF_lineto(document, 0, bore);
    PDF_moveto(document, THICKNESS, -bore);
    PDF_lineto(document, THICKNESS, bore);
    PDF_stroke(document);
    PDF_setdash(document, 0, 0);
}

/* A small oblique sketch of the hub: a square face sheared into depth. */
static void draw_oblique_sketch(pdf_document *document)
{
    PDF_save(document);
    PDF_concat(document, 0.5f, 0, 0, 0.5f, 640, 150);
    PDF_skew(document, 0, 30);
    PDF_setflat(document, 0.5f);
    PDF_setrgbcolor(document, 0.3f, 0.4f, 0.6f);
    PDF_rect(document, 0, 0, 120, 120);
    PDF_circle(document, 60, 60, 30);
    PDF_closepath_stroke(document);
    PDF_restore(document);
}

/* Swatches of the spot colour at three tints, in the title block. */
static void draw_swatches(pdf_document *document, int spot)
{
    static const float tints[] = {1.0f, 0.6f, 0.3f};
    int i;
    for (i = 0; i < 3; i++) {
        PDF_setcolor(document, "fill", "spot", (float)spot, tints[i], 0, 0);
        PDF_rect(document, 572 + 40 * (float)i, 70, 30, 20);
        PDF_fill(document);
    }
    PDF_setgray(document, 0);
    PDF_rect(document, 702, 70, 110, 20);
    PDF_closepath_fill_stroke(document);
}

/* The drawing page. The spot colour is made beforehand, in document
 * scope, from a CMYK fill colour: its alternate. */
static void draw_sheet(pdf_document *document)
{
    int spot;
    PDF_setcolor(document, "fill", "cmyk", 0.9f, 0.5f, 0, 0.1f);
    spot = PDF_makespotcolor(document, "Folio Blue", 0);
    PDF_begin_page(document, 842, 595);
    draw_frame(document);
    PDF_save(document);
    PDF_translate(document, FRONT_X, FRONT_Y);
    draw_face(document);
    draw_center_lines(document);
    draw_angle_marks(document);
    PDF_setmatrix(document, 1, 0, 0, 1, SECTION_X, FRONT_Y);
    PDF_setgray_stroke(document, 0.1f);
    draw_section(document);
    PDF_initgraphics(document);
    draw_oblique_sketch(document);
    PDF_restore(document);
    draw_swatches(document, spot);
    PDF_end_page(document);
}

/* The bolt symbol, 40 x 40: a circle with its centre lines. */
static int define_bolt_template(pdf_document *document)
{
    int bolt = PDF_begin_template(document, 40, 40);
    PDF_setlinewidth(document, 2);
    PDF_setrgbcolor_stroke(document, 0.1f, 0.2f, 0.5f);
    PDF_circle(document, 20, 20, 15);
    PDF_stroke(document);
    PDF_setlinewidth(document, 0.5f);
    PDF_moveto(document, 0, 20);
    PDF_lineto(document, 40, 20);
    PDF_moveto(document, 20, 0);
    PDF_lineto(document, 20, 40);
    PDF_stroke(document);
    PDF_end_template(document);
    return bolt;
}

/* A coloured hatch: one dark red diagonal per 8 x 8 cell. */
static int define_hatch_pattern(pdf_document *document)
{
    int hatch = PDF_begin_pattern(document, 8, 8, 8, 8, 1);
    PDF_setrgbcolor_stroke(document, 0.6f, 0.1f, 0.1f);
    PDF_moveto(document, 0, 0);
    PDF_lineto(document, 8, 8);
    PDF_stroke(document);
    PDF_end_pattern(document);
    return hatch;
}

/* An uncoloured dot grid, painted in the colour in force where it is used. */
static int define_dot_pattern(pdf_document *document)
{
    int dots = PDF_begin_pattern(document, 6, 6, 6, 6, 2);
    PDF_circle(document, 3, 3, 1.5f);
    PDF_fill(document);
    PDF_end_pattern(document);
    return dots;
}

/* A short text file to attach, made in the temporary folder; its name goes
 * to `path`. Returns 0 when it cannot be made. */
static int write_attachment(char *path, size_t size)
{
    static const char notes[] = "Flange, drawing 1: bore 110, six bolts M24 on 216.\n";
    const char *folder = getenv("TMPDIR");
    int fd;
    snprintf(path, size, "%s/folio-demo-XXXXXX-notes.txt", folder != NULL ? folder : "/tmp");
    fd = mkstemps(path, (int)strlen("-notes.txt"));
    if (fd < 0) return 0;
    if (write(fd, notes, strlen(notes)) != (ssize_t)strlen(notes)) {
        close(fd);
        unlink(path);
        return 0;
    }
    close(fd);
    return 1;
}

/* The second page: the bolt placed along a row at growing sizes, the two
 * pattern fills, and the annotations. */
static void draw_definitions_page(pdf_document *document, const char *attachment)
{
    int bolt, hatch, dots, i;
    bolt = define_bolt_template(document);
    hatch = define_hatch_pattern(document);
    dots = define_dot_pattern(document);
    PDF_begin_page(document, 595, 842);
    for (i = 0; i < 5; i++)
        PDF_place_image(document, bolt, 60 + 95 * (float)i, 700, 0.6f + 0.3f * (float)i);

    PDF_setcolor(document, "both", "pattern", (float)hatch, 0, 0, 0);
    PDF_rect(document, 60, 420, 220, 200);
    PDF_fill(document);
    PDF_setrgbcolor_fill(document, 0.1f, 0.4f, 0.8f);
    PDF_setcolor(document, "fill", "pattern", (float)dots, 0, 0, 0);
    PDF_circle(document, 420, 520, 100);
    PDF_fill(document);

    PDF_add_note(document, 60, 360, 80, 380, "The hatch and the dots are tiling patterns.",
                 "Folio", "comment", 1);
    PDF_set_border_style(document, "dashed", 1);
    PDF_set_border_color(document, 0.1f, 0.4f, 0.8f);
    PDF_add_weblink(document, 60, 300, 280, 330, "https://example.com/folio");
    PDF_add_locallink(document, 320, 300, 540, 330, 1, "fitpage");
    if (attachment != NULL)
        PDF_attach_file(document, 60, 240, 80, 260, attachment, "Notes on the flange",
                        "Bindwick", "text/plain", "paperclip");
    PDF_end_page(document);
}

int main(int argc, char **argv)
{
    const char *filename = argc > 1 ? argv[1] : "demo.pdf";
    char resolved[PATH_MAX];
    char attachment[PATH_MAX];
    int have_attachment;
    pdf_document *document;
    size_t i;

    document = PDF_new();
    if (document == NULL) {
        fprintf(stderr, "folio-demo: cannot create a document object\n");
        return 1;
    }
    if (PDF_open_file(document, filename) == -1) {
        fprintf(stderr, "folio-demo: cannot create '%s'\n", filename);
        PDF_delete(document);
        return 1;
    }
    have_attachment = write_attachment(attachment, sizeof attachment);
    PDF_set_info(document, "Creator", "folio-demo");
    PDF_set_info(document, "Title", "Folio demonstration");
    PDF_set_info(document, "Subject", "A technical drawing and pages of several sizes");
    PDF_set_info(document, "Author", "Bindwick");
    draw_sheet(document);
    draw_definitions_page(document, have_attachment ? attachment : NULL);
    for (i = 0; i < sizeof pages / sizeof pages[0]; i++) {
        PDF_begin_page(document, pages[i].width, pages[i].height);
        PDF_end_page(document);
    }
    PDF_close(document);
    PDF_delete(document);
    if (have_attachment) unlink(attachment);

    if (realpath(filename, resolved) == NULL) {
        perror("folio-demo: realpath");
        return 1;
    }
    printf("%s\n", resolved);
    return 0;
}
