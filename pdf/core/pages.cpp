/*
 * pages.cpp -- the page tables, page objects with their boxes and resources,
 * and the balanced page tree written at the end of the document.
 */
#include "pages.h"

#include <limits.h>
#include <string.h>

#include "content.h"
#include "objects.h"
#include "output.h"
#include "subsystem.h"

namespace {

const char *const kBoxNames[PDF_BOX_COUNT] = {"CropBox", "BleedBox", "TrimBox", "ArtBox"};
const char *const kTransitionStyles[] = {"",     "Split",    "Blinds",  "Box",
                                         "Wipe", "Dissolve", "Glitter", "R"};

/* Page sizes the PDF version can display; `fatal` for PDF 1.2 readers. */
void check_page_size(pdf_document *document, float width, float height) {
    if (document->compatibility >= 13) {
        if (width < 3 || width > 14400 || height < 3 || height > 14400)
            pdf_error(document, PDF_ERR_NONFATAL, "Page size incompatible with Acrobat 4");
    } else if (width < 72 || width > 3240 || height < 72 || height > 3240) {
        pdf_error(document, PDF_ERR_RUNTIME, "Page size incompatible with Acrobat 3");
    }
}

/* Makes the page table hold page number `page`; the new entries are -1. */
int grow_page_table(pdf_document *document, int page) {
    int capacity = document->pages_capacity;
    if (page < capacity) return 1;
    while (capacity <= page) {
        if (capacity > INT_MAX / 2) {
            pdf_error(document, PDF_ERR_VALUE, "Page number %d too large", page);
            return 0;
        }
        capacity *= 2;
    }
    pdf_id *grown = (pdf_id *)pdf_realloc(document, document->page_ids,
                                          sizeof(pdf_id) * (size_t)capacity, "pdf_grow_pages");
    if (grown == NULL) return 0;
    for (int i = document->pages_capacity; i < capacity; i++) grown[i] = -1;
    document->page_ids = grown;
    document->pages_capacity = capacity;
    return 1;
}

/* Gives the page its object number, unless a link reserved it before. */
int assign_page_id(pdf_document *document) {
    int page = document->current_page + 1;
    if (!grow_page_table(document, page)) return 0;
    document->current_page = page;
    if (document->page_ids[page] == -1) document->page_ids[page] = pdf_alloc_id(document);
    return 1;
}

void write_boxes(pdf_document *document) {
    for (int kind = 0; kind < PDF_BOX_COUNT; kind++) {
        const float *box = document->boxes[kind];
        if (box[0] == 0 && box[1] == 0 && box[2] == 0 && box[3] == 0) continue;
        if (!(box[2] > box[0] && box[3] > box[1])) {
            pdf_error(document, PDF_ERR_VALUE, "Illegal %s dimensions", kBoxNames[kind]);
            continue;
        }
        pdf_printf(document, "/%s[%f %f %f %f]\n", kBoxNames[kind], box[0], box[1], box[2], box[3]);
    }
}

/* The leaf /Pages node that receives the page being ended: a new leaf every
 * ten pages. */
pdf_id pdf_get_pnode_id(pdf_document *document) {
    if (document->current_pnode_kids < PDF_MAX_KIDS) {
        document->current_pnode_kids++;
        return document->pnodes[document->current_pnode];
    }
    int next = document->current_pnode + 1;
    if (next >= document->pnodes_capacity) {
        pdf_id *grown = (pdf_id *)pdf_realloc(
            document, document->pnodes, sizeof(pdf_id) * (size_t)document->pnodes_capacity * 2,
            "pdf_get_pnode_id");
        if (grown == NULL) return 0;
        document->pnodes = grown;
        document->pnodes_capacity *= 2;
    }
    document->current_pnode = next;
    document->pnodes[next] = pdf_alloc_id(document);
    document->current_pnode_kids = 1;
    return document->pnodes[next];
}

void write_page_object(pdf_document *document) {
    pdf_begin_obj(document, document->page_ids[document->current_page]);
    pdf_puts(document, "<<");
    pdf_puts(document, "/Type/Page\n");
    pdf_printf(document, "/Parent %ld 0 R\n", pdf_get_pnode_id(document));
    document->content.resources_id = pdf_alloc_id(document);
    pdf_printf(document, "/Resources %ld 0 R\n", document->content.resources_id);
    pdf_printf(document, "/MediaBox[0 0 %f %f]\n", document->width, document->height);
    write_boxes(document);
    if (document->duration > 0) pdf_printf(document, "/Dur %f\n", document->duration);
    if (document->transition >= 1 && document->transition <= 7) {
        pdf_puts(document, "/Trans");
        pdf_puts(document, "<<");
        pdf_printf(document, "/S/%s", kTransitionStyles[document->transition]);
        pdf_puts(document, ">>\n");
    }
    pdf_puts(document, "/Contents[");
    for (int i = 0; i < document->contents_count; i++)
        pdf_printf(document, "%ld 0 R ", document->contents[i]);
    pdf_puts(document, "]\n");
    if (document->thumbnail_id != -1)
        pdf_printf(document, "/Thumb %ld 0 R\n", document->thumbnail_id);
    pdf_write_subsystem_page_entries(document);
    pdf_puts(document, ">>\n");
    pdf_puts(document, "endobj\n");
    pdf_write_subsystem_page_objects(document);
}

void write_pages_node(pdf_document *document, pdf_id id, pdf_id parent, const pdf_id *kids,
                      int kid_count, int count) {
    pdf_begin_obj(document, id);
    pdf_puts(document, "<<");
    pdf_puts(document, "/Type/Pages\n");
    pdf_printf(document, "/Count %d\n", count);
    if (parent != 0) pdf_printf(document, "/Parent %d 0 R\n", (int)parent);
    pdf_puts(document, "/Kids[");
    for (int i = 0; i < kid_count; i++) pdf_printf(document, "%ld 0 R\n", kids[i]);
    pdf_puts(document, "]");
    pdf_puts(document, ">>\n");
    pdf_puts(document, "endobj\n");
}

/* Writes the subtree over `count` pages whose leaves start at `leaves`;
 * leaves hold ten pages each and every node above groups ten of the level
 * below. Children are written before their parent. */
pdf_id write_subtree(pdf_document *document, pdf_id parent, const pdf_id *leaves,
                     const pdf_id *pages, int count) {
    if (count <= PDF_MAX_KIDS) {
        write_pages_node(document, leaves[0], parent, pages, count, count);
        pdf_flush_if_large(document);
        return leaves[0];
    }
    pdf_id self = pdf_alloc_id(document);
    long group = PDF_MAX_KIDS;
    while (group * PDF_MAX_KIDS < count) group *= PDF_MAX_KIDS;
    pdf_id kids[PDF_MAX_KIDS];
    int kid_count = 0;
    int remaining = count;
    while (remaining >= group) {
        kids[kid_count++] = write_subtree(document, self, leaves, pages, (int)group);
        leaves += group / PDF_MAX_KIDS;
        pages += group;
        remaining -= (int)group;
    }
    if (remaining > 0) kids[kid_count++] = write_subtree(document, self, leaves, pages, remaining);
    write_pages_node(document, self, parent, kids, kid_count, count);
    return self;
}

/* Allocates a table of `count` entries of `size` bytes. */
void *alloc_table(pdf_document *document, size_t count, size_t size) {
    return pdf_malloc(document, count * size, "pdf_init_document");
}

}  // namespace

