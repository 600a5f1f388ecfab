/*
 * subsystem.h -- how the parts of the library above the core (images, the
 * graphics state, the colour space registry, ...) take part in a document's
 * life without the core knowing them.
 *
 * A subsystem fills in one pdf_subsystem row. pdf/subsystems.cpp lists the
 * rows, the one place outside the core that knows them all; the core calls
 * the hooks that are set, row by row in the order of that list, at fixed
 * points of the document. The order is part of the output: the entries of a
 * resource dictionary and the objects at the end of the document are written
 * in it.
 */
#ifndef FOLIO_SUBSYSTEM_H
#define FOLIO_SUBSYSTEM_H

#include "document.h"
#include "parameters.h"

typedef struct {
    /* Document set-up (each open call), after the core's own tables: the
     * subsystem creates its record. */
    void (*init_document)(pdf_document *document);
    /* Document release (close, delete, or an error that left the document):
     * the subsystem releases its record, which an error may have left half
     * set up or not created at all. Writes nothing. */
    void (*cleanup_document)(pdf_document *document);
    /* A content stream starts afresh (a page begins): the subsystem resets
     * its drawing state. */
    void (*begin_content)(pdf_document *document);
    /* The resource dictionary of the content stream being ended: the
     * subsystem writes the entries of the resources the stream used and
     * forgets that they were used. */
    void (*write_resources)(pdf_document *document);
    /* Document close, after the information dictionary and before the page
     * tree: the subsystem writes the objects it kept for the end. */
    void (*write_document_objects)(pdf_document *document);
    /* Its rows of the parameter registry, ended by a row whose key is null;
     * or null. */
    const pdf_parameter *parameters;
    /* The page object being written: the subsystem adds its entries to the
     * page dictionary. */
    void (*write_page_entries)(pdf_document *document);
    /* Right after the page object, before its resources: the subsystem
     * writes the objects its page entries refer to, and forgets the page. */
    void (*write_page_objects)(pdf_document *document);
} pdf_subsystem;

/* The rows, ended by a null pointer (pdf/subsystems.cpp). */
extern const pdf_subsystem *const pdf_subsystems[];

/* Each calls one hook of every subsystem, in list order. */
void pdf_init_subsystems(pdf_document *document);
void pdf_cleanup_subsystems(pdf_document *document);
void pdf_begin_subsystem_content(pdf_document *document);
void pdf_write_subsystem_resources(pdf_document *document);
void pdf_write_subsystem_objects(pdf_document *document);
void pdf_write_subsystem_page_entries(pdf_document *document);
void pdf_write_subsystem_page_objects(pdf_document *document);

/* The subsystems' parameter row for `key`, or null. */
const pdf_parameter *pdf_find_subsystem_parameter(const char *key);

#endif /* FOLIO_SUBSYSTEM_H */
