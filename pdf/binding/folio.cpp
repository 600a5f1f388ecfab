// folio.cpp -- the Folio wrapper class: forwarding, the error record and
// the mapping from library error types to exception classes.
#include "folio.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" void wrapper_error_handler(pdf_document *document, int type, const char *message) {
    auto *record = static_cast<Folio::ErrorRecord *>(PDF_get_client_data(document));
    if (record == nullptr) {
        // Not a document made by Folio: there is no return point to go to.
        // A nonfatal report may return into the library; anything else
        // cannot be survived.
        if (type == PDF_ERR_NONFATAL) return;
        std::fprintf(stderr, "Folio: %s\n", message ? message : "");
        std::abort();
    }
    const char *text = message ? message : "";
    std::size_t length = std::strlen(text);
    if (length > Folio::kMaxErrorText) length = Folio::kMaxErrorText;
    if (type == PDF_ERR_NONFATAL && record->keep_nonfatal) {
        std::memcpy(record->refusal_text, text, length);
        record->refusal_text[length] = '\0';
        return;
    }
    record->error_type = type;
    std::memcpy(record->error_text, text, length);
    record->error_text[length] = '\0';
    std::longjmp(record->jump_buffer, 1);
}

void Folio::throw_error(int type, const std::string &message, void *opaque) {
    switch (type) {
        case PDF_ERR_MEMORY:
            throw MemoryException(message, opaque);
        case PDF_ERR_IO:
            throw IOException(message, opaque);
        case PDF_ERR_RUNTIME:
            throw RuntimeException(message, opaque);
        case PDF_ERR_INDEX:
            throw IndexException(message, opaque);
        case PDF_ERR_TYPE:
            throw TypeException(message, opaque);
        case PDF_ERR_DIVISION_BY_ZERO:
            throw DivisionByZeroException(message, opaque);
        case PDF_ERR_OVERFLOW:
            throw OverflowException(message, opaque);
        case PDF_ERR_SYNTAX:
            throw SyntaxException(message, opaque);
        case PDF_ERR_VALUE:
            throw ValueException(message, opaque);
        case PDF_ERR_SYSTEM:
            throw SystemException(message, opaque);
        case PDF_ERR_NONFATAL:
            throw NonfatalException(message, opaque);
        default:
            throw UnknownException(message, opaque);
    }
}

void Folio::throw_recorded_error() {
    throw_error(record.error_type, std::string(record.error_text), opaque);
}

namespace {

// Deletes `document`, swallowing any error the library reports on the way
// (the handler jumps back here instead of into a caller). A report leaves
// the document in the error scope, where the library releases it without
// reporting again, so one more attempt frees it instead of leaking it
// (memory mode refuses a document whose output was never fetched).
void delete_quietly(pdf_document *document, Folio::ErrorRecord &record) {
    if (document == nullptr) return;
    if (setjmp(record.jump_buffer) == 0) {
        PDF_delete(document);
        return;
    }
    if (setjmp(record.jump_buffer) == 0) PDF_delete(document);
}

}  // namespace

Folio::Folio(pdf_alloc_proc alloc_proc, pdf_realloc_proc realloc_proc, pdf_free_proc free_proc,
             void *opaque)
    : opaque(opaque) {
    PDF_library_startup();
    if (setjmp(record.jump_buffer) != 0) {
        // The destructor will not run for an object whose constructor
        // throws, so a document already made is released here. The error is
        // taken out of the record first: deleting may overwrite it.
        const int type = record.error_type;
        const std::string text(record.error_text);
        pdf_document *made = document;
        document = nullptr;
        delete_quietly(made, record);
        PDF_library_shutdown();
        throw_error(type, text, this->opaque);
    }
    document =
        PDF_new_with_handlers(wrapper_error_handler, alloc_proc, realloc_proc, free_proc, &record);
    if (document == nullptr) {
        // The library reports a failed allocation through the handler; this
        // only guards against a library that returned null silently.
        PDF_library_shutdown();
        throw MemoryException("Couldn't allocate Folio object", this->opaque);
    }
    PDF_set_parameter(document, "binding", "C++");
}

Folio::~Folio() {
    pdf_document *owned = document;
    document = nullptr;
    delete_quietly(owned, record);
    PDF_library_shutdown();
}

int Folio::open_file(const std::string &filename) {
    return guarded([&] { return PDF_open_file(document, filename.c_str()); });
}

void Folio::close() {
    guarded([&] { PDF_close(document); });
}

void Folio::begin_page(float width, float height) {
    guarded([&] { PDF_begin_page(document, width, height); });
}

void Folio::end_page() {
    guarded([&] { PDF_end_page(document); });
}

