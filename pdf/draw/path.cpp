/*
 * path.cpp -- building, painting and clipping paths.
 *
 * A path starts with a move, a rectangle, a circle or an arc, which push the
 * path scope; in that scope only path calls are allowed, until a painting or
 * clipping call (or PDF_endpath) writes its operator and pops it again.
 */
#include "path.h"

#include "../core/content.h"
#include "../core/output.h"

namespace {

/* The checks of the calls that need a path being built. */
int may_extend(pdf_document *document, const char *function) {
    return pdf_is_valid(document) && pdf_check_scope(document, PDF_SCOPE_PATH, function);
}

/* Writes the operator that ends the path, and ends it. `even_odd`, when
 * given, is the form written under the even-odd fill rule. */
void finish_path(pdf_document *document, const char *function, const char *op,
                 const char *even_odd) {
    if (!may_extend(document, function)) return;
    if (even_odd != NULL) {
        int rule = document->graphics->fill_rule;
        if (rule != 0 && rule != 1) {
            pdf_error(document, PDF_ERR_SYSTEM, "Inconsistent fill rule value in %s", function);
            return;
        }
        if (rule == 1) op = even_odd;
    }
    pdf_puts(document, op);
    pdf_end_path(document);
}

}  // namespace

void pdf_begin_path(pdf_document *document) {
    if (pdf_current_scope(document) == PDF_SCOPE_PATH) return;
    pdf_end_text(document);
    document->content.state = PDF_CONTENT_PATH;
    pdf_push_scope(document, PDF_SCOPE_PATH, "pdf_begin_path");
}

void pdf_end_path(pdf_document *document) {
    document->content.state = PDF_CONTENT_SECTION;
    pdf_pop_scope(document, "pdf_end_path");
    pdf_gstate *level = pdf_current_gstate(document);
    level->current_x = level->current_y = 0;
}

void pdf_moveto(pdf_document *document, float x, float y) {
    pdf_gstate *level = pdf_current_gstate(document);
    level->current_x = level->subpath_x = x;
    level->current_y = level->subpath_y = y;
    pdf_begin_path(document);
    pdf_printf(document, "%f %f m\n", x, y);
}

void pdf_lineto(pdf_document *document, float x, float y) {
    pdf_printf(document, "%f %f l\n", x, y);
    pdf_gstate *level = pdf_current_gstate(document);
    level->current_x = x;
    level->current_y = y;
}

void pdf_curveto(pdf_document *document, float x1, float y1, float x2, float y2, float x3,
                 float y3) {
    if (x2 != x3 || y2 != y3)
        pdf_printf(document, "%f %f %f %f %f %f c\n", x1, y1, x2, y2, x3, y3);
    else
        pdf_printf(document, "%f %f %f %f y\n", x1, y1, x3, y3);
    pdf_gstate *level = pdf_current_gstate(document);
    level->current_x = x3;
    level->current_y = y3;
}

void pdf_closepath(pdf_document *document) {
    pdf_puts(document, "h\n");
    pdf_gstate *level = pdf_current_gstate(document);
    level->current_x = level->subpath_x;
    level->current_y = level->subpath_y;
}

void PDF_moveto(pdf_document *document, float x, float y) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_PATH_SCOPES, "PDF_moveto")) return;
    if (pdf_check_numbers(document, "PDF_moveto", 1, 2, x, y)) pdf_moveto(document, x, y);
}

void PDF_lineto(pdf_document *document, float x, float y) {
    if (!may_extend(document, "PDF_lineto")) return;
    if (pdf_check_numbers(document, "PDF_lineto", 1, 2, x, y)) pdf_lineto(document, x, y);
}

void PDF_curveto(pdf_document *document, float x1, float y1, float x2, float y2, float x3,
                 float y3) {
    if (!may_extend(document, "PDF_curveto")) return;
    if (pdf_check_numbers(document, "PDF_curveto", 1, 6, x1, y1, x2, y2, x3, y3))
        pdf_curveto(document, x1, y1, x2, y2, x3, y3);
}

void PDF_rect(pdf_document *document, float x, float y, float width, float height) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_PATH_SCOPES, "PDF_rect")) return;
    if (!pdf_check_numbers(document, "PDF_rect", 1, 4, x, y, width, height)) return;
    pdf_gstate *level = pdf_current_gstate(document);
    level->current_x = level->subpath_x = x;
    level->current_y = level->subpath_y = y;
    pdf_begin_path(document);
    pdf_printf(document, "%f %f %f %f re\n", x, y, width, height);
}

void PDF_closepath(pdf_document *document) {
    if (may_extend(document, "PDF_closepath")) pdf_closepath(document);
}

void PDF_endpath(pdf_document *document) {
    finish_path(document, "PDF_endpath", "n\n", NULL);
}

void PDF_stroke(pdf_document *document) {
    finish_path(document, "PDF_stroke", "S\n", NULL);
}

void PDF_closepath_stroke(pdf_document *document) {
    finish_path(document, "PDF_closepath_stroke", "s\n", NULL);
}

void PDF_fill(pdf_document *document) {
    finish_path(document, "PDF_fill", "f\n", "f*\n");
}

void PDF_fill_stroke(pdf_document *document) {
    finish_path(document, "PDF_fill_stroke", "B\n", "B*\n");
}

void PDF_closepath_fill_stroke(pdf_document *document) {
    finish_path(document, "PDF_closepath_fill_stroke", "b\n", "b*\n");
}

void PDF_clip(pdf_document *document) {
    finish_path(document, "PDF_clip", "W n\n", "W* n\n");
}
