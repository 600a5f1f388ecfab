/*
 * color.cpp -- PDF_setcolor and its short forms, and spot colours made with
 * PDF_makespotcolor.
 *
 * Each level of the graphics state holds the fill and stroke colour in
 * force. A setting writes its operator only when the colour differs from
 * the one held, compared exactly; in document scope nothing is written and
 * the colour is only recorded.
 */
#include "color.h"

#include <limits.h>
#include <string.h>

#include "../core/format.h"
#include "../core/output.h"
#include "pattern.h"

namespace {

/* Component values may pass 1 by a rounding error. */
const double kMaxComponent = 1.000015;
/* The longest spot colour name, before escaping. */
const int kMaxSpotName = 126;

typedef void (*color_setter)(pdf_document *document, int parts, const float *c);

pdf_color make_color(int colorspace, float v0, float v1, float v2, float v3) {
    pdf_color color = {(pdf_byte)colorspace, {v0, v1, v2, v3}};
    return color;
}

int same_color(const pdf_color *a, const pdf_color *b) {
    return a->colorspace == b->colorspace && a->values[0] == b->values[0] &&
           a->values[1] == b->values[1] && a->values[2] == b->values[2] &&
           a->values[3] == b->values[3];
}

int is_component(float value) {
    return value >= 0 && value <= kMaxComponent;
}

/* The operator that makes `color` the fill colour, or with `stroke` the
 * stroke colour. */
void write_color(pdf_document *document, const pdf_color *color, int stroke) {
    const float *v = color->values;
    switch (color->colorspace) {
        case PDF_CS_DEVICEGRAY:
            pdf_printf(document, stroke ? "%f G\n" : "%f g\n", v[0]);
            break;
        case PDF_CS_DEVICERGB:
            pdf_printf(document, stroke ? "%f %f %f RG\n" : "%f %f %f rg\n", v[0], v[1], v[2]);
            break;
        case PDF_CS_DEVICECMYK:
            pdf_printf(document, stroke ? "%f %f %f %f K\n" : "%f %f %f %f k\n", v[0], v[1], v[2],
                       v[3]);
            break;
        case PDF_CS_SEPARATION:
            pdf_printf(document, stroke ? "/CS%d CS %f SCN\n" : "/CS%d cs %f scn\n", (int)v[1],
                       v[0]);
            break;
    }
}

/* Makes `color` the `parts` colours of the current level, writing the
 * operator of each that changes unless in document scope. */
void apply_color(pdf_document *document, int parts, const pdf_color *color) {
    pdf_gstate *level = pdf_current_gstate(document);
    int writes = pdf_current_scope(document) != PDF_SCOPE_DOCUMENT;
    if ((parts & PDF_COLOR_FILL) && !same_color(&level->fill, color)) {
        if (writes) write_color(document, color, 0);
        level->fill = *color;
    }
    if ((parts & PDF_COLOR_STROKE) && !same_color(&level->stroke, color)) {
        if (writes) write_color(document, color, 1);
        level->stroke = *color;
    }
}

void set_gray(pdf_document *document, int parts, const float *c) {
    if (!is_component(c[0])) {
        pdf_error(document, PDF_ERR_NONFATAL, "Bogus gray value (%f) in PDF_setcolor", c[0]);
        return;
    }
    pdf_color color = make_color(PDF_CS_DEVICEGRAY, c[0], 0, 0, 0);
    apply_color(document, parts, &color);
}

/* Equal components are written as gray, which every device shows alike. */
void set_rgb(pdf_document *document, int parts, const float *c) {
    if (!is_component(c[0]) || !is_component(c[1]) || !is_component(c[2])) {
        pdf_error(document, PDF_ERR_NONFATAL, "Bogus RGB color value (%f/%f/%f) in PDF_setcolor",
                  c[0], c[1], c[2]);
        return;
    }
    pdf_color color = c[0] == c[1] && c[1] == c[2]
                          ? make_color(PDF_CS_DEVICEGRAY, c[0], 0, 0, 0)
                          : make_color(PDF_CS_DEVICERGB, c[0], c[1], c[2], 0);
    apply_color(document, parts, &color);
}

void set_cmyk(pdf_document *document, int parts, const float *c) {
    if (!is_component(c[0]) || !is_component(c[1]) || !is_component(c[2]) || !is_component(c[3])) {
        pdf_error(document, PDF_ERR_NONFATAL,
                  "Bogus CMYK color value (%f/%f/%f/%f) in PDF_setcolor", c[0], c[1], c[2], c[3]);
        return;
    }
    pdf_color color = make_color(PDF_CS_DEVICECMYK, c[0], c[1], c[2], c[3]);
    apply_color(document, parts, &color);
}

/* A float truncated toward zero, held within the range of int. */
int to_int(float value) {
    if (value >= (float)INT_MAX) return INT_MAX;
    if (value <= (float)INT_MIN) return INT_MIN;
    return (int)value;
}

/* c[0] is the registry slot of the spot colour, c[1] its tint. */
void set_spot(pdf_document *document, int parts, const float *c) {
    int slot = to_int(c[0]);
    if (slot < 0 || slot >= pdf_colorspace_count(document)) {
        pdf_error(document, PDF_ERR_VALUE, "Invalid spot color number %d in PDF_setcolor", slot);
        return;
    }
    if (!is_component(c[1])) {
        pdf_error(document, PDF_ERR_VALUE, "Bogus spot color tint value (%f) in PDF_setcolor",
                  c[1]);
        return;
    }
    pdf_color color = make_color(PDF_CS_SEPARATION, c[1], (float)slot, 0, 0);
    apply_color(document, parts, &color);
    if (pdf_current_scope(document) != PDF_SCOPE_DOCUMENT) pdf_use_colorspace(document, slot);
}

/* The components of `base`, the colour an uncoloured pattern is painted
 * in, without a trailing blank; 0 after the error for a space that has no
 * pattern form. */
int write_pattern_components(pdf_document *document, const pdf_color *base) {
    const float *v = base->values;
    switch (base->colorspace) {
        case PDF_CS_DEVICEGRAY:
            pdf_printf(document, "%f", v[0]);
            return 1;
        case PDF_CS_DEVICERGB:
            pdf_printf(document, "%f %f %f", v[0], v[1], v[2]);
            return 1;
        case PDF_CS_DEVICECMYK:
            pdf_printf(document, "%f %f %f %f", v[0], v[1], v[2], v[3]);
            return 1;
    }
    pdf_error(document, PDF_ERR_SYSTEM, "Unknown color space in pdf_write_pattern_color");
    return 0;
}

/* Selects pattern `number` as the fill (or with `stroke` the stroke)
 * colour. An uncoloured pattern is painted in `base`, the colour in force,
 * through a Pattern colour space over base's own space. */
void write_pattern_color(pdf_document *document, int number, int paint_type, const pdf_color *base,
                         int stroke) {
    if (paint_type == PDF_PATTERN_COLORED) {
        pdf_puts(document, stroke ? "/Pattern CS\n" : "/Pattern cs\n");
    } else {
        int slot = pdf_add_colorspace(document, PDF_CS_PATTERN, NULL, base);
        pdf_printf(document, stroke ? "/CS%d CS\n" : "/CS%d cs\n", slot);
        if (!write_pattern_components(document, base)) return;
    }
    pdf_printf(document, stroke ? "/P%d SCN\n" : "/P%d scn\n", number);
}

/* An uncoloured pattern cannot be painted in a spot colour, nor in a
 * colour that is itself a pattern. */
int check_pattern_base(pdf_document *document, const pdf_color *base) {
    if (base->colorspace == PDF_CS_SEPARATION) {
        pdf_error(document, PDF_ERR_VALUE, "Separation NYI for patterns");
        return 0;
    }
    if (base->colorspace > PDF_CS_DEVICECMYK) {
        pdf_error(document, PDF_ERR_SYSTEM, "Unknown color space in pdf_write_pattern_color");
        return 0;
    }
    return 1;
}

/* c[0] is the pattern number. Each part of an uncoloured pattern is painted
 * in that part's own colour, so that the components written match the
 * colour space registered for them. A coloured pattern becomes the colour
 * in force; an uncoloured one leaves it as it was. */
void set_pattern(pdf_document *document, int parts, const float *c) {
    int number = to_int(c[0]);
    int paint_type = pdf_pattern_paint_type(document, number);
    if (paint_type == 0) return;
    pdf_gstate *level = pdf_current_gstate(document);
    int uncolored = paint_type == PDF_PATTERN_UNCOLORED;
    if (uncolored && (parts & PDF_COLOR_FILL) && !check_pattern_base(document, &level->fill))
        return;
    if (uncolored && (parts & PDF_COLOR_STROKE) && !check_pattern_base(document, &level->stroke))
        return;
    int writes = pdf_current_scope(document) != PDF_SCOPE_DOCUMENT;
    pdf_color pattern = make_color(PDF_CS_PATTERN, (float)number, 0, 0, 0);
    if (parts & PDF_COLOR_FILL) {
        if (writes) write_pattern_color(document, number, paint_type, &level->fill, 0);
        if (!uncolored) level->fill = pattern;
    }
    if (parts & PDF_COLOR_STROKE) {
        if (writes) write_pattern_color(document, number, paint_type, &level->stroke, 1);
        if (!uncolored) level->stroke = pattern;
    }
    if (writes) pdf_use_pattern(document, number);
}

/* The colour spaces PDF_setcolor knows, with the components each takes. */
struct color_space_row {
    const char *name;
    int components;
    color_setter set;
};

const color_space_row kColorSpaces[] = {
    {"gray", 1, set_gray}, {"rgb", 3, set_rgb},         {"cmyk", 4, set_cmyk},
    {"spot", 2, set_spot}, {"pattern", 1, set_pattern}, {NULL, 0, NULL},
};

/* The PDF_COLOR_ parts a type names; 0 after reporting a bad type. */
int color_parts(pdf_document *document, const char *type) {
    static const char *const kTypes[] = {"fill", "stroke", "both", NULL};
    if (type == NULL || type[0] == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Missing type in PDF_setcolor");
        return 0;
    }
    int index = pdf_choice_index(kTypes, type);
    if (index < 0) {
        pdf_error(document, PDF_ERR_VALUE, "Unknown type in PDF_setcolor");
        return 0;
    }
    return index + 1;
}

/* The row of a colour space name; null after reporting a bad one. */
const color_space_row *find_color_space(pdf_document *document, const char *space) {
    if (space == NULL || space[0] == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Missing color space in PDF_setcolor");
        return NULL;
    }
    for (const color_space_row *row = kColorSpaces; row->name != NULL; row++)
        if (strcmp(row->name, space) == 0) return row;
    pdf_error(document, PDF_ERR_VALUE, "Unknown color space '%s' in PDF_setcolor", space);
    return NULL;
}

/* The checks shared by the short calls: document, scope, the numbers. */
int short_call_may_go_on(pdf_document *document, const char *function, int count, float a, float b,
                         float c) {
    return pdf_is_valid(document) && pdf_check_scope(document, PDF_DRAWING_SCOPES, function) &&
           pdf_check_numbers(document, function, 1, count, a, b, c);
}

void set_short_gray(pdf_document *document, const char *function, int parts, float g) {
    if (short_call_may_go_on(document, function, 1, g, 0, 0)) set_gray(document, parts, &g);
}

void set_short_rgb(pdf_document *document, const char *function, int parts, float r, float g,
                   float b) {
    const float c[3] = {r, g, b};
    if (short_call_may_go_on(document, function, 3, r, g, b)) set_rgb(document, parts, c);
}

}  // namespace

