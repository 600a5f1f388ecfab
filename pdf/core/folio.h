/*
 * folio.h -- the public interface of Folio, a one-pass PDF writer.
 *
 * Every call takes a pdf_document first. A call given a null document, or
 * one that has been deleted, does nothing and returns its failure value
 * (-1 for the open calls, null for pointers, 0 for numbers).
 *
 * Scopes. A document object is always in one scope: "object" (no document
 * open), "document" (a document is open, no page), "page" (between
 * PDF_begin_page and PDF_end_page), or one of the drawing scopes. Each call
 * lists the scopes that allow it; a call in another scope raises
 * PDF_ERR_RUNTIME "function '<name>' must not be called in '<scope>' scope".
 *
 * Errors. Every problem is reported to the document's error handler with one
 * of the PDF_ERR_ types below and a message. Only PDF_ERR_NONFATAL may
 * return into the library; for every other type the handler must leave the
 * call (by exiting or by longjmp). The default handler prints
 * "Folio <type text>: <message>" to standard error, deletes the document and
 * exits with status 99. A failure to create the output file or to read an
 * image file is not an error: the open call returns -1.
 *
 * Memory. Everything the library allocates goes through the document's
 * hooks, each call naming the requesting routine.
 *
 * Numbers. Coordinates and lengths are points (1/72 inch) unless a call
 * says otherwise. A NaN given for any float is PDF_ERR_VALUE "Argument <n>
 * of <call> is not a number (NaN)", n counting the arguments after the
 * document from 1 (PDF_set_value: "Value for parameter '<key>' is not a
 * number (NaN)"); nothing of the call is done. A number too large for PDF
 * (beyond 2147483647, infinities included) is PDF_ERR_VALUE "floating point
 * value too large in pdf_ftoa" when it is written.
 *
 * This header compiles as C and as C++.
 */
#ifndef FOLIO_H
#define FOLIO_H

#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct pdf_document_s pdf_document;

/* Error types handed to the error handler. */
enum {
    PDF_ERR_MEMORY = 1,
    PDF_ERR_IO = 2,
    PDF_ERR_RUNTIME = 3,
    PDF_ERR_INDEX = 4,
    PDF_ERR_TYPE = 5,
    PDF_ERR_DIVISION_BY_ZERO = 6,
    PDF_ERR_OVERFLOW = 7,
    PDF_ERR_SYNTAX = 8,
    PDF_ERR_VALUE = 9,
    PDF_ERR_SYSTEM = 10,
    PDF_ERR_NONFATAL = 11,
    PDF_ERR_UNKNOWN = 12
};

/* Scope values, as PDF_get_parameter(doc, "scope", 0) names them. */
enum {
    PDF_SCOPE_OBJECT = 0x01,
    PDF_SCOPE_DOCUMENT = 0x02,
    PDF_SCOPE_PAGE = 0x04,
    PDF_SCOPE_PATTERN = 0x08,
    PDF_SCOPE_TEMPLATE = 0x10,
    PDF_SCOPE_PATH = 0x20,
    PDF_SCOPE_ERROR = 0x40
};

/* The error handler. The message is valid only during the call. For any type
 * but PDF_ERR_NONFATAL the handler must not return. */
typedef void (*pdf_error_handler)(pdf_document *document, int type, const char *message);

/* Memory hooks. The allocation hook may be called with a null document (for
 * the document record itself). `routine` names the requesting routine. A
 * hook that fails returns null; the library then reports PDF_ERR_MEMORY. */
typedef void *(*pdf_alloc_proc)(pdf_document *document, size_t size, const char *routine);
typedef void *(*pdf_realloc_proc)(pdf_document *document, void *block, size_t size,
                                  const char *routine);
typedef void (*pdf_free_proc)(pdf_document *document, void *block);

/* A sink for PDF_open_mem: receives `count` bytes and returns the number it
 * accepted. Anything other than `count` is a write failure (PDF_ERR_IO).
 * The bytes are reused by the library as soon as the sink returns. */
typedef size_t (*pdf_write_proc)(pdf_document *document, void *data, size_t count);

/* ---- Document objects ------------------------------------------------ */

