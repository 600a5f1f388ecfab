/*
 * document.cpp -- creation and deletion of document objects, the scope
 * machine and the single error path.
 */
#include "document.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "file_structure.h"
#include "output.h"
#include "parallel_flate.h"
#include "parameters.h"

namespace {

const char *const kScopeNames[] = {"object", "document", "page", "pattern", "template", "path"};

const char *const kErrorTypeNames[] = {
    "memory error",           "I/O error",      "runtime error", "index error", "type error",
    "division by zero error", "overflow error", "syntax error",  "value error", "system error",
    "warning (ignored)",      "unknown error"};

/* Sets the initial values of a freshly zero-filled record. */
void init_record(pdf_document *document, pdf_error_handler error_handler, pdf_alloc_proc alloc_proc,
                 pdf_realloc_proc realloc_proc, pdf_free_proc free_proc, void *client_data) {
    document->magic = PDF_MAGIC;
    document->compatibility = 13;
    document->error_handler = error_handler;
    document->malloc_proc = alloc_proc;
    document->calloc_proc = pdf_default_calloc;
    document->realloc_proc = realloc_proc;
    document->free_proc = free_proc;
    document->client_data = client_data;
    document->flush = PDF_FLUSH_PAGE;
    document->floatdigits = 4;
    document->compress = 6;
    document->inherit_gstate = 1;
    document->state_index = 0;
    document->state_stack[0] = PDF_SCOPE_OBJECT;
    document->debug['w'] = 1;
    document->debug['F'] = 1;
}

/* Reports a failed creation through a stand-in record that holds only the
 * magic and the client data, so that the handler can find its own object. */
void report_creation_failure(pdf_error_handler error_handler, void *client_data,
                             const char *message) {
    pdf_document stand_in;
    memset(&stand_in, 0, sizeof stand_in);
    stand_in.magic = PDF_MAGIC;
    stand_in.client_data = client_data;
    stand_in.state_stack[0] = PDF_SCOPE_ERROR;
    error_handler(&stand_in, PDF_ERR_MEMORY, message);
}

}  // namespace

void PDF_library_startup(void) {}
void PDF_library_shutdown(void) {}

pdf_document *PDF_new(void) {
    return PDF_new_with_handlers(NULL, NULL, NULL, NULL, NULL);
}

pdf_document *PDF_new_with_handlers(pdf_error_handler error_handler, pdf_alloc_proc alloc_proc,
                                    pdf_realloc_proc realloc_proc, pdf_free_proc free_proc,
                                    void *client_data) {
    if (error_handler == NULL) error_handler = pdf_default_error_handler;
    if (alloc_proc == NULL) {
        alloc_proc = pdf_default_malloc;
        realloc_proc = pdf_default_realloc;
        free_proc = pdf_default_free;
    }

    /* The record and its output stream come first, before any report can
     * reach the handler: a handler that leaves by longjmp would otherwise
     * lose a record nobody holds yet. */
    pdf_document *document = (pdf_document *)alloc_proc(NULL, sizeof(pdf_document), "PDF_new");
    pdf_output_stream *stream = NULL;
    if (document != NULL) {
        stream =
            (pdf_output_stream *)alloc_proc(NULL, sizeof(pdf_output_stream), "pdf_boot_stream");
        if (stream == NULL) free_proc(NULL, document);
    }
    if (stream == NULL) {
        report_creation_failure(error_handler, client_data,
                                document == NULL
                                    ? "Couldn't allocate Folio object"
                                    : "Couldn't allocate memory in pdf_boot_stream!\n");
        return NULL;
    }
    memset(document, 0, sizeof(pdf_document));
    memset(stream, 0, sizeof(pdf_output_stream));
    init_record(document, error_handler, alloc_proc, realloc_proc, free_proc, client_data);
    document->stream = stream;
    return document;
}

void *PDF_get_client_data(pdf_document *document) {
    return pdf_is_valid(document) ? document->client_data : NULL;
}

void PDF_delete(pdf_document *document) {
    if (!pdf_is_valid(document) || document->error_handler == NULL) return;
    /* A handler that returns from the scope report still gets everything
     * released: the object is gone either way. */
    int in_error = pdf_current_scope(document) == PDF_SCOPE_ERROR;
    if (!in_error) pdf_check_scope(document, PDF_SCOPE_OBJECT, "PDF_delete");
    in_error = pdf_current_scope(document) == PDF_SCOPE_ERROR;

    pdf_output_stream *stream = document->stream;
    if (!in_error && document->writeproc == NULL && stream != NULL && stream->start != NULL &&
        stream->position > stream->start)
        pdf_error(document, PDF_ERR_RUNTIME, "Must call PDF_get_buffer() after PDF_close()");

    if (document->object_offsets != NULL) pdf_cleanup_document(document);
    pdf_free_stream(document);
    pdf_cleanup_parameters(document);

    document->magic = 0;
    document->free_proc(document, document);
}

