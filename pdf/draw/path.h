/*
 * path.h -- building paths: the path scope and the segments, without the
 * checks of the public calls, for the shapes made of segments (arcs.cpp).
 */
#ifndef FOLIO_PATH_H
#define FOLIO_PATH_H

#include "gstate.h"

/* Starts a path unless one is being built: ends an open text object and
 * pushes the path scope. */
void pdf_begin_path(pdf_document *document);
/* Ends the path after its painting or clipping operator: pops the path
 * scope; the current point returns to (0, 0). */
void pdf_end_path(pdf_document *document);

/* "x y m", starting a path when none is being built. */
void pdf_moveto(pdf_document *document, float x, float y);
/* "x y l". */
void pdf_lineto(pdf_document *document, float x, float y);
/* A Bezier curve from the current point: "x1 y1 x2 y2 x3 y3 c", or
 * "x1 y1 x3 y3 y" when the second control point is the end point. */
void pdf_curveto(pdf_document *document, float x1, float y1, float x2, float y2, float x3,
                 float y3);
/* "h": back to the start of the subpath. */
void pdf_closepath(pdf_document *document);

#endif /* FOLIO_PATH_H */
