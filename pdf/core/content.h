/*
 * content.h -- the content stream being written (the record in document.h):
 * page contents now, and anything else written the way a page is.
 *
 * A writer of such a stream begins its object and dictionary, lets
 * pdf_begin_content_data end the dictionary and start the data, draws into
 * it, ends it with pdf_end_content_data, and finally writes the resource
 * dictionary of what it used with pdf_write_content_resources.
 */
#ifndef FOLIO_CONTENT_H
#define FOLIO_CONTENT_H

#include "document.h"

/* Starts drawing afresh: no stream open, no procedure set, nothing saved;
 * each subsystem resets its drawing state. */
void pdf_begin_content(pdf_document *document);

/* Ends a stream dictionary whose other entries the caller has written
 * ("/Length", the filter when compressing, ">>", "stream") and starts its
 * data: compressed at the document's level, from the current offset. */
void pdf_begin_content_data(pdf_document *document);
/* Ends the data (an open text object first), the stream object, and writes
 * the length object. */
void pdf_end_content_data(pdf_document *document);

/* Writes the resource dictionary object `resources_id`: the procedure sets,
 * then each subsystem's entries for the resources the stream used. */
void pdf_write_content_resources(pdf_document *document);

/* A pattern or template definition, written the way a page is. Begin
 * pushes `scope` (overflow reported naming `routine`) and starts drawing
 * afresh; the caller then writes the object's dictionary and starts its
 * data. End refuses an unbalanced save ("Unmatched save level at end of
 * <what>"), ends the data, writes the resource dictionary, pops the scope,
 * returns the document scope to black and flushes in flush mode "page". */
void pdf_begin_definition(pdf_document *document, int scope, const char *routine);
void pdf_end_definition(pdf_document *document, const char *what, const char *routine);

/* Opens and closes a content section of the current page: a stream object of
 * its own, listed in the page's /Contents. Nothing happens when one is
 * already open, or none is. */
void pdf_begin_contents_section(pdf_document *document);
void pdf_end_contents_section(pdf_document *document);

/* Ends an open text object ("ET"). */
void pdf_end_text(pdf_document *document);

#endif /* FOLIO_CONTENT_H */