int pdf_is_valid(const pdf_document *document) {
    return document != NULL && document->magic == PDF_MAGIC;
}

/* ---- Scopes ------------------------------------------------------------- */

int pdf_current_scope(const pdf_document *document) {
    return document->state_stack[document->state_index];
}

void pdf_set_scope(pdf_document *document, int scope) {
    document->state_stack[document->state_index] = (pdf_byte)scope;
}

void pdf_push_scope(pdf_document *document, int scope, const char *routine) {
    if (document->state_index >= PDF_STATE_STACK_SIZE - 1) {
        pdf_error(document, PDF_ERR_SYSTEM, "state stack overflow in function '%s'", routine);
        return;
    }
    document->state_stack[++document->state_index] = (pdf_byte)scope;
}

void pdf_pop_scope(pdf_document *document, const char *routine) {
    if (document->state_index == 0) {
        pdf_error(document, PDF_ERR_SYSTEM, "state stack underflow in function '%s'", routine);
        return;
    }
    document->state_index--;
}

const char *pdf_scope_name(int scope) {
    for (int bit = 0; bit < 6; bit++)
        if (scope == (1 << bit)) return kScopeNames[bit];
    return NULL;
}

const char *pdf_current_scope_name(pdf_document *document) {
    int scope = pdf_current_scope(document);
    const char *name = pdf_scope_name(scope);
    if (name == NULL) pdf_error(document, PDF_ERR_SYSTEM, "illegal state 0x%08X", scope);
    return name;
}

void pdf_report_scope_violation(pdf_document *document, const char *function) {
    if (pdf_current_scope(document) == PDF_SCOPE_ERROR) return;
    const char *scope = pdf_current_scope_name(document);
    pdf_error(document, PDF_ERR_RUNTIME, "function '%s' must not be called in '%s' scope", function,
              scope != NULL ? scope : "(unknown)");
}

int pdf_check_scope(pdf_document *document, int mask, const char *function) {
    int scope = pdf_current_scope(document);
    if ((scope & mask) != 0) return 1;
    /* After an error left a call, the document may be half set up: other
     * calls do nothing until PDF_close or PDF_delete releases it. */
    if (scope == PDF_SCOPE_ERROR) return 0;
    pdf_report_scope_violation(document, function);
    return 0;
}

/* ---- Errors ------------------------------------------------------------- */

const char *pdf_error_type_name(int type) {
    if (type < PDF_ERR_MEMORY || type > PDF_ERR_UNKNOWN)
        return kErrorTypeNames[PDF_ERR_UNKNOWN - 1];
    return kErrorTypeNames[type - 1];
}

void pdf_error(pdf_document *document, int type, const char *format, ...) {
    char message[PDF_MESSAGE_SIZE];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);

    if (pdf_current_scope(document) == PDF_SCOPE_ERROR) return;
    if (type == PDF_ERR_NONFATAL && !document->debug['w']) return;

    int full = document->state_index >= PDF_STATE_STACK_SIZE - 1;
    pdf_byte replaced = document->state_stack[document->state_index];
    if (full) {
        /* No room to push: the top entry stands in for the error scope, and
         * the handler hears of the overflow instead. */
        document->state_stack[document->state_index] = PDF_SCOPE_ERROR;
        type = PDF_ERR_SYSTEM;
        snprintf(message, sizeof message, "state stack overflow in function '%s'", "pdf_error");
    } else {
        document->state_stack[++document->state_index] = PDF_SCOPE_ERROR;
    }

    /* The handler may leave by longjmp: no thread may be left running. */
    pdf_join_flate_threads(document);
    document->error_handler(document, type, message);

    /* The handler returned: leave the error scope again. */
    if (full) {
        document->state_stack[document->state_index] = replaced;
    } else if (document->state_index == 0) {
        pdf_error(document, PDF_ERR_SYSTEM, "state stack underflow in function '%s'", "pdf_error");
    } else {
        document->state_index--;
    }
}

void pdf_default_error_handler(pdf_document *document, int type, const char *message) {
    char line[PDF_MESSAGE_SIZE];
    snprintf(line, sizeof line, "Folio %s: %s\n", pdf_error_type_name(type), message);
    fputs(line, stderr);
    if (type == PDF_ERR_NONFATAL) return;
    PDF_delete(document);
    exit(99);
}

int pdf_check_numbers(pdf_document *document, const char *function, int first, int count, ...) {
    int bad = 0;
    va_list arguments;
    va_start(arguments, count);
    for (int i = 0; i < count && bad == 0; i++)
        if (isnan(va_arg(arguments, double))) bad = first + i;
    va_end(arguments);
    if (bad == 0) return 1;
    pdf_error(document, PDF_ERR_VALUE, "Argument %d of %s is not a number (NaN)", bad, function);
    return 0;
}