void PDF_begin_page(pdf_document *document, float width, float height) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT, "PDF_begin_page")) return;
    if (!pdf_check_numbers(document, "PDF_begin_page", 1, 2, width, height)) return;
    if (width <= 0 || height <= 0) {
        pdf_error(document, PDF_ERR_VALUE, "Page size must be positive");
        return;
    }
    check_page_size(document, width, height);
    if (!assign_page_id(document)) return;

    document->width = width;
    document->height = height;
    document->thumbnail_id = -1;
    document->contents_count = 0;
    memset(document->boxes, 0, sizeof document->boxes);

    pdf_set_scope(document, PDF_SCOPE_PAGE);
    pdf_begin_content(document);
    pdf_begin_contents_section(document);
}

void PDF_end_page(pdf_document *document) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_PAGE, "PDF_end_page")) return;
    if (document->content.save_level > 0) {
        pdf_error(document, PDF_ERR_RUNTIME, "Unmatched save level at end of page");
        return;
    }
    pdf_end_contents_section(document);
    write_page_object(document);
    pdf_write_content_resources(document);
    pdf_set_scope(document, PDF_SCOPE_DOCUMENT);
    /* What the page drew is not carried between pages: the document scope
     * records colours from black again. */
    pdf_begin_content(document);
    if (document->flush & PDF_FLUSH_PAGE) pdf_flush_stream(document);
}

void pdf_init_pages(pdf_document *document) {
    document->page_ids = (pdf_id *)alloc_table(document, PDF_PAGES_CHUNKSIZE, sizeof(pdf_id));
    document->pages_capacity = PDF_PAGES_CHUNKSIZE;
    for (int i = 0; i < PDF_PAGES_CHUNKSIZE; i++) document->page_ids[i] = -1;
    document->current_page = 0;
    document->pnodes = (pdf_id *)alloc_table(document, PDF_PNODES_CHUNKSIZE, sizeof(pdf_id));
    document->pnodes_capacity = PDF_PNODES_CHUNKSIZE;
    document->contents = (pdf_id *)alloc_table(document, PDF_CONTENTS_CHUNKSIZE, sizeof(pdf_id));
    document->contents_capacity = PDF_CONTENTS_CHUNKSIZE;
    document->contents_count = 0;
    document->current_pnode = 0;
    document->current_pnode_kids = 0;
    document->pnodes[0] = pdf_alloc_id(document);
    document->transition = 0;
    document->duration = 0;
    document->thumbnail_id = -1;
}

void pdf_cleanup_pages(pdf_document *document) {
    if (document->page_ids != NULL) pdf_free(document, document->page_ids);
    document->page_ids = NULL;
    if (document->pnodes != NULL) pdf_free(document, document->pnodes);
    document->pnodes = NULL;
    if (document->contents != NULL) pdf_free(document, document->contents);
    document->contents = NULL;
}

pdf_id pdf_write_pages_tree(pdf_document *document) {
    return write_subtree(document, 0, document->pnodes, document->page_ids + 1,
                         document->current_page);
}

pdf_id pdf_page_object_id(pdf_document *document, int page) {
    if (!grow_page_table(document, page)) return 0;
    if (document->page_ids[page] == -1) document->page_ids[page] = pdf_alloc_id(document);
    return document->page_ids[page];
}

/* A page reserved by a link but never begun is written as a null object,
 * so that the link's reference resolves and the file stays valid. */
void pdf_write_unwritten_pages(pdf_document *document) {
    for (int page = document->current_page + 1; page < document->pages_capacity; page++) {
        pdf_id id = document->page_ids[page];
        if (id == -1) continue;
        pdf_error(document, PDF_ERR_NONFATAL, "Link to page %d, which was never written", page);
        pdf_begin_obj(document, id);
        pdf_puts(document, "null\n");
        pdf_puts(document, "endobj\n");
    }
}