void pdf_reset_colors(pdf_gstate *level) {
    level->fill = make_color(PDF_CS_DEVICEGRAY, 0, 0, 0, 0);
    level->stroke = level->fill;
}

void pdf_set_gray(pdf_document *document, int parts, float gray) {
    set_gray(document, parts, &gray);
}

void PDF_setcolor(pdf_document *document, const char *type, const char *colorspace, float c1,
                  float c2, float c3, float c4) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_DRAWING_SCOPES, "PDF_setcolor")) return;
    int parts = color_parts(document, type);
    if (parts == 0) return;
    const color_space_row *row = find_color_space(document, colorspace);
    if (row == NULL) return;
    if (!pdf_check_numbers(document, "PDF_setcolor", 3, row->components, c1, c2, c3, c4)) return;
    const float c[4] = {c1, c2, c3, c4};
    row->set(document, parts, c);
}

void PDF_setgray_fill(pdf_document *document, float g) {
    set_short_gray(document, "PDF_setgray_fill", PDF_COLOR_FILL, g);
}

void PDF_setgray_stroke(pdf_document *document, float g) {
    set_short_gray(document, "PDF_setgray_stroke", PDF_COLOR_STROKE, g);
}

void PDF_setgray(pdf_document *document, float g) {
    set_short_gray(document, "PDF_setgray", PDF_COLOR_BOTH, g);
}