/* Process-wide start-up and shut-down hooks; they do nothing. */
void PDF_library_startup(void);
void PDF_library_shutdown(void);

/* PDF_new_with_handlers(null, null, null, null, null). */
pdf_document *PDF_new(void);

/* Creates a document object in object scope. A null error handler selects
 * the default one. A null allocation hook selects the default allocation,
 * reallocation and release hooks (the other two arguments are then ignored);
 * a given one is used together with the two that follow, as passed.
 * When the record cannot be allocated the error handler receives
 * PDF_ERR_MEMORY "Couldn't allocate Folio object" with a temporary record on
 * which PDF_get_client_data works, and the call returns null. */
pdf_document *PDF_new_with_handlers(pdf_error_handler error_handler, pdf_alloc_proc alloc_proc,
                                    pdf_realloc_proc realloc_proc, pdf_free_proc free_proc,
                                    void *client_data);

/* The client data given at creation; null for an invalid object. */
void *PDF_get_client_data(pdf_document *document);

/* Releases the object and everything it owns. Scope: object (after an
 * error, any). In memory mode with output not yet fetched by PDF_get_buffer
 * it first raises PDF_ERR_RUNTIME "Must call PDF_get_buffer() after
 * PDF_close()". A document still open is released without being written. */
void PDF_delete(pdf_document *document);

/* ---- Output ------------------------------------------------------------ */

/* Opens a document on a new file. A null or empty name selects memory mode
 * (fetch the bytes with PDF_get_buffer); "-" writes to standard output.
 * Returns 1, or -1 when the file cannot be created (nothing is reported and
 * the object stays in object scope). Scope: object. */
int PDF_open_file(pdf_document *document, const char *filename);

/* Opens a document on a stream the caller keeps owning (it is not closed).
 * Returns 1, or -1 for a null stream. Scope: object. */
int PDF_open_fp(pdf_document *document, FILE *fp);

/* Opens a document whose output goes to `writeproc`. A null procedure is
 * PDF_ERR_VALUE. Scope: object. */
void PDF_open_mem(pdf_document *document, pdf_write_proc writeproc);

/* Memory mode: returns the bytes written since the last fetch and sets
 * *size to their number; they count as handed out and stay valid until the
 * next call that writes output. The library owns them. With a file or
 * write procedure it raises PDF_ERR_RUNTIME. Scopes: object, document. */
const char *PDF_get_buffer(pdf_document *document, long *size);

/* Writes the end of the document (information, page tree, catalog,
 * cross-reference table, trailer), flushes and closes the output the library
 * opened, and returns to object scope. No page is PDF_ERR_RUNTIME "Empty
 * document". After an error that left the call it writes nothing and only
 * releases the document. Scope: document. */
void PDF_close(pdf_document *document);

/* ---- Pages ------------------------------------------------------------- */

/* Begins a page of width x height points. Sizes not above 0, and NaN, are
 * PDF_ERR_VALUE; outside 3..14400 a warning (PDF 1.3 and 1.4); outside
 * 72..3240 PDF_ERR_RUNTIME (PDF 1.2). Scope: document. */
void PDF_begin_page(pdf_document *document, float width, float height);

/* Ends the page and writes its page and resource objects. Unbalanced
 * PDF_save is PDF_ERR_RUNTIME; an illegal box is PDF_ERR_VALUE.
 * Scope: page. */
void PDF_end_page(pdf_document *document);

/* ---- Document information and bookmarks ------------------------------- */

/* Records an Info entry: Keywords, Subject, Title, Creator, Author, or a
 * custom key. Values are 8-bit texts or UTF-16BE texts starting with FE FF.
 * Empty key or value, and the keys Producer, CreationDate and ModDate, are
 * ignored with a warning; a bad Trapped value is PDF_ERR_RUNTIME; a custom
 * key with a character of " %()<>[]{}/#" is PDF_ERR_VALUE; other bytes
 * below 0x21 or above 0x7E in a custom key are written as #xx.
 * Scopes: document, page. */
void PDF_set_info(pdf_document *document, const char *key, const char *value);

/* Adds a bookmark to the current page under `parent` (0 for top level, else
 * a bookmark number) and returns its number. An empty text or a bad parent
 * is PDF_ERR_VALUE. Scope: page. */
