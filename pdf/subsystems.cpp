/*
 * subsystems.cpp -- the parts of the library above the core that take part
 * in a document's life (core/subsystem.h), in the order the core calls them.
 * The order is the order of the entries of every resource dictionary
 * (/ColorSpace, /Pattern, /XObject) and of the objects written at the end of the
 * document.
 */
#include "annotations/annotations.h"
#include "core/subsystem.h"
#include "draw/colorspace.h"
#include "draw/gstate.h"
#include "draw/pattern.h"
#include "image/images.h"

const pdf_subsystem *const pdf_subsystems[] = {
    &pdf_colorspace_subsystem, &pdf_graphics_subsystem,   &pdf_pattern_subsystem,
    &pdf_image_subsystem,      &pdf_annotation_subsystem, NULL,
};
