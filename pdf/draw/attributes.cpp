/*
 * attributes.cpp -- line width, cap, join, miter limit, flatness and dash
 * patterns. Each is written only when it differs from the value the current
 * level holds; a value out of range is a warning and changes nothing.
 */
#include <math.h>

#include "../core/output.h"
#include "color.h"
#include "gstate.h"

namespace {

/* The longest dash array written; longer ones are cut. */
const int kMaxDashes = 8;

void set_line_width(pdf_document *document, float width) {
    pdf_gstate *level = pdf_current_gstate(document);
    if (width <= 0) {
        pdf_error(document, PDF_ERR_NONFATAL, "Bogus line width %f", width);
    } else if (width != level->line_width) {
        pdf_printf(document, "%f w\n", width);
        level->line_width = width;
    }
}

/* Cap (`join` 0) or join (1) style: 0, 1 or 2. */
void set_line_style(pdf_document *document, int join, int style) {
    pdf_gstate *level = pdf_current_gstate(document);
    int *held = join ? &level->line_join : &level->line_cap;
    if (style < 0 || style > 2) {
        pdf_error(document, PDF_ERR_NONFATAL,
                  join ? "Bogus line join value %d" : "Bogus line cap value %d", style);
    } else if (style != *held) {
        pdf_printf(document, join ? "%d j\n" : "%d J\n", style);
        *held = style;
    }
}

void set_miter_limit(pdf_document *document, float miter) {
    pdf_gstate *level = pdf_current_gstate(document);
    if (miter < 1) {
        pdf_error(document, PDF_ERR_NONFATAL, "Bogus miter limit %f", miter);
    } else if (miter != level->miter_limit) {
        pdf_printf(document, "%f M\n", miter);
        level->miter_limit = miter;
    }
}

void set_flatness(pdf_document *document, float flatness) {
    pdf_gstate *level = pdf_current_gstate(document);
    if (flatness < 0 || flatness > 100) {
        pdf_error(document, PDF_ERR_NONFATAL, "Illegal flat value %f", flatness);
    } else if (flatness != level->flatness) {
        pdf_printf(document, "%f i\n", flatness);
        level->flatness = flatness;
    }
}

/* Dashes of `black` on and `white` off; both 0 is solid. */
void set_dash(pdf_document *document, float black, float white) {
    pdf_gstate *level = pdf_current_gstate(document);
    if (black < 0 || white < 0) {
        pdf_error(document, PDF_ERR_NONFATAL, "Negative dash value %f, %f", black, white);
    } else if (black != 0 || white != 0) {
        pdf_printf(document, "[%f %f] 0 d\n", black, white);
        level->dashed = 1;
    } else if (level->dashed) {
        pdf_puts(document, "[] 0 d\n");
        level->dashed = 0;
    }
}

/* The checks of the single-value attribute calls. */
int may_set(pdf_document *document, const char *function, float value) {
    return pdf_is_valid(document) && pdf_check_scope(document, PDF_DRAWING_SCOPES, function) &&
           pdf_check_numbers(document, function, 1, 1, value);
}

/* The dash values a poly dash uses; 0 after reporting a bad one. */
int check_dashes(pdf_document *document, const float *dashes, int count) {
    for (int i = 0; i < count; i++) {
        if (isnan(dashes[i])) {
            pdf_error(document, PDF_ERR_VALUE,
                      "Dash value %d of PDF_setpolydash is not a number (NaN)", i + 1);
            return 0;
        }
        if (dashes[i] < 0) {
            pdf_error(document, PDF_ERR_NONFATAL, "Negative dash value %f", dashes[i]);
            return 0;
        }
    }
    return 1;
}

int all_zero(const float *dashes, int count) {
    for (int i = 0; i < count; i++)
        if (dashes[i] != 0) return 0;
    return 1;
}

}  // namespace

void PDF_setlinewidth(pdf_document *document, float width) {
    if (may_set(document, "PDF_setlinewidth", width)) set_line_width(document, width);
}

void PDF_setlinecap(pdf_document *document, int cap) {
    if (!pdf_is_valid(document)) return;
    if (pdf_check_scope(document, PDF_DRAWING_SCOPES, "PDF_setlinecap"))
        set_line_style(document, 0, cap);
}

void PDF_setlinejoin(pdf_document *document, int join) {
    if (!pdf_is_valid(document)) return;
    if (pdf_check_scope(document, PDF_DRAWING_SCOPES, "PDF_setlinejoin"))
        set_line_style(document, 1, join);
}

void PDF_setmiterlimit(pdf_document *document, float miter) {
    if (may_set(document, "PDF_setmiterlimit", miter)) set_miter_limit(document, miter);
}

void PDF_setflat(pdf_document *document, float flatness) {
    if (may_set(document, "PDF_setflat", flatness)) set_flatness(document, flatness);
}

void PDF_setdash(pdf_document *document, float black, float white) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_DRAWING_SCOPES, "PDF_setdash")) return;
    if (pdf_check_numbers(document, "PDF_setdash", 1, 2, black, white))
        set_dash(document, black, white);
}

/* Fewer than two values draw solid lines; the dashed mark of the level is
 * left as it was. */
void PDF_setpolydash(pdf_document *document, const float *dasharray, int count) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_DRAWING_SCOPES, "PDF_setpolydash")) return;
    if (count == 0 || count == 1) {
        pdf_puts(document, "[] 0 d\n");
        return;
    }
    if (dasharray == NULL || count < 0) {
        pdf_error(document, PDF_ERR_RUNTIME, "Bad array in PDF_setpolydash");
        return;
    }
    if (count > kMaxDashes) {
        pdf_error(document, PDF_ERR_NONFATAL, "Dash array too long (%d) - truncated", count);
        count = kMaxDashes;
    }
    if (!check_dashes(document, dasharray, count)) return;
    if (all_zero(dasharray, count)) {
        /* PDF forbids a dash array of zeros (viewers draw nothing); like
         * PDF_setdash(0, 0) it asks for solid lines. */
        pdf_puts(document, "[] 0 d\n");
        pdf_current_gstate(document)->dashed = 0;
        return;
    }
    pdf_puts(document, "[");
    for (int i = 0; i < count; i++) pdf_printf(document, "%f ", dasharray[i]);
    pdf_puts(document, "] 0 d\n");
    pdf_current_gstate(document)->dashed = 1;
}

void pdf_reset_drawing_attributes(pdf_document *document) {
    pdf_set_gray(document, PDF_COLOR_BOTH, 0);
    set_line_width(document, 1);
    set_line_style(document, 0, 0);
    set_line_style(document, 1, 0);
    set_miter_limit(document, 10);
    set_dash(document, 0, 0);
    if (pdf_current_gstate(document)->flatness != -1) set_flatness(document, 1);
}