int PDF_add_bookmark(pdf_document *document, const char *text, int parent, int open);

/* ---- Parameters -------------------------------------------------------- */

/* Text settings ("compatibility", "flush", "warning", "imagewarning",
 * "openaction", "openmode", "transition", "binding", "debug", ...). Unknown
 * keys, bad values and keys not allowed in the current scope are errors.
 * "imagepredictor" ("true" or "false", default "false"; document scope):
 * images the library decodes are written with PNG row filters and
 * /DecodeParms with /Predictor 15, which makes smooth images deflate to
 * about half the size; renderers show the same pixels.
 * "keepalpha" ("true" or "false", default "false"; object scope, before a
 * document is opened): the alpha channel of PNG and TIFF images, and the
 * opacities a palette PNG's tRNS chunk gives each entry, are kept as a soft
 * mask (/SMask) instead of being dropped or cut to a colour key. TIFF
 * colours premultiplied by their alpha (associated alpha) are written as
 * stored, their soft mask naming the colour they were multiplied against
 * (/Matte) so that viewers undo it. "true" raises "compatibility" to 1.4,
 * which soft masks need; while it is on, a lower "compatibility" is
 * PDF_ERR_RUNTIME. */
void PDF_set_parameter(pdf_document *document, const char *key, const char *value);

/* Text queries ("version", "scope", ...). The result is owned by the
 * library; null on failure. */
const char *PDF_get_parameter(pdf_document *document, const char *key, float modifier);

/* Numeric settings ("compress" 0..9, "floatdigits" 3..6, "pagewidth",
 * "pageheight", the page boxes "CropBox/llx" ..., "duration").
 * "compressthreads" 1..32 (document scope): once set, image streams of more
 * than 128 KB are deflated in blocks of 128 KB on that many threads; the
 * bytes do not depend on the count. Until it is set, every stream is
 * deflated as one piece. Another value is PDF_ERR_VALUE "Bogus thread
 * count %f". The threads never call the memory hooks or the error handler:
 * both are called from the calling thread only. */
void PDF_set_value(pdf_document *document, const char *key, float value);

/* Numeric queries: "major", "minor", "revision"; "pagewidth",
 * "pageheight"; "compressthreads" (1 until set); "imagewidth",
 * "imageheight", "resx", "resy" with an image handle as modifier;
 * "orientation" with an image handle: how the image's stored rows are to be
 * shown, 1 to 8 as a JPEG's Exif segment or a TIFF's Orientation tag
 * records it (1 as stored, the default; 5 to 8 swap width and height). The
 * image's data are written as stored whatever it is. Returns 0 on failure. */
float PDF_get_value(pdf_document *document, const char *key, float modifier);

/* ---- Images ------------------------------------------------------------ */

/* Opens an image file of type "jpeg", "png", "tiff" or "gif" (or the same in
 * upper case) and writes its XObject at once. `stringparam` may be "", null,
 * "mask", "masked", "colorize", "invert", "ignoremask" or "page" with
 * `intparam` as its argument ("page": the page of a TIFF file, from 1). Returns the image handle,
 * or -1 when the reader could not use the file. Scopes: document, page. */
int PDF_open_image_file(pdf_document *document, const char *type, const char *filename,
                        const char *stringparam, int intparam);

/* Opens image data held by the caller: type "jpeg", "ccitt" or "raw";
 * source "memory", "memory32" (rows padded to 4 bytes), "fileref" or "url"
 * (data is then a file name or URL). The data need stay valid only during
 * the call. Returns the image handle. Scopes: document, page. */
int PDF_open_image(pdf_document *document, const char *type, const char *source, const char *data,
                   long length, int width, int height, int components, int bpc, const char *params);

/* Opens a file of raw CCITT fax data as a 1-bit image, optionally reversing
 * the bit order of every byte. k is the CCITT K parameter; black_is_1 is
 * the BlackIs1 flag. Returns the image handle or -1 when the file cannot be
 * opened. Scopes: document, page. */
int PDF_open_CCITT(pdf_document *document, const char *filename, int width, int height,
                   int bit_reverse, int k, int black_is_1);

/* Draws an image (one pixel per unit times scale), or a template (one unit
 * per unit times scale), with its lower left corner at (x, y).
 * Scopes: page, pattern, template. */
