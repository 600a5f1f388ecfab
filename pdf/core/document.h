/*
 * document.h -- the document record shared by every part of the library,
 * the scope machine, the error path and the memory hooks.
 *
 * Library code is plain C-style C++: a routine may be left by longjmp from
 * the error handler at any pdf_error call, so frames hold no objects with
 * destructors and release what they hold before reporting.
 */
#ifndef FOLIO_DOCUMENT_H
#define FOLIO_DOCUMENT_H

#include <stdarg.h>
#include <stdio.h>
#include <zlib.h>

#include "folio.h"
#include "md5.h"

#define PDF_MAGIC 0x126960A1UL

/* Scope stack depth, and the size of error message buffers. */
#define PDF_STATE_STACK_SIZE 4
#define PDF_MESSAGE_SIZE 2048

typedef long pdf_id;
typedef unsigned char pdf_byte;

/* Initial table sizes; every table doubles when full. */
enum {
    PDF_ID_CHUNKSIZE = 2048,
    PDF_PAGES_CHUNKSIZE = 512,
    PDF_PNODES_CHUNKSIZE = 64,
    PDF_CONTENTS_CHUNKSIZE = 64,
    PDF_MAX_KIDS = 10
};

/* Flush mode bits. */
enum {
    PDF_FLUSH_NONE = 0x00,
    PDF_FLUSH_PAGE = 0x01,
    PDF_FLUSH_CONTENT = 0x02,
    PDF_FLUSH_HEAVY = 0x10
};

/* State of the content stream being written. */
enum { PDF_CONTENT_NONE = 0, PDF_CONTENT_SECTION = 1, PDF_CONTENT_PATH = 2, PDF_CONTENT_TEXT = 3 };

/* Procedure-set flags of a content stream. */
enum {
    PDF_PROCSET_IMAGEB = 0x01,
    PDF_PROCSET_IMAGEC = 0x02,
    PDF_PROCSET_IMAGEI = 0x04,
    PDF_PROCSET_TEXT = 0x08
};

typedef struct pdf_flate_blocks_s pdf_flate_blocks; /* parallel_flate.cpp */

/* The output stream: one growable buffer in front of the sink. */
typedef struct {
    pdf_byte *start;         /* null until the first document is opened */
    pdf_byte *position;      /* next free byte */
    pdf_byte *end;           /* one past the buffer */
    long base_offset;        /* bytes handed out before `start` */
    int compressing;         /* a Flate section is open */
    z_stream compressor;     /* kept between sections and reset for each */
    int compressor_level;    /* level the compressor was set up with; 0 none */
    int kernel_copy_refused; /* the sink took no file-to-file copy: not tried
                                again for this document */
    /* The blocks of streams deflated on threads, kept for the next. */
    pdf_flate_blocks *flate_blocks;
} pdf_output_stream;

/*
 * The content stream being written: a page's contents (each of its sections
 * in turn), or the stream of a pattern or template. Everything written "the
 * way a page is" goes through this record (content.h); only one such stream
 * is open at a time.
 */
typedef struct {
    pdf_byte state;      /* PDF_CONTENT_NONE: no stream open */
    pdf_id object_id;    /* the stream object */
    pdf_id length_id;    /* its length object, written after the data */
    long start;          /* offset of its first data byte */
    pdf_id resources_id; /* the resource dictionary of the stream's owner */
    int procset;         /* procedure sets its operators need */
    int save_level;      /* graphics-state levels saved and not restored */
} pdf_content_stream;

/* Page boxes, indexed by pdf_box_kind; coordinates llx, lly, urx, ury. */
typedef enum { PDF_CROPBOX = 0, PDF_BLEEDBOX, PDF_TRIMBOX, PDF_ARTBOX, PDF_BOX_COUNT } pdf_box_kind;

typedef struct pdf_info_entry_s pdf_info_entry;
typedef struct pdf_outline_entry_s pdf_outline_entry;
typedef struct pdf_resource_entry_s pdf_resource_entry;
/* Records of the subsystems above the core: the core only carries them.
 * Each is defined, set up and released by its owner (subsystem.h). */
typedef struct pdf_graphics_s pdf_graphics;                 /* draw/gstate.h */
typedef struct pdf_colorspace_table_s pdf_colorspace_table; /* draw/colorspace.h */
typedef struct pdf_image_table_s pdf_image_table;           /* image/images.h */
typedef struct pdf_pattern_table_s pdf_pattern_table;       /* draw/pattern.h */
typedef struct pdf_annotation_list_s pdf_annotation_list;   /* annotations/annotations.h */

struct pdf_document_s {
    unsigned long magic;
    char *binding;
    char *prefix;
    char *resourcefile;
    pdf_resource_entry *resources; /* font resource lines, newest first */
    int compatibility;             /* 12, 13 or 14 */

