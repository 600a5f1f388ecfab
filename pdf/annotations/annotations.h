/*
 * annotations.h -- the annotations of the page being written: text notes,
 * links and file attachments, each with the border settings in force when
 * it was added.
 *
 * The calls collect them in a list; when the page object is written its
 * /Annots array gives each one an object number, and right after the page
 * object come the annotation objects and then the embedded files of the
 * attachments. The list is released with the page.
 */
#ifndef FOLIO_ANNOTATIONS_H
#define FOLIO_ANNOTATIONS_H

#include "../core/data_source.h"
#include "../core/subsystem.h"

enum {
    PDF_ANNOT_NOTE = 0,
    PDF_ANNOT_LOCAL_LINK = 1,
    PDF_ANNOT_PDF_LINK = 2,
    PDF_ANNOT_WEB_LINK = 3,
    PDF_ANNOT_LAUNCH_LINK = 4,
    PDF_ANNOT_ATTACHMENT = 5
};

enum { PDF_BORDER_SOLID = 0, PDF_BORDER_DASHED = 1 };

/* Icons, as indexes of the icon name table: the attachment icons first,
 * then the note icons. */
enum { PDF_ICON_PUSHPIN = 2, PDF_ICON_NOTE = 6 };

typedef struct {
    pdf_byte style;
    float width;
    float color[3];
    float dash[2];
} pdf_border;

typedef struct pdf_annotation_s pdf_annotation;
struct pdf_annotation_s {
    pdf_byte kind;
    float rect[4]; /* llx, lly, urx, ury */
    /* Given by the /Annots array; an attachment's is then replaced by the
     * number of its embedded file. */
    pdf_id object_number;
    pdf_byte icon;
    char *target;    /* file name or URL */
    char *contents;  /* note text, attachment description */
    char *mime_type; /* attachment */
    char *title;     /* note title, attachment author */
    int open;
    pdf_byte destination;
    int page;
    pdf_border border;
    pdf_annotation *next;
};

/* The subsystem's record (document->annotations). */
struct pdf_annotation_list_s {
    pdf_annotation *first;
    pdf_annotation *last;
    pdf_border border; /* copied into each new annotation */
    /* The file being embedded, so that a copy an error left is released. */
    pdf_data_source attachment;
};

/* Sets up and releases the list and the border settings, and writes the
 * page's /Annots entry and the objects after the page. */
extern const pdf_subsystem pdf_annotation_subsystem;

/* Appends a new annotation of `kind` with rectangle `rect`, carrying the
 * document's border settings; its texts are set by the caller. Allocated
 * with the tag `routine`. Null after a memory error. */
pdf_annotation *pdf_new_annotation(pdf_document *document, int kind, const float *rect,
                                   const char *routine);

#endif /* FOLIO_ANNOTATIONS_H */