void PDF_place_image(pdf_document *document, int image, float x, float y, float scale);

/* Frees the image handle; the XObject stays in the file.
 * Scopes: document, page. */
void PDF_close_image(pdf_document *document, int image);

/* Makes an open image the thumbnail of the current page. Scope: page. */
void PDF_add_thumbnail(pdf_document *document, int image);

/* ---- Graphics state ---------------------------------------------------- *
 *
 * Drawing writes operators into the content stream of the page being
 * written. The graphics state (transformation, line attributes, dash,
 * flatness, colours) is kept per save level, and an attribute or colour is
 * written only when it differs from the one in force, so repeated settings
 * cost nothing. Each page starts with the defaults: identity, line width 1,
 * cap 0, join 0, miter limit 10, solid lines, black fill and stroke, and the
 * fill rule "winding". Angles are degrees, counter-clockwise.
 *
 * Unless said otherwise the calls below are allowed in the scopes page,
 * pattern and template ("drawing scopes"), and raise only the scope error
 * and the NaN error described at the top. A warning (PDF_ERR_NONFATAL)
 * leaves the state as it was. */

/* Saves the graphics state ("q"); at most nine levels, a tenth is
 * PDF_ERR_RUNTIME "Too many save levels". */
void PDF_save(pdf_document *document);

/* Restores the graphics state ("Q"); without a save it is PDF_ERR_RUNTIME
 * "Invalid restore". */
void PDF_restore(pdf_document *document);

/* Moves the origin to (tx, ty). */
void PDF_translate(pdf_document *document, float tx, float ty);

/* Scales the coordinate system by sx across and sy up ("sx 0 0 sy 0 0 cm";
 * nothing when both are 1). A factor of 0 is PDF_ERR_VALUE "Zero scaling
 * factor". */
void PDF_scale(pdf_document *document, float sx, float sy);

/* Rotates the coordinate system by phi degrees. */
void PDF_rotate(pdf_document *document, float phi);

/* Tilts the x axis by alpha and the y axis by beta degrees ("1 tan(alpha)
 * tan(beta) 1 0 0 cm"). Angles beyond +-360, or of +-90 or +-270, are
 * PDF_ERR_VALUE "Bad skewing values <alpha>, <beta>". */
void PDF_skew(pdf_document *document, float alpha, float beta);

/* Concatenates the matrix a b c d e f to the current transformation. A
 * matrix with |ad - bc| below 0.000015 is PDF_ERR_VALUE "Degenerate matrix in
 * PDF_concat". */
void PDF_concat(pdf_document *document, float a, float b, float c, float d, float e, float f);

/* Makes a b c d e f the current transformation: the current one is undone
 * ("cm" with its inverse), then the matrix concatenated. A degenerate matrix
 * is PDF_ERR_VALUE "Degenerate matrix in PDF_setmatrix". */
void PDF_setmatrix(pdf_document *document, float a, float b, float c, float d, float e, float f);

/* Returns colours, line attributes, dash and flatness to their defaults
 * (writing only what differs), the coordinate system to the page's own, and
 * the fill rule to "winding". */
void PDF_initgraphics(pdf_document *document);

/* Line width, above 0 ("w"); else the warning "Bogus line width <w>". */
void PDF_setlinewidth(pdf_document *document, float width);

/* Line cap 0 butt, 1 round, 2 square ("J"); else the warning "Bogus line
 * cap value <cap>". */
void PDF_setlinecap(pdf_document *document, int cap);

/* Line join 0 miter, 1 round, 2 bevel ("j"); else the warning "Bogus line
 * join value <join>". */
void PDF_setlinejoin(pdf_document *document, int join);

/* Miter limit, at least 1 ("M"); else the warning "Bogus miter limit <m>". */
void PDF_setmiterlimit(pdf_document *document, float miter);

/* Flatness tolerance, 0 to 100 ("i"); else the warning "Illegal flat value
 * <f>". */
void PDF_setflat(pdf_document *document, float flatness);

/* Dashes of length b with gaps of length w ("[b w] 0 d"); both 0 returns to
 * solid lines. A negative value is the warning "Negative dash value <b>,
 * <w>". */