float Folio::get_value(const std::string &key, float modifier) {
    return guarded([&] { return PDF_get_value(document, key.c_str(), modifier); });
}

void Folio::set_value(const std::string &key, float value) {
    guarded([&] { PDF_set_value(document, key.c_str(), value); });
}

int Folio::open_image_file(const std::string &type, const std::string &filename,
                           const std::string &stringparam, int intparam) {
    return guarded([&] {
        return PDF_open_image_file(document, type.c_str(), filename.c_str(), stringparam.c_str(),
                                   intparam);
    });
}

int Folio::open_image_file(const std::string &type, const std::string &filename,
                           const std::string &stringparam, int intparam, std::string &reason) {
    record.refusal_text[0] = '\0';
    const int image = guarded([&] {
        PDF_set_parameter(document, "imagewarning", "true");
        record.keep_nonfatal = true;
        const int opened = PDF_open_image_file(document, type.c_str(), filename.c_str(),
                                               stringparam.c_str(), intparam);
        record.keep_nonfatal = false;
        PDF_set_parameter(document, "imagewarning", "false");
        return opened;
    });
    reason = image == -1 ? record.refusal_text : "";
    return image;
}

void Folio::place_image(int image, float x, float y, float scale) {
    guarded([&] { PDF_place_image(document, image, x, y, scale); });
}

void Folio::close_image(int image) {
    guarded([&] { PDF_close_image(document, image); });
}

void Folio::set_parameter(const std::string &key, const std::string &value) {
    guarded([&] { PDF_set_parameter(document, key.c_str(), value.c_str()); });
}

void Folio::save() {
    guarded([&] { PDF_save(document); });
}

void Folio::restore() {
    guarded([&] { PDF_restore(document); });
}

void Folio::translate(float tx, float ty) {
    guarded([&] { PDF_translate(document, tx, ty); });
}

void Folio::scale(float sx, float sy) {
    guarded([&] { PDF_scale(document, sx, sy); });
}

void Folio::rotate(float phi) {
    guarded([&] { PDF_rotate(document, phi); });
}

void Folio::skew(float alpha, float beta) {
    guarded([&] { PDF_skew(document, alpha, beta); });
}

void Folio::concat(float a, float b, float c, float d, float e, float f) {
    guarded([&] { PDF_concat(document, a, b, c, d, e, f); });
}

void Folio::setmatrix(float a, float b, float c, float d, float e, float f) {
    guarded([&] { PDF_setmatrix(document, a, b, c, d, e, f); });
}

void Folio::initgraphics() {
    guarded([&] { PDF_initgraphics(document); });
}

void Folio::setlinewidth(float width) {
    guarded([&] { PDF_setlinewidth(document, width); });
}

void Folio::setlinecap(int cap) {
    guarded([&] { PDF_setlinecap(document, cap); });
}

void Folio::setlinejoin(int join) {
    guarded([&] { PDF_setlinejoin(document, join); });
}

void Folio::setmiterlimit(float miter) {
    guarded([&] { PDF_setmiterlimit(document, miter); });
}

void Folio::setflat(float flatness) {
    guarded([&] { PDF_setflat(document, flatness); });
}

void Folio::setdash(float b, float w) {
    guarded([&] { PDF_setdash(document, b, w); });
}

// Vectors longer than int can count are cut: only the first 8 values are
// used anyway.
void Folio::setpolydash(const std::vector<float> &dashes) {
    const int count = static_cast<int>(std::min<std::size_t>(dashes.size(), INT_MAX));
    guarded([&] { PDF_setpolydash(document, dashes.data(), count); });
}

void Folio::moveto(float x, float y) {
    guarded([&] { PDF_moveto(document, x, y); });
}

void Folio::lineto(float x, float y) {
    guarded([&] { PDF_lineto(document, x, y); });
}

void Folio::curveto(float x1, float y1, float x2, float y2, float x3, float y3) {
    guarded([&] { PDF_curveto(document, x1, y1, x2, y2, x3, y3); });
}

void Folio::rect(float x, float y, float width, float height) {
    guarded([&] { PDF_rect(document, x, y, width, height); });
}

void Folio::circle(float x, float y, float r) {
    guarded([&] { PDF_circle(document, x, y, r); });
}

void Folio::arc(float x, float y, float r, float alpha, float beta) {
    guarded([&] { PDF_arc(document, x, y, r, alpha, beta); });
}

void Folio::arcn(float x, float y, float r, float alpha, float beta) {
    guarded([&] { PDF_arcn(document, x, y, r, alpha, beta); });
}

void Folio::closepath() {
    guarded([&] { PDF_closepath(document); });
}

void Folio::endpath() {
    guarded([&] { PDF_endpath(document); });
}

void Folio::stroke() {
    guarded([&] { PDF_stroke(document); });
}

