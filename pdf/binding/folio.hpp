// folio.hpp -- the C++ face of the Folio PDF library.
//
// A Folio object owns one library document and forwards each operation to
// the library call of the same name with the PDF_ prefix. Every error the
// library reports, the nonfatal kind included, comes back as an exception
// of the Folio::Exception family; the class depends on the library's error
// type. Failures the library signals by result (open_file and
// open_image_file returning -1) are returned, not thrown; so is the
// reader's reason for refusing an image, where it is asked for.
//
// How errors travel: the object installs wrapper_error_handler as the
// document's handler and its error record as the document's client data.
// Each operation sets a return point before it calls into the library; the
// handler stores type and text in the record and jumps back to that point,
// and the operation then throws from its own frame. No C++ exception ever
// passes through library code, and the only frames the jump skips are
// library frames, which own nothing.
//
// After an exception the document is in the library's error scope; the only
// sensible further use of the object is to destroy it.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "folio.h"

// Records an error in the Folio object whose error record is the document's
// client data and jumps back into the operation that made the failing call.
// Returns into the library only with a nonfatal report that the record asks
// to keep.
extern "C" void wrapper_error_handler(pdf_document *document, int type,
                                      const char *message);

class Folio {
public:
    // The longest error text kept; longer library texts are cut.
    static constexpr std::size_t kMaxErrorText = 255;

    // The part of the object the error handler writes. Its address is the
    // document's client data.
    struct ErrorRecord {
        std::jmp_buf jump_buffer;
        std::int32_t error_type = 0;
        char error_text[kMaxErrorText + 1] = {};
        // While set, a nonfatal report is kept in refusal_text and the
        // handler returns into the library instead of jumping back.
        bool keep_nonfatal = false;
        char refusal_text[kMaxErrorText + 1] = {};
    };

    // Base of the twelve error classes: the library's text and the opaque
    // pointer the object was made with.
    class Exception {
    public:
        Exception(std::string message, void *opaque)
            : message(std::move(message)), opaque(opaque) {}
        std::string get_message() const { return message; }

        std::string message;
        void *opaque;
    };

#define FOLIO_EXCEPTION_CLASS(Name)                                        \
    class Name : public Exception {                                        \
    public:                                                                \
        Name(std::string message, void *opaque)                            \
            : Exception(std::move(message), opaque) {}                     \
    }
    FOLIO_EXCEPTION_CLASS(MemoryException);
    FOLIO_EXCEPTION_CLASS(IOException);
    FOLIO_EXCEPTION_CLASS(RuntimeException);
    FOLIO_EXCEPTION_CLASS(IndexException);
    FOLIO_EXCEPTION_CLASS(TypeException);
    FOLIO_EXCEPTION_CLASS(DivisionByZeroException);
    FOLIO_EXCEPTION_CLASS(OverflowException);
    FOLIO_EXCEPTION_CLASS(SyntaxException);
    FOLIO_EXCEPTION_CLASS(ValueException);
    FOLIO_EXCEPTION_CLASS(SystemException);
    FOLIO_EXCEPTION_CLASS(NonfatalException);
    FOLIO_EXCEPTION_CLASS(UnknownException);
#undef FOLIO_EXCEPTION_CLASS

    // Throws the class that belongs to error type `type` (UnknownException
    // for 12 and for any number outside 1..11), made from `message` and
    // `opaque`.
    [[noreturn]] static void throw_error(int type, const std::string &message,
                                         void *opaque);

    // Creates the document with the given memory hooks (null for the
    // library's own) and sets the parameter "binding" to "C++". A document
    // that cannot be allocated throws MemoryException; if setting the
    // parameter fails, the document is released before the exception leaves.
    explicit Folio(pdf_alloc_proc alloc_proc = nullptr,
                   pdf_realloc_proc realloc_proc = nullptr,
                   pdf_free_proc free_proc = nullptr, void *opaque = nullptr);
    // Deletes the document. An error the library reports while deleting is
    // swallowed; nothing leaves the destructor.
    ~Folio();

    Folio(const Folio &) = delete;
    Folio &operator=(const Folio &) = delete;

