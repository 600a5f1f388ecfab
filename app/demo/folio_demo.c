/*
 * folio-demo -- writes a short document through Folio's C interface and
 * prints the absolute path of the file it wrote.
 *
 *   folio-demo [output.pdf]     (default: demo.pdf in the current folder)
 *
 * Exit status 0 on success, 1 when the file cannot be created or its path
 * cannot be resolved. Library errors go to the default handler, which
 * reports them and ends the process with status 99.
 */
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include "folio.h"

struct page_size {
    const char *name;
    float width;
    float height;
};

/* Page sizes in points: a few common papers and one landscape page. */
static const struct page_size pages[] = {
    {"A4", 595.0f, 842.0f},
    {"A5", 420.0f, 595.0f},
    {"Letter", 612.0f, 792.0f},
    {"A4 landscape", 842.0f, 595.0f},
    {"Square", 360.0f, 360.0f},
};

int main(int argc, char **argv)
{
    const char *filename = argc > 1 ? argv[1] : "demo.pdf";
    char resolved[PATH_MAX];
    pdf_document *document;
    size_t i;

    document = PDF_new();
    if (document == NULL) {
        fprintf(stderr, "folio-demo: cannot create a document object\n");
        return 1;
    }
    if (PDF_open_file(document, filename) == -1) {
        fprintf(stderr, "folio-demo: cannot create '%s'\n", filename);
        PDF_delete(document);
        return 1;
    }
    PDF_set_info(document, "Creator", "folio-demo");
    PDF_set_info(document, "Title", "Folio demonstration");
    PDF_set_info(document, "Subject", "Pages of several sizes");
    PDF_set_info(document, "Author", "Bindwick");
    for (i = 0; i < sizeof pages / sizeof pages[0]; i++) {
        PDF_begin_page(document, pages[i].width, pages[i].height);
        PDF_end_page(document);
    }
    PDF_close(document);
    PDF_delete(document);

    if (realpath(filename, resolved) == NULL) {
        perror("folio-demo: realpath");
        return 1;
    }
    printf("%s\n", resolved);
    return 0;
}