void PDF_setdash(pdf_document *document, float b, float w);

/* The dash pattern of `count` lengths, on and off in turn; a count of 0 or
 * 1, or only zeros, return to solid lines. Only the first 8 values are used (the warning
 * "Dash array too long (<count>) - truncated"); a negative value is the
 * warning "Negative dash value <v>" and nothing changes. A null array or a
 * negative count is PDF_ERR_RUNTIME "Bad array in PDF_setpolydash"; a NaN
 * value is PDF_ERR_VALUE. */
void PDF_setpolydash(pdf_document *document, const float *dasharray, int count);

/* ---- Paths --------------------------------------------------------------- *
 *
 * A path starts with PDF_moveto, PDF_rect, PDF_circle, PDF_arc or PDF_arcn,
 * which enter the "path" scope; there only the path calls are allowed (the
 * ones below that list the path scope alone). A painting or clipping call,
 * or PDF_endpath, ends the path and returns to the scope before. The
 * starting calls are allowed in the drawing scopes and in the path scope;
 * PDF_get_value "currentx" and "currenty" read the current point. */

/* Begins a subpath at (x, y) ("m"). */
void PDF_moveto(pdf_document *document, float x, float y);

/* A straight line to (x, y) ("l"). Scope: path. */
void PDF_lineto(pdf_document *document, float x, float y);

/* A Bezier curve from the current point through the control points (x1,
 * y1) and (x2, y2) to (x3, y3) ("c", or "y" when the second control point is
 * the end point). Scope: path. */
void PDF_curveto(pdf_document *document, float x1, float y1, float x2, float y2, float x3,
                 float y3);

/* A rectangle with its corner at (x, y) as a closed subpath ("re"). */
void PDF_rect(pdf_document *document, float x, float y, float width, float height);

/* A circle of radius r around (x, y) as a closed subpath of four curves,
 * starting at angle 0. A negative radius is PDF_ERR_VALUE "Negative circle
 * radius <r>". */
void PDF_circle(pdf_document *document, float x, float y, float r);

/* An arc of radius r around (x, y), counter-clockwise from angle alpha to
 * angle beta, in curves of at most 90 degrees. It is joined to the path
 * being built by a line, or starts a path. A negative radius is
 * PDF_ERR_VALUE "Negative arc radius <r> in PDF_arc"; angles beyond
 * +-1000000 are PDF_ERR_VALUE "Arc angles <alpha>, <beta> out of range in
 * PDF_arc". */
void PDF_arc(pdf_document *document, float x, float y, float r, float alpha, float beta);

/* The same clockwise; the messages name PDF_arcn. */
void PDF_arcn(pdf_document *document, float x, float y, float r, float alpha, float beta);

/* Closes the subpath with a line to its start ("h"). Scope: path. */
void PDF_closepath(pdf_document *document);

/* Ends the path without painting it ("n"). Scope: path. */
void PDF_endpath(pdf_document *document);

/* Strokes the path ("S"), or closes and strokes it ("s"). Scope: path. */
void PDF_stroke(pdf_document *document);
void PDF_closepath_stroke(pdf_document *document);

/* Fills the path ("f"), fills and strokes it ("B"), or closes, fills and
 * strokes it ("b"); under the fill rule "evenodd" (PDF_set_parameter) the
 * even-odd forms "f*", "B*", "b*". Scope: path. */
void PDF_fill(pdf_document *document);
void PDF_fill_stroke(pdf_document *document);
void PDF_closepath_fill_stroke(pdf_document *document);

/* Makes the path the clipping path, by the fill rule ("W n" or "W* n"),
 * until the next PDF_restore. Scope: path. */
void PDF_clip(pdf_document *document);

/* ---- Colours ------------------------------------------------------------- */

