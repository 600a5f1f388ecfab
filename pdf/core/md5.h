/*
 * md5.h -- the MD5 message digest (RFC 1321), used for the file identifier.
 */
#ifndef FOLIO_MD5_H
#define FOLIO_MD5_H

#include <stddef.h>
#include <stdint.h>

typedef struct {
    uint32_t state[4];
    uint64_t length;         /* bytes fed so far */
    unsigned char block[64]; /* bytes of the block being filled */
} pdf_md5_context;

void pdf_md5_init(pdf_md5_context *context);
void pdf_md5_update(pdf_md5_context *context, const void *data, size_t size);
void pdf_md5_final(pdf_md5_context *context, unsigned char digest[16]);

#endif /* FOLIO_MD5_H */
