/*
 * file_structure.h -- the per-document tables that each open call sets up,
 * and their release. The open calls and PDF_close themselves, with the
 * header and the end of the file, are in file_structure.cpp.
 */
#ifndef FOLIO_FILE_STRUCTURE_H
#define FOLIO_FILE_STRUCTURE_H

#include "document.h"

/* Sets up every per-document table, the subsystems' included. */
void pdf_init_document(pdf_document *document);
/* Releases them all without writing anything: after PDF_close, or for a
 * document an error or PDF_delete left open. */
void pdf_cleanup_document(pdf_document *document);

#endif /* FOLIO_FILE_STRUCTURE_H */
