/*
 * subsystem.cpp -- calls into the subsystems above the core.
 */
#include "subsystem.h"

#include <string.h>

/* The hooks of one kind; a row may leave any of them unset. */
#define FOR_EACH_HOOK(hook, document)                                           \
    for (const pdf_subsystem *const *row = pdf_subsystems; *row != NULL; row++) \
        if ((*row)->hook != NULL) (*row)->hook(document)

void pdf_init_subsystems(pdf_document *document) {
    FOR_EACH_HOOK(init_document, document);
}

void pdf_cleanup_subsystems(pdf_document *document) {
    FOR_EACH_HOOK(cleanup_document, document);
}

void pdf_begin_subsystem_content(pdf_document *document) {
    FOR_EACH_HOOK(begin_content, document);
}

void pdf_write_subsystem_resources(pdf_document *document) {
    FOR_EACH_HOOK(write_resources, document);
}

void pdf_write_subsystem_objects(pdf_document *document) {
    FOR_EACH_HOOK(write_document_objects, document);
}

void pdf_write_subsystem_page_entries(pdf_document *document) {
    FOR_EACH_HOOK(write_page_entries, document);
}

void pdf_write_subsystem_page_objects(pdf_document *document) {
    FOR_EACH_HOOK(write_page_objects, document);
}

const pdf_parameter *pdf_find_subsystem_parameter(const char *key) {
    for (const pdf_subsystem *const *row = pdf_subsystems; *row != NULL; row++) {
        const pdf_parameter *parameter = (*row)->parameters;
        for (; parameter != NULL && parameter->key != NULL; parameter++)
            if (strcmp(parameter->key, key) == 0) return parameter;
    }
    return NULL;
}
