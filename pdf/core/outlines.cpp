/*
 * outlines.cpp -- bookmarks and the outline tree. Entry 0 is the root; a
 * bookmark's number is its index in the table.
 */
#include "outlines.h"

#include <string.h>

#include "objects.h"
#include "output.h"

namespace {

enum { PDF_OUTLINE_CHUNKSIZE = 256 };

/* Creates the table and the root with the first bookmark. */
int start_outline(pdf_document *document) {
    pdf_outline_entry *entries = (pdf_outline_entry *)pdf_calloc(
        document, sizeof(pdf_outline_entry) * PDF_OUTLINE_CHUNKSIZE, "PDF_add_bookmark");
    if (entries == NULL) return 0;
    document->outline_entries = entries;
    document->outline_capacity = PDF_OUTLINE_CHUNKSIZE;
    entries[0].self_id = pdf_alloc_id(document);
    entries[0].count = 0;
    entries[0].parent = 0;
    entries[0].open = 1;
    if (document->open_mode == 0) document->open_mode = 2;
    return 1;
}

int grow_outline(pdf_document *document) {
    size_t size = sizeof(pdf_outline_entry) * (size_t)document->outline_capacity;
    pdf_outline_entry *grown = (pdf_outline_entry *)pdf_realloc(document, document->outline_entries,
                                                                2 * size, "PDF_add_bookmark");
    if (grown == NULL) return 0;
    memset((char *)grown + size, 0, size);
    document->outline_entries = grown;
    document->outline_capacity *= 2;
    return 1;
}

/* Counts the new entry in its ancestors as far as they are open. */
void count_descendant(pdf_outline_entry *entries, int parent) {
    int index = parent;
    for (;;) {
        entries[index].count++;
        if (!entries[index].open || index == 0) return;
        index = entries[index].parent;
        if (index == 0) return;
    }
}

void write_destination(pdf_document *document, const pdf_outline_entry *entry) {
    static const char *const kDestinations[] = {
        "/Dest[%ld 0 R/XYZ null null 0]\n", "/Dest[%ld 0 R/Fit]\n", "/Dest[%ld 0 R/FitH 2000]\n",
        "/Dest[%ld 0 R/FitV 0]\n", "/Dest[%ld 0 R/FitB]\n"};
    if (entry->dest_type > 4) {
        pdf_error(document, PDF_ERR_SYSTEM, "Unknown outline destination type");
        return;
    }
    pdf_printf(document, kDestinations[entry->dest_type], document->page_ids[entry->page]);
}

void write_entry(pdf_document *document, int index) {
    const pdf_outline_entry *entries = document->outline_entries;
    const pdf_outline_entry *entry = &entries[index];
    pdf_begin_obj(document, entry->self_id);
    pdf_puts(document, "<<");
    pdf_printf(document, "/Parent %ld 0 R\n", entries[entry->parent].self_id);
    write_destination(document, entry);
    pdf_puts(document, "/Title");
    pdf_quote_text(document, entry->text);
    pdf_putc(document, '\n');
    if (entry->prev_id != 0) pdf_printf(document, "/Prev %ld 0 R\n", entry->prev_id);
    if (entry->next_id != 0) pdf_printf(document, "/Next %ld 0 R\n", entry->next_id);
    if (entry->first_child != 0) {
        pdf_printf(document, "/First %ld 0 R\n", entries[entry->first_child].self_id);
        pdf_printf(document, "/Last %ld 0 R\n", entries[entry->last_child].self_id);
    }
    if (entry->count != 0)
        pdf_printf(document, "/Count %d\n", entry->open ? entry->count : -entry->count);
    pdf_puts(document, ">>\n");
    pdf_puts(document, "endobj\n");
}

}  // namespace

int PDF_add_bookmark(pdf_document *document, const char *text, int parent, int open) {
    if (!pdf_is_valid(document)) return 0;
    if (text == NULL || text[0] == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Null bookmark text");
        return 0;
    }
    if (!pdf_check_scope(document, PDF_SCOPE_PAGE, "PDF_add_bookmark")) return 0;
    if (parent < 0 || parent > document->outline_count) {
        pdf_error(document, PDF_ERR_VALUE, "Bad parent id %d for subordinate bookmark", parent);
        return 0;
    }
    if (document->outline_count == 0 && !start_outline(document)) return 0;
    if (document->outline_count + 1 >= document->outline_capacity && !grow_outline(document))
        return 0;

    int index = document->outline_count + 1;
    pdf_outline_entry *entries = document->outline_entries;
    pdf_outline_entry *entry = &entries[index];
    memset(entry, 0, sizeof *entry);
    entry->text = pdf_strdup(document, text);
    document->outline_count = index;
    entry->page = document->current_page;
    entry->dest_type = document->bookmark_dest;
    entry->self_id = pdf_alloc_id(document);
    entry->open = open;
    entry->parent = parent;

    pdf_outline_entry *owner = &entries[parent];
    if (owner->first_child == 0) {
        owner->first_child = index;
    } else {
        entry->prev_id = entries[owner->last_child].self_id;
        entries[owner->last_child].next_id = entry->self_id;
    }
    owner->last_child = index;
    count_descendant(entries, parent);
    return index;
}

void pdf_init_outlines(pdf_document *document) {
    document->outline_count = 0;
}

void pdf_write_outlines_ref(pdf_document *document) {
    if (document->outline_count != 0)
        pdf_printf(document, "/Outlines %ld 0 R\n", document->outline_entries[0].self_id);
}

void pdf_write_outlines(pdf_document *document) {
    if (document->outline_count == 0) return;
    const pdf_outline_entry *root = &document->outline_entries[0];
    pdf_begin_obj(document, root->self_id);
    pdf_puts(document, "<<");
    if (root->count != 0) pdf_printf(document, "/Count %d\n", root->count);
    pdf_printf(document, "/First %ld 0 R\n", document->outline_entries[root->first_child].self_id);
    pdf_printf(document, "/Last %ld 0 R\n", document->outline_entries[root->last_child].self_id);
    pdf_puts(document, ">>\n");
    pdf_puts(document, "endobj\n");
    for (int index = 1; index <= document->outline_count; index++) write_entry(document, index);
}

void pdf_cleanup_outlines(pdf_document *document) {
    if (document->outline_entries != NULL) {
        for (int index = 1; index <= document->outline_count; index++)
            pdf_free_text(document, &document->outline_entries[index].text);
        pdf_free(document, document->outline_entries);
    }
    document->outline_entries = NULL;
    document->outline_capacity = 0;
    document->outline_count = 0;
}
