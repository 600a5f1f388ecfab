/*
 * info.cpp -- the document information dictionary. Producer and
 * CreationDate are always written by the library itself.
 */
#include "info.h"

#include <string.h>
#include <time.h>

#include "folio_version.h"
#include "format.h"
#include "objects.h"
#include "output.h"

namespace {

/* The standard keys, in the order they are written. */
char **standard_value(pdf_document *document, const char *key) {
    if (strcmp(key, "Keywords") == 0) return &document->info_keywords;
    if (strcmp(key, "Subject") == 0) return &document->info_subject;
    if (strcmp(key, "Title") == 0) return &document->info_title;
    if (strcmp(key, "Creator") == 0) return &document->info_creator;
    if (strcmp(key, "Author") == 0) return &document->info_author;
    return NULL;
}

int is_reserved_key(const char *key) {
    return strcmp(key, "Producer") == 0 || strcmp(key, "CreationDate") == 0 ||
           strcmp(key, "ModDate") == 0;
}

int is_trapped_value(const char *value) {
    return strcmp(value, "True") == 0 || strcmp(value, "False") == 0 ||
           strcmp(value, "Unknown") == 0;
}

/* Records a custom key. Setting a key again replaces its value: a
 * dictionary with the key twice is not valid, and readers would take the
 * older value. */
void add_custom_entry(pdf_document *document, const char *key, const char *value) {
    for (pdf_info_entry *entry = document->info_custom; entry != NULL; entry = entry->next) {
        if (strcmp(entry->key, key) != 0) continue;
        char *copy = pdf_strdup(document, value);
        pdf_free_text(document, &entry->value);
        entry->value = copy;
        return;
    }
    pdf_info_entry *entry =
        (pdf_info_entry *)pdf_malloc(document, sizeof(pdf_info_entry), "PDF_set_info");
    if (entry == NULL) return;
    entry->key = NULL;
    entry->value = NULL;
    entry->next = document->info_custom;
    document->info_custom = entry; /* owned by the list from here on */
    entry->key = pdf_strdup(document, key);
    entry->value = pdf_strdup(document, value);
}

/* Writes a value as a literal string and feeds it, with its terminator, to
 * the file identifier. */
void write_value(pdf_document *document, const char *value) {
    pdf_quote_text(document, value);
    pdf_md5_update(document->digest, value, pdf_text_size(value));
}

void write_creation_date(pdf_document *document) {
    time_t now = time(NULL);
    struct tm local;
    localtime_r(&now, &local);
    char date[16];
    pdf_sprintf(document, date, sizeof date, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    pdf_md5_update(document->digest, date, strlen(date));
    pdf_printf(document, "/CreationDate (D:%s)\n", date);
}

}  // namespace

const char *pdf_platform_name(void) {
#if defined(_WIN32)
    return "Win32";
#elif defined(__APPLE__)
    return "MacOS";
#elif defined(__linux__)
    return "Linux";
#elif defined(__FreeBSD__)
    return "FreeBSD";
#else
    return "Unix";
#endif
}

void PDF_set_info(pdf_document *document, const char *key, const char *value) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE, "PDF_set_info")) return;
    if (key == NULL || key[0] == '\0' || value == NULL || value[0] == '\0') {
        pdf_error(document, PDF_ERR_NONFATAL, "Empty key or value in PDF_set_info");
        return;
    }
    if (is_reserved_key(key)) {
        pdf_error(document, PDF_ERR_NONFATAL, "Illegal info key '%s' (ignored)", key);
        return;
    }
    char **slot = standard_value(document, key);
    if (slot != NULL) {
        char *copy = pdf_strdup(document, value);
        pdf_free_text(document, slot);
        *slot = copy;
        return;
    }
    if (strcmp(key, "Trapped") == 0 && !is_trapped_value(value)) {
        pdf_error(document, PDF_ERR_RUNTIME, "Bad value '%s' for Trapped info key", value);
        return;
    }
    if (strpbrk(key, " %()<>[]{}/#") != NULL) {
        pdf_error(document, PDF_ERR_VALUE, "Illegal character in custom info key '%s'", key);
        return;
    }
    add_custom_entry(document, key, value);
}

void pdf_init_info(pdf_document *document) {
    document->info_keywords = NULL;
    document->info_subject = NULL;
    document->info_title = NULL;
    document->info_creator = NULL;
    document->info_author = NULL;
    document->info_custom = NULL;
    document->info_id = pdf_alloc_id(document);
}

void pdf_write_info(pdf_document *document) {
    const char *const names[] = {"/Keywords ", "/Subject ", "/Title ", "/Creator ", "/Author "};
    const char *const values[] = {document->info_keywords, document->info_subject,
                                  document->info_title, document->info_creator,
                                  document->info_author};
    pdf_begin_obj(document, document->info_id);
    pdf_puts(document, "<<");
    for (int i = 0; i < 5; i++) {
        if (values[i] == NULL) continue;
        pdf_puts(document, names[i]);
        write_value(document, values[i]);
        pdf_putc(document, '\n');
    }
    for (pdf_info_entry *entry = document->info_custom; entry != NULL; entry = entry->next) {
        /* Keys with delimiters were refused; bytes outside ! to ~ (tabs,
         * line ends, 8-bit characters) are escaped like any name's. */
        pdf_putc(document, '/');
        pdf_quote_name(document, entry->key, strlen(entry->key));
        pdf_putc(document, ' ');
        if (strcmp(entry->key, "Trapped") == 0) {
            pdf_putc(document, '/');
            pdf_quote_name(document, entry->value, strlen(entry->value));
            pdf_md5_update(document->digest, entry->value, pdf_text_size(entry->value));
        } else {
            write_value(document, entry->value);
        }
        pdf_putc(document, '\n');
    }
    write_creation_date(document);
    if (document->binding != NULL)
        pdf_printf(document, "/Producer (Folio %s \\(%s/%s\\))\n", FOLIO_VERSION_STRING,
                   document->binding, pdf_platform_name());
    else
        pdf_printf(document, "/Producer (Folio %s \\(%s\\))\n", FOLIO_VERSION_STRING,
                   pdf_platform_name());
    pdf_puts(document, ">>\n");
    pdf_puts(document, "endobj\n");
}

void pdf_cleanup_info(pdf_document *document) {
    pdf_free_text(document, &document->info_keywords);
    pdf_free_text(document, &document->info_subject);
    pdf_free_text(document, &document->info_title);
    pdf_free_text(document, &document->info_creator);
    pdf_free_text(document, &document->info_author);
    while (document->info_custom != NULL) {
        pdf_info_entry *entry = document->info_custom;
        document->info_custom = entry->next;
        pdf_free_text(document, &entry->key);
        pdf_free_text(document, &entry->value);
        pdf_free(document, entry);
    }
}