    pdf_byte state_stack[PDF_STATE_STACK_SIZE];
    int state_index;

    pdf_error_handler error_handler;
    pdf_alloc_proc malloc_proc;
    pdf_alloc_proc calloc_proc;
    pdf_realloc_proc realloc_proc;
    pdf_free_proc free_proc;
    void *client_data;

    pdf_byte debug[256];
    int inherit_gstate;
    int keep_alpha; /* "keepalpha": alpha becomes a soft mask (PDF 1.4) */

    /* Output. */
    pdf_write_proc writeproc;
    FILE *fp;
    char *filename;
    pdf_output_stream *stream;
    int flush;
    int compress;
    /* Threads that deflate large streams in blocks; 0: one stream as ever. */
    int compress_threads;
    /* Decoded image data are written with PNG row filters. */
    int image_predictor;
    int floatdigits;

    /* Objects and pages, rebuilt by each open call. */
    pdf_id object_count;
    long *object_offsets;
    pdf_id object_capacity;
    int current_page;
    pdf_id *page_ids;
    int pages_capacity;
    pdf_id *pnodes;
    int pnodes_capacity;
    int current_pnode;
    int current_pnode_kids;
    pdf_id catalog_id;
    pdf_id info_id;
    pdf_byte open_action;
    pdf_byte open_mode;
    char *base_uri;
    pdf_md5_context *digest;

    /* The page being written. */
    float width, height;
    float boxes[PDF_BOX_COUNT][4];
    pdf_id *contents; /* its content sections */
    int contents_capacity;
    int contents_count;
    pdf_id thumbnail_id;
    pdf_byte transition;
    float duration;

    pdf_content_stream content;

    /* Document information. */
    char *info_keywords;
    char *info_subject;
    char *info_title;
    char *info_creator;
    char *info_author;
    pdf_info_entry *info_custom;

    /* Outline. */
    pdf_outline_entry *outline_entries;
    int outline_capacity;
    int outline_count;
    pdf_byte bookmark_dest;

    /* The subsystems' records, present while a document is open. */
    pdf_graphics *graphics;
    pdf_colorspace_table *colorspaces;
    pdf_image_table *images;
    pdf_pattern_table *patterns;
    pdf_annotation_list *annotations;

    /* Settings kept for the text operators. */
    int underline, overline, strikeout;
    int pdi_strict;
    pdf_byte pdi_usebox;
    float text_leading, text_rise, text_horizscaling, text_rendering, text_charspacing,
        text_wordspacing;
};

/* ---- Validity and scopes ------------------------------------------------ */

/* True for a non-null record whose magic is intact. */
int pdf_is_valid(const pdf_document *document);

/* The current scope value. */
int pdf_current_scope(const pdf_document *document);
/* Replaces the current scope (object, document, page). */
void pdf_set_scope(pdf_document *document, int scope);
/* Pushes or pops a scope (path, template, pattern); `routine` names the
 * caller in the overflow and underflow messages. */
void pdf_push_scope(pdf_document *document, int scope, const char *routine);
void pdf_pop_scope(pdf_document *document, const char *routine);

/* Reports a scope violation unless the current scope is in `mask`. Returns
 * nonzero when the call may go on. In the error scope nothing is reported
 * and the call must do nothing: the document may be half set up. */
int pdf_check_scope(pdf_document *document, int mask, const char *function);
void pdf_report_scope_violation(pdf_document *document, const char *function);
/* The current scope's text for messages; null (after a system error) for a
 * value that is no scope. */
const char *pdf_current_scope_name(pdf_document *document);
/* The text of a scope value, or null. */
const char *pdf_scope_name(int scope);

/* ---- Errors ------------------------------------------------------------- */

/* Reports an error with a printf-style message (cut to fit 2048 bytes). For
 * every type but PDF_ERR_NONFATAL the handler is expected not to return. */
void pdf_error(pdf_document *document, int type, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 3, 4)))
#endif
    ;

/* Refuses NaN, which no PDF number can express: checks `count` numbers
 * (floats are passed as doubles), the arguments from position `first` on of
 * the public call `function` (counted from 1 after the document), and reports
 * the first NaN as PDF_ERR_VALUE "Argument <n> of <function> is not a number
 * (NaN)". Returns nonzero when every one is a number. */
int pdf_check_numbers(pdf_document *document, const char *function, int first, int count, ...);

/* The text of an error type ("memory error", ...); "unknown error" for any
 * number outside 1..12. */
const char *pdf_error_type_name(int type);

void pdf_default_error_handler(pdf_document *document, int type, const char *message);

#include "memory.h"

#endif /* FOLIO_DOCUMENT_H */