/* Sets the colour of `type` "fill", "stroke" or "both" in the colour space
 * "gray" (c1), "rgb" (c1 to c3), "cmyk" (c1 to c4), "spot" (c1 the number
 * PDF_makespotcolor returned, c2 the tint) or "pattern" (c1 the number
 * PDF_begin_pattern returned; a pattern of paint type 2 is painted in the
 * fill, resp. stroke, colour in force, which stays in force). Components lie from 0 to 1. An
 * RGB colour of three equal components is written as gray. In document
 * scope the colour is only recorded (for PDF_makespotcolor). Scopes:
 * document and the drawing scopes.
 * Errors: PDF_ERR_VALUE "Missing type in PDF_setcolor", "Unknown type in
 * PDF_setcolor", "Missing color space in PDF_setcolor", "Unknown color space
 * '<space>' in PDF_setcolor", "Invalid spot color number <n> in
 * PDF_setcolor", "Bogus spot color tint value (<t>) in PDF_setcolor",
 * "Invalid pattern number <n> in PDF_setcolor", "Can't use pattern within
 * its own definition", "Separation NYI for patterns" (paint type 2 over a
 * spot colour); PDF_ERR_SYSTEM "Unknown color space in
 * pdf_write_pattern_color" (paint type 2 over a pattern colour); the
 * warnings "Bogus gray value (<g>) in PDF_setcolor", "Bogus RGB color value
 * (<r>/<g>/<b>) in PDF_setcolor", "Bogus CMYK color value (<c>/<m>/<y>/<k>)
 * in PDF_setcolor". */
void PDF_setcolor(pdf_document *document, const char *type, const char *colorspace, float c1,
                  float c2, float c3, float c4);

/* PDF_setcolor with "fill", "stroke" or "both" and "gray"; drawing scopes. */
void PDF_setgray_fill(pdf_document *document, float g);
void PDF_setgray_stroke(pdf_document *document, float g);
void PDF_setgray(pdf_document *document, float g);

/* PDF_setcolor with "fill", "stroke" or "both" and "rgb"; drawing scopes. */
void PDF_setrgbcolor_fill(pdf_document *document, float red, float green, float blue);
void PDF_setrgbcolor_stroke(pdf_document *document, float red, float green, float blue);
void PDF_setrgbcolor(pdf_document *document, float red, float green, float blue);

/* Makes a spot colour (a Separation colour space) named by the first
 * `length` bytes of `spotname` (0: up to its terminating zero) and returns
 * its number for PDF_setcolor "spot". The current fill colour (gray, RGB or
 * CMYK) becomes its alternate, the colour shown where the spot colour is
 * not available. A name made before returns the number it got then.
 * Scopes: document and the drawing scopes. Returns -1 for an invalid
 * document.
 * Errors: PDF_ERR_VALUE "Empty spot color name", "Spot color name too long"
 * (above 126 bytes), "Negative spot color name length <n>"; PDF_ERR_RUNTIME
 * "Spot colors can only be based on simple color spaces" while the fill
 * colour is a spot colour. */
int PDF_makespotcolor(pdf_document *document, const char *spotname, int length);

/* ---- Patterns and templates ---------------------------------------------- *
 *
 * Both are content streams defined once between pages and used many times.
 * A definition is opened in document scope and enters the scope "pattern"
 * or "template", where the drawing calls and PDF_place_image write into its
 * stream, starting from the default graphics state; the end call writes it
 * with its resources and returns to document scope. Definitions do not
 * nest. */

/* Begins tiling pattern number n (returned; counted from 0 in each
 * document): a cell of width x height, repeated every xstep across and
 * ystep up. Paint type 1 draws its own colours; paint type 2 is a shape
 * painted in the colour in force where it is used. Use it with PDF_setcolor
 * "pattern" and n. Returns -1 for an invalid document. Scope: document.
 * Errors: PDF_ERR_VALUE "Pattern size must be positive", "Bad pattern paint
 * type <t> in PDF_begin_pattern"; PDF_ERR_RUNTIME "Patterns not fully
 * supported in Acrobat 3" (PDF 1.2). */
int PDF_begin_pattern(pdf_document *document, float width, float height, float xstep, float ystep,
                      int painttype);

/* Ends the pattern. An unbalanced PDF_save is PDF_ERR_RUNTIME "Unmatched
 * save level at end of pattern". Scope: pattern. */
void PDF_end_pattern(pdf_document *document);

/* Begins a template (a form XObject) of width x height and returns its
 * handle, an image handle: PDF_place_image draws it, scaled and moved,
 * PDF_close_image frees the handle. Returns -1 for an invalid document.
 * Scope: document. Errors: PDF_ERR_VALUE "Template size must be positive";
 * placing the template inside its own definition is PDF_ERR_VALUE "Can't
 * use template within its own definition". */
