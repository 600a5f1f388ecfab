/* Writes a one-page document with the installed library:
 *   folio_consumer output.pdf */
#include <folio.h>

int main(int argc, char **argv)
{
    pdf_document *document;

    if (argc != 2)
        return 2;
    document = PDF_new();
    if (document == NULL || PDF_open_file(document, argv[1]) != 1)
        return 1;
    PDF_begin_page(document, 200.0f, 100.0f);
    PDF_end_page(document);
    PDF_close(document);
    PDF_delete(document);
    return 0;
}