void Folio::closepath_stroke() {
    guarded([&] { PDF_closepath_stroke(document); });
}

void Folio::fill() {
    guarded([&] { PDF_fill(document); });
}

void Folio::fill_stroke() {
    guarded([&] { PDF_fill_stroke(document); });
}

void Folio::closepath_fill_stroke() {
    guarded([&] { PDF_closepath_fill_stroke(document); });
}

void Folio::clip() {
    guarded([&] { PDF_clip(document); });
}

void Folio::setcolor(const std::string &type, const std::string &colorspace, float c1, float c2,
                     float c3, float c4) {
    guarded([&] { PDF_setcolor(document, type.c_str(), colorspace.c_str(), c1, c2, c3, c4); });
}

void Folio::setgray_fill(float g) {
    guarded([&] { PDF_setgray_fill(document, g); });
}

void Folio::setgray_stroke(float g) {
    guarded([&] { PDF_setgray_stroke(document, g); });
}

void Folio::setgray(float g) {
    guarded([&] { PDF_setgray(document, g); });
}

void Folio::setrgbcolor_fill(float red, float green, float blue) {
    guarded([&] { PDF_setrgbcolor_fill(document, red, green, blue); });
}

void Folio::setrgbcolor_stroke(float red, float green, float blue) {
    guarded([&] { PDF_setrgbcolor_stroke(document, red, green, blue); });
}

void Folio::setrgbcolor(float red, float green, float blue) {
    guarded([&] { PDF_setrgbcolor(document, red, green, blue); });
}

// The name is passed with its length, so that it may hold any bytes; names
// longer than int can count are refused as too long like any above 126.
int Folio::makespotcolor(const std::string &name) {
    const int length = static_cast<int>(std::min<std::size_t>(name.size(), INT_MAX));
    return guarded([&] { return PDF_makespotcolor(document, name.c_str(), length); });
}

void Folio::set_info(const std::string &key, const std::string &value) {
    guarded([&] { PDF_set_info(document, key.c_str(), value.c_str()); });
}

int Folio::begin_pattern(float width, float height, float xstep, float ystep, int painttype) {
    return guarded(
        [&] { return PDF_begin_pattern(document, width, height, xstep, ystep, painttype); });
}

void Folio::end_pattern() {
    guarded([&] { PDF_end_pattern(document); });
}

int Folio::begin_template(float width, float height) {
    return guarded([&] { return PDF_begin_template(document, width, height); });
}

void Folio::end_template() {
    guarded([&] { PDF_end_template(document); });
}

namespace {

// An empty text as null: the library's "not given".
const char *OrNull(const std::string &text) {
    return text.empty() ? nullptr : text.c_str();
}

}  // namespace

void Folio::add_note(float llx, float lly, float urx, float ury, const std::string &contents,
                     const std::string &title, const std::string &icon, int open) {
    guarded([&] {
        PDF_add_note(document, llx, lly, urx, ury, contents.c_str(), OrNull(title), OrNull(icon),
                     open);
    });
}

void Folio::add_locallink(float llx, float lly, float urx, float ury, int page,
                          const std::string &dest) {
    guarded([&] { PDF_add_locallink(document, llx, lly, urx, ury, page, OrNull(dest)); });
}

void Folio::add_pdflink(float llx, float lly, float urx, float ury, const std::string &filename,
                        int page, const std::string &dest) {
    guarded([&] {
        PDF_add_pdflink(document, llx, lly, urx, ury, filename.c_str(), page, OrNull(dest));
    });
}

void Folio::add_weblink(float llx, float lly, float urx, float ury, const std::string &url) {
    guarded([&] { PDF_add_weblink(document, llx, lly, urx, ury, url.c_str()); });
}

void Folio::add_launchlink(float llx, float lly, float urx, float ury,
                           const std::string &filename) {
    guarded([&] { PDF_add_launchlink(document, llx, lly, urx, ury, filename.c_str()); });
}

void Folio::attach_file(float llx, float lly, float urx, float ury, const std::string &filename,
                        const std::string &description, const std::string &author,
                        const std::string &mimetype, const std::string &icon) {
    guarded([&] {
        PDF_attach_file(document, llx, lly, urx, ury, filename.c_str(), OrNull(description),
                        OrNull(author), OrNull(mimetype), OrNull(icon));
    });
}

void Folio::set_border_style(const std::string &style, float width) {
    guarded([&] { PDF_set_border_style(document, OrNull(style), width); });
}

void Folio::set_border_color(float red, float green, float blue) {
    guarded([&] { PDF_set_border_color(document, red, green, blue); });
}

void Folio::set_border_dash(float dash, float gap) {
    guarded([&] { PDF_set_border_dash(document, dash, gap); });
}