int PDF_begin_template(pdf_document *document, float width, float height);

/* Ends the template. An unbalanced PDF_save is PDF_ERR_RUNTIME "Unmatched
 * save level at end of template". Scope: template. */
void PDF_end_template(pdf_document *document);

/* ---- Annotations and links ------------------------------------------------ *
 *
 * Notes, links and attachments belong to the page being written (scope
 * page) and cover the rectangle llx, lly, urx, ury in page coordinates. Each
 * takes the border settings in force when it is added; PDF_end_page writes
 * them. Texts are copied; 8-bit texts or UTF-16BE texts starting with FE FF.
 * Destinations are "retain", "fitpage" (also for null), "fitwidth",
 * "fitheight" or "fitbbox"; another is PDF_ERR_VALUE "Unknown destination
 * type '<dest>' in <call>". */

/* A text note with optional contents and title, shown open when `open` is
 * nonzero, with the icon "comment", "insert", "note" (also for null or
 * ""), "paragraph", "newparagraph", "key" or "help". Errors: PDF_ERR_VALUE
 * "Unknown icon type '<icon>' for text note"; PDF_ERR_RUNTIME "Note icons
 * are not supported in PDF 1.2". */
void PDF_add_note(pdf_document *document, float llx, float lly, float urx, float ury,
                  const char *contents, const char *title, const char *icon, int open);

/* A link to page `page` (from 1) of this document, which may be a page not
 * yet written. A page number below 1 is PDF_ERR_VALUE "Bad page number
 * <page> in PDF_add_locallink". A page that is never written is reported at
 * PDF_close by the warning "Link to page <page>, which was never written",
 * and the link then points to a null object. */
void PDF_add_locallink(pdf_document *document, float llx, float lly, float urx, float ury, int page,
                       const char *dest);

/* A link to page `page` of another PDF file. A null file name is
 * PDF_ERR_VALUE "NULL filename in PDF_add_pdflink". */
void PDF_add_pdflink(pdf_document *document, float llx, float lly, float urx, float ury,
                     const char *filename, int page, const char *dest);

/* A link to a URL. A null or empty URL is PDF_ERR_VALUE "NULL URL in
 * PDF_add_weblink". */
void PDF_add_weblink(pdf_document *document, float llx, float lly, float urx, float ury,
                     const char *url);

/* A link that opens a file. A null file name is PDF_ERR_VALUE "NULL
 * filename in PDF_add_launchlink". */
void PDF_add_launchlink(pdf_document *document, float llx, float lly, float urx, float ury,
                        const char *filename);

/* Embeds the file `filename` (compressed at the document's level) with an
 * optional description, author and MIME type (such as "text/plain"),
 * shown by the icon "graph", "paperclip", "pushpin" (also for null) or
 * "tag". The file is read when the page ends; one that cannot be read is
 * then PDF_ERR_IO "Couldn't open file '<name>'". Errors: PDF_ERR_VALUE
 * "Empty file name for file attachment", "Unknown icon type '<icon>'for
 * embedded file"; PDF_ERR_RUNTIME "File attachments are not supported in
 * PDF 1.2". */
void PDF_attach_file(pdf_document *document, float llx, float lly, float urx, float ury,
                     const char *filename, const char *description, const char *author,
                     const char *mimetype, const char *icon);

/* Border settings for the annotations added after the call, kept for the
 * document (scopes document and page): style "solid" (also for null) or
 * "dashed" and width; colour (default black); dash and gap lengths of the
 * dashed style (default 3 and 3). Errors: PDF_ERR_VALUE "Unknown
 * annotation border style '<style>'", "Negative annotation border width
 * <w>", "Bogus red color value <v> for annotation border" (green, blue),
 * "Negative first annotation border dash value <v>" (second). */
void PDF_set_border_style(pdf_document *document, const char *style, float width);
void PDF_set_border_color(pdf_document *document, float red, float green, float blue);
void PDF_set_border_dash(pdf_document *document, float dash, float gap);

#ifdef __cplusplus
}
#endif

#endif /* FOLIO_H */