void PDF_setrgbcolor_fill(pdf_document *document, float red, float green, float blue) {
    set_short_rgb(document, "PDF_setrgbcolor_fill", PDF_COLOR_FILL, red, green, blue);
}

void PDF_setrgbcolor_stroke(pdf_document *document, float red, float green, float blue) {
    set_short_rgb(document, "PDF_setrgbcolor_stroke", PDF_COLOR_STROKE, red, green, blue);
}

void PDF_setrgbcolor(pdf_document *document, float red, float green, float blue) {
    set_short_rgb(document, "PDF_setrgbcolor", PDF_COLOR_BOTH, red, green, blue);
}

/* The escaped name is kept on the stack: an error raised while the slot is
 * made leaves nothing allocated behind. */
int PDF_makespotcolor(pdf_document *document, const char *spotname, int length) {
    if (!pdf_is_valid(document)) return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_DRAWING_SCOPES, "PDF_makespotcolor"))
        return -1;
    if (spotname == NULL || spotname[0] == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Empty spot color name");
        return -1;
    }
    const pdf_color *fill = &pdf_current_gstate(document)->fill;
    if (fill->colorspace != PDF_CS_DEVICEGRAY && fill->colorspace != PDF_CS_DEVICERGB &&
        fill->colorspace != PDF_CS_DEVICECMYK) {
        pdf_error(document, PDF_ERR_RUNTIME,
                  "Spot colors can only be based on simple color spaces");
        return -1;
    }
    if (length == 0) length = (int)strnlen(spotname, (size_t)kMaxSpotName + 1);
    if (length < 0) {
        pdf_error(document, PDF_ERR_VALUE, "Negative spot color name length %d", length);
        return -1;
    }
    if (length > kMaxSpotName) {
        pdf_error(document, PDF_ERR_VALUE, "Spot color name too long");
        return -1;
    }
    char escaped[3 * kMaxSpotName + 1];
    pdf_make_name(spotname, (size_t)length, escaped);
    return pdf_add_colorspace(document, PDF_CS_SEPARATION, escaped, fill);
}
