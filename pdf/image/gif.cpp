/* Placeholder until the reader is written: refuses every file. */
#include "readers.h"

int pdf_open_GIF_data(pdf_document *, int, const char *, const char *, int)
{
    return -1;
}
