/*
 * Compiled by the C compiler: the public header must be valid C, and a C
 * program must link against the library and write a document with it.
 *
 *   c_writer output.pdf
 *
 * Exit status 0 when the document was written, 1 otherwise.
 */
#include <stdio.h>
#include <stdlib.h>

#include "folio.h"

static int errors;

/* Counts nonfatal reports; any other type ends the program, since the
 * handler must not return for it. */
static void count_errors(pdf_document *document, int type, const char *message)
{
    (void)document;
    fprintf(stderr, "c_writer: error %d: %s\n", type, message);
    errors++;
    if (type != PDF_ERR_NONFATAL)
        exit(1);
}

int main(int argc, char **argv)
{
    static int client_marker;
    pdf_document *document;

    if (argc != 2) {
        fprintf(stderr, "usage: c_writer output.pdf\n");
        return 1;
    }
    document = PDF_new_with_handlers(count_errors, NULL, NULL, NULL, &client_marker);
    if (document == NULL || PDF_get_client_data(document) != &client_marker)
        return 1;
    if (PDF_open_file(document, argv[1]) != 1)
        return 1;
    PDF_set_info(document, "Title", "Written from C");
    PDF_begin_page(document, 595.0f, 842.0f);
    PDF_end_page(document);
    PDF_begin_page(document, 300.5f, 200.25f);
    PDF_end_page(document);
    PDF_close(document);
    PDF_delete(document);
    return errors == 0 ? 0 : 1;
}