    // 1 when the file was opened, -1 when it could not be created.
    int open_file(const std::string &filename);
    void close();
    void begin_page(float width, float height);
    void end_page();
    float get_value(const std::string &key, float modifier);
    void set_value(const std::string &key, float value);
    // The image number, or -1 when the reader could not use the file.
    int open_image_file(const std::string &type, const std::string &filename,
                        const std::string &stringparam, int intparam);
    // The same, and when the reader refuses the file, `reason` gets its
    // text (such as "Can't handle TIFF file '...' (unknown compression 7)"),
    // or stays empty when it gave none. The reader's reports are asked for
    // during the call only ("imagewarning"), and arrive as the reason
    // instead of as NonfatalException; "imagewarning" is off afterwards.
    int open_image_file(const std::string &type, const std::string &filename,
                        const std::string &stringparam, int intparam, std::string &reason);
    void place_image(int image, float x, float y, float scale);
    void close_image(int image);
    // Text settings, such as "fillrule" with "winding" or "evenodd".
    void set_parameter(const std::string &key, const std::string &value);

    // Graphics state.
    void save();
    void restore();
    void translate(float tx, float ty);
    void scale(float sx, float sy);
    void rotate(float phi);
    void skew(float alpha, float beta);
    void concat(float a, float b, float c, float d, float e, float f);
    void setmatrix(float a, float b, float c, float d, float e, float f);
    void initgraphics();
    void setlinewidth(float width);
    void setlinecap(int cap);
    void setlinejoin(int join);
    void setmiterlimit(float miter);
    void setflat(float flatness);
    void setdash(float b, float w);
    void setpolydash(const std::vector<float> &dashes);

    // Paths.
    void moveto(float x, float y);
    void lineto(float x, float y);
    void curveto(float x1, float y1, float x2, float y2, float x3, float y3);
    void rect(float x, float y, float width, float height);
    void circle(float x, float y, float r);
    void arc(float x, float y, float r, float alpha, float beta);
    void arcn(float x, float y, float r, float alpha, float beta);
    void closepath();
    void endpath();
    void stroke();
    void closepath_stroke();
    void fill();
    void fill_stroke();
    void closepath_fill_stroke();
    void clip();

    // Colours.
    void setcolor(const std::string &type, const std::string &colorspace, float c1,
                  float c2 = 0, float c3 = 0, float c4 = 0);
    void setgray_fill(float g);
    void setgray_stroke(float g);
    void setgray(float g);
    void setrgbcolor_fill(float red, float green, float blue);
    void setrgbcolor_stroke(float red, float green, float blue);
    void setrgbcolor(float red, float green, float blue);
    // The spot colour's number for setcolor("...", "spot", number, tint).
    int makespotcolor(const std::string &name);

    // Patterns and templates. A template's handle is an image number for
    // place_image and close_image.
    int begin_pattern(float width, float height, float xstep, float ystep,
                      int painttype);
    void end_pattern();
    int begin_template(float width, float height);
    void end_template();

    // Annotations and links on the current page, in the rectangle llx, lly,
    // urx, ury. An empty title, icon, destination, description, author or
    // MIME type is passed as null: none, or the default.
    void add_note(float llx, float lly, float urx, float ury,
                  const std::string &contents, const std::string &title,
                  const std::string &icon, int open);
    void add_locallink(float llx, float lly, float urx, float ury, int page,
                       const std::string &dest);
    void add_pdflink(float llx, float lly, float urx, float ury,
                     const std::string &filename, int page,
                     const std::string &dest);
    void add_weblink(float llx, float lly, float urx, float ury,
                     const std::string &url);
    void add_launchlink(float llx, float lly, float urx, float ury,
                        const std::string &filename);
    void attach_file(float llx, float lly, float urx, float ury,
                     const std::string &filename, const std::string &description,
                     const std::string &author, const std::string &mimetype,
                     const std::string &icon);
    // Border settings for the annotations added afterwards; an empty style
    // is "solid".
    void set_border_style(const std::string &style, float width);
    void set_border_color(float red, float green, float blue);
    void set_border_dash(float dash, float gap);

    // `value` is passed through as a zero-terminated text: an 8-bit text, or
    // a UTF-16BE text that starts with FE FF and ends with a zero unit (the
    // string then holds embedded zeros; c_str() supplies the last one).
    void set_info(const std::string &key, const std::string &value);

private:
    // Throws the exception for the error the handler recorded.
    [[noreturn]] void throw_recorded_error();

    // Runs `call` with a fresh return point. An error reported during the
    // call lands back here and is thrown from this frame. `call` must hold
    // no object with a destructor: the jump passes over its frame.
    template <typename Call>
    auto guarded(Call call) -> decltype(call()) {
        if (setjmp(record.jump_buffer) != 0) {
            record.keep_nonfatal = false;
            throw_recorded_error();
        }
        return call();
    }

    pdf_document *document = nullptr;
    ErrorRecord record;
    void *opaque = nullptr;
};
