/*
 * transform.cpp -- changes of the coordinate system: translation, scaling,
 * rotation, skewing, any matrix, and the return to the page's own system.
 * Each builds a matrix for pdf_concat_ctm, which writes nothing for the
 * identity.
 */
#include <math.h>

#include "gstate.h"

namespace {

/* Determinants below this make a matrix that cannot be undone. */
const float kMinDeterminant = 0.000015f;

float radians(float degrees) {
    return (float)(degrees * 3.141592653589793 / 180);
}

/* The checks every transformation makes before its own. */
int may_transform(pdf_document *document, const char *function, int count, float a, float b) {
    return pdf_is_valid(document) && pdf_check_scope(document, PDF_DRAWING_SCOPES, function) &&
           pdf_check_numbers(document, function, 1, count, a, b);
}

/* Fills `m` with a b c d e f; a matrix that collapses the plane is refused
 * as "Degenerate matrix in <function>". */
int make_matrix(pdf_document *document, const char *function, pdf_matrix *m, float a, float b,
                float c, float d, float e, float f) {
    if (!pdf_check_numbers(document, function, 1, 6, a, b, c, d, e, f)) return 0;
    if (fabsf(a * d - b * c) < kMinDeterminant) {
        pdf_error(document, PDF_ERR_VALUE, "Degenerate matrix in %s", function);
        return 0;
    }
    m->a = a;
    m->b = b;
    m->c = c;
    m->d = d;
    m->e = e;
    m->f = f;
    return 1;
}

/* Concatenates the inverse of the CTM, which brings it back to the
 * identity. */
void undo_ctm(pdf_document *document) {
    pdf_matrix inverse;
    pdf_matrix_invert(document, &pdf_current_gstate(document)->ctm, &inverse);
    pdf_concat_ctm(document, &inverse);
}

int is_right_angle(float degrees) {
    return degrees == 90 || degrees == -90 || degrees == 270 || degrees == -270;
}

}  // namespace

void PDF_translate(pdf_document *document, float tx, float ty) {
    if (!may_transform(document, "PDF_translate", 2, tx, ty)) return;
    pdf_matrix m = pdf_identity_matrix;
    m.e = tx;
    m.f = ty;
    pdf_concat_ctm(document, &m);
}

void PDF_scale(pdf_document *document, float sx, float sy) {
    if (!may_transform(document, "PDF_scale", 2, sx, sy)) return;
    if (sx == 0 || sy == 0) {
        pdf_error(document, PDF_ERR_VALUE, "Zero scaling factor");
        return;
    }
    pdf_matrix m = pdf_identity_matrix;
    m.a = sx;
    m.d = sy;
    pdf_concat_ctm(document, &m);
}

void PDF_rotate(pdf_document *document, float phi) {
    if (!may_transform(document, "PDF_rotate", 1, phi, 0)) return;
    if (phi == 0) return;
    float angle = radians(phi);
    float c = (float)cos(angle), s = (float)sin(angle);
    pdf_matrix m = {c, s, -s, c, 0, 0};
    pdf_concat_ctm(document, &m);
}

/* Tilts the x axis by alpha and the y axis by beta degrees. */
void PDF_skew(pdf_document *document, float alpha, float beta) {
    if (!may_transform(document, "PDF_skew", 2, alpha, beta)) return;
    if (alpha == 0 && beta == 0) return;
    if (alpha > 360 || alpha < -360 || beta > 360 || beta < -360 || is_right_angle(alpha) ||
        is_right_angle(beta)) {
        pdf_error(document, PDF_ERR_VALUE, "Bad skewing values %f, %f", alpha, beta);
        return;
    }
    pdf_matrix m = {1, (float)tan(radians(alpha)), (float)tan(radians(beta)), 1, 0, 0};
    pdf_concat_ctm(document, &m);
}

void PDF_concat(pdf_document *document, float a, float b, float c, float d, float e, float f) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_DRAWING_SCOPES, "PDF_concat")) return;
    pdf_matrix m;
    if (make_matrix(document, "PDF_concat", &m, a, b, c, d, e, f)) pdf_concat_ctm(document, &m);
}

/* The CTM becomes the given matrix: the current one is undone first. */
void PDF_setmatrix(pdf_document *document, float a, float b, float c, float d, float e, float f) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_DRAWING_SCOPES, "PDF_setmatrix")) return;
    pdf_matrix m;
    if (!make_matrix(document, "PDF_setmatrix", &m, a, b, c, d, e, f)) return;
    undo_ctm(document);
    pdf_concat_ctm(document, &m);
}

/* Colours, line attributes and dash back to their defaults, and the
 * coordinate system back to the page's own. */
void PDF_initgraphics(pdf_document *document) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_DRAWING_SCOPES, "PDF_initgraphics")) return;
    pdf_reset_drawing_attributes(document);
    undo_ctm(document);
    pdf_reset_gstate(document);
}
