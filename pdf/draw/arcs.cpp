/*
 * arcs.cpp -- circles and arcs, drawn as Bezier curves of at most 90
 * degrees each.
 */
#include <math.h>

#include "path.h"

namespace {

/* The handle length of a quarter circle of radius 1. */
const float kCircleHandle = 0.5522848f;
/* Arc angles beyond this many degrees are refused: a float angle there no
 * longer holds a sixteenth of a degree, and stepping it by 90 degrees at a
 * time would stand still. */
const float kMaxArcAngle = 1000000;

double radians(float degrees) {
    return (float)(degrees * 3.141592653589793 / 180);
}

/* One curve along the circle of radius r around (x, y) from angle a to
 * angle b (degrees, at most 90 apart). */
void arc_segment(pdf_document *document, float x, float y, float r, double a, double b) {
    double a1 = radians((float)a), a2 = radians((float)b);
    double h = (a2 - a1) / 2;
    double k = h != 0 ? 4.0 / 3.0 * (1 - cos(h)) / sin(h) : 0;
    double c1 = cos(a1), s1 = sin(a1), c2 = cos(a2), s2 = sin(a2);
    pdf_curveto(document, (float)(x + r * (c1 - k * s1)), (float)(y + r * (s1 + k * c1)),
                (float)(x + r * (c2 + k * s2)), (float)(y + r * (s2 - k * c2)), (float)(x + r * c2),
                (float)(y + r * s2));
}

/* The checks of an arc call; `negative` is its message for a radius below
 * 0. */
int may_draw_arc(pdf_document *document, const char *function, const char *negative, float x,
                 float y, float r, float alpha, float beta) {
    if (!pdf_is_valid(document)) return 0;
    if (!pdf_check_scope(document, PDF_PATH_SCOPES, function)) return 0;
    if (!pdf_check_numbers(document, function, 1, 5, x, y, r, alpha, beta)) return 0;
    if (r < 0) {
        pdf_error(document, PDF_ERR_VALUE, negative, r);
        return 0;
    }
    if (fabsf(alpha) > kMaxArcAngle || fabsf(beta) > kMaxArcAngle) {
        pdf_error(document, PDF_ERR_VALUE, "Arc angles %f, %f out of range in %s", alpha, beta,
                  function);
        return 0;
    }
    return 1;
}

/* Goes to the start of an arc: a line from the current point inside a
 * path, else a move that starts the path. */
void go_to_arc_start(pdf_document *document, float x, float y, float r, float alpha) {
    double angle = radians(alpha);
    float start_x = (float)(x + r * cos(angle)), start_y = (float)(y + r * sin(angle));
    const pdf_gstate *level = pdf_current_gstate(document);
    if (pdf_current_scope(document) != PDF_SCOPE_PATH)
        pdf_moveto(document, start_x, start_y);
    else if (start_x != level->current_x || start_y != level->current_y)
        pdf_lineto(document, start_x, start_y);
}

/* The arc from `from` over `sweep` degrees (negative: clockwise), in
 * curves of at most 90 degrees. */
void draw_arc(pdf_document *document, float x, float y, float r, double from, double sweep) {
    double step = sweep > 0 ? 90 : -90;
    double to = from + sweep;
    while (fabs(to - from) > 90) {
        arc_segment(document, x, y, r, from, from + step);
        from += step;
    }
    if (from != to) arc_segment(document, x, y, r, from, to);
}

/* The turn from alpha to beta in the direction of `step_sign`, reduced to
 * less than a full turn when it runs the other way. */
double arc_sweep(float alpha, float beta, int step_sign) {
    double sweep = ((double)beta - alpha) * step_sign;
    if (sweep < 0) {
        sweep = fmod(sweep, 360);
        if (sweep < 0) sweep += 360;
    }
    return sweep * step_sign;
}

}  // namespace

void PDF_circle(pdf_document *document, float x, float y, float r) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_PATH_SCOPES, "PDF_circle")) return;
    if (!pdf_check_numbers(document, "PDF_circle", 1, 3, x, y, r)) return;
    if (r < 0) {
        pdf_error(document, PDF_ERR_VALUE, "Negative circle radius %f", r);
        return;
    }
    float k = r * kCircleHandle;
    pdf_moveto(document, x + r, y);
    pdf_curveto(document, x + r, y + k, x + k, y + r, x, y + r);
    pdf_curveto(document, x - k, y + r, x - r, y + k, x - r, y);
    pdf_curveto(document, x - r, y - k, x - k, y - r, x, y - r);
    pdf_curveto(document, x + k, y - r, x + r, y - k, x + r, y);
    pdf_closepath(document);
}

/* Counter-clockwise from alpha to beta degrees. */
void PDF_arc(pdf_document *document, float x, float y, float r, float alpha, float beta) {
    if (!may_draw_arc(document, "PDF_arc", "Negative arc radius %f in PDF_arc", x, y, r, alpha,
                      beta))
        return;
    go_to_arc_start(document, x, y, r, alpha);
    draw_arc(document, x, y, r, alpha, arc_sweep(alpha, beta, 1));
}

/* Clockwise from alpha to beta degrees. */
void PDF_arcn(pdf_document *document, float x, float y, float r, float alpha, float beta) {
    if (!may_draw_arc(document, "PDF_arcn", "Negative arc radius %f in PDF_arcn", x, y, r, alpha,
                      beta))
        return;
    go_to_arc_start(document, x, y, r, alpha);
    draw_arc(document, x, y, r, alpha, arc_sweep(alpha, beta, -1));
}
