/*
 * format.cpp -- the library's formatter for PDF syntax: integers, reals
 * with a fixed number of decimals and no exponent, and name escaping.
 * Nothing here allocates or calls the platform's formatter.
 */
#include "format.h"

#include <ctype.h>
#include <math.h>
#include <string.h>

namespace {

const char kDigits[] = "0123456789ABCDEF";
/* Widths beyond this are cut: no PDF number needs more digits. */
const int kMaxWidth = 20;

/* Appends to a bounded output, always leaving room for the terminator. */
struct bounded_out {
    char *out;
    size_t size;
    size_t length;
};

void append_char(bounded_out *o, char c) {
    if (o->length + 1 < o->size) o->out[o->length++] = c;
}

void append_text(bounded_out *o, const char *text) {
    while (*text != '\0') append_char(o, *text++);
}

/* Digits of an unsigned magnitude in reverse order; returns their count. */
int reversed_digits(char *out, unsigned long magnitude, int base) {
    int count = 0;
    do {
        out[count++] = kDigits[magnitude % (unsigned long)base];
        magnitude /= (unsigned long)base;
    } while (magnitude != 0);
    return count;
}

}  // namespace

int pdf_ltoa(char *out, long value, int width, char pad, int base) {
    if (width > kMaxWidth) width = kMaxWidth;
    int length = 0;
    if (value == 0) {
        do out[length++] = '0';
        while (length < width);
        out[length] = '\0';
        return length;
    }
    unsigned long magnitude;
    if (base == 16) {
        magnitude = (unsigned long)(unsigned int)value; /* 32-bit two's complement */
    } else if (value < 0) {
        out[length++] = '-';
        magnitude = 0UL - (unsigned long)value;
    } else {
        magnitude = (unsigned long)value;
    }
    char digits[24];
    int count = reversed_digits(digits, magnitude, base);
    for (int i = count; i < width; i++) out[length++] = pad;
    while (count > 0) out[length++] = digits[--count];
    out[length] = '\0';
    return length;
}

int pdf_ftoa(pdf_document *document, char *out, double value, int digits) {
    int length = 0;
    /* Public calls refuse NaN arguments; this catches one computed on the
     * way (the angle of an infinite rotation), which PDF cannot write. */
    if (isnan(value)) {
        pdf_error(document, PDF_ERR_VALUE, "floating point value is not a number in pdf_ftoa");
        value = 0;
    }
    if (fabs(value) < 0.000015) {
        strcpy(out, "0");
        return 1;
    }
    if (value < 0) {
        out[length++] = '-';
        value = -value;
    }
    if (value >= 32768) {
        if (value > 2147483647.0) {
            pdf_error(document, PDF_ERR_VALUE, "floating point value too large in pdf_ftoa");
            value = 2147483647.0;
        }
        return length + pdf_ltoa(out + length, (long)floor(value + 0.5), 0, ' ', 10);
    }

    long scale = 1;
    for (int i = 0; i < digits; i++) scale *= 10;
    double integer_part = floor(value);
    long whole = (long)integer_part;
    long fraction = (long)floor((value - integer_part) * (double)scale + 0.5);
    if (fraction == scale) {
        whole += 1;
        fraction = 0;
    }
    if (whole == 0 && fraction == 0) length = 0; /* drop a "-" */
    length += pdf_ltoa(out + length, whole, 0, ' ', 10);
    if (fraction != 0) {
        out[length++] = '.';
        length += pdf_ltoa(out + length, fraction, digits, '0', 10);
        while (out[length - 1] == '0') length--;
        out[length] = '\0';
    }
    return length;
}

int pdf_vsprintf(pdf_document *document, char *out, size_t size, const char *format,
                 va_list arguments) {
    bounded_out o = {out, size, 0};
    char number[40];
    for (const char *p = format; *p != '\0'; p++) {
        if (*p != '%') {
            append_char(&o, *p);
            continue;
        }
        p++;
        char pad = ' ';
        int width = 0;
        if (*p == '0') {
            pad = '0';
            p++;
        }
        while (isdigit((unsigned char)*p)) {
            if (width < 1000) width = width * 10 + (*p - '0');
            p++;
        }
        switch (*p) {
            case '%':
                append_char(&o, '%');
                break;
            case 'd':
                pdf_ltoa(number, va_arg(arguments, int), width, pad, 10);
                append_text(&o, number);
                break;
            case 'X':
                pdf_ltoa(number, va_arg(arguments, int), width, pad, 16);
                append_text(&o, number);
                break;
            case 'l':
                p++;
                if (*p == 'd' || *p == 'X') {
                    pdf_ltoa(number, va_arg(arguments, long), width, pad, *p == 'd' ? 10 : 16);
                    append_text(&o, number);
                } else {
                    pdf_error(document, PDF_ERR_SYSTEM,
                              "unknown format 'l%c' (%02X) in pdf_vsprintf",
                              isprint((unsigned char)*p) ? *p : '?', (unsigned char)*p);
                    if (*p == '\0') p--;
                }
                break;
            case 'c':
                append_char(&o, (char)va_arg(arguments, int));
                break;
            case 's': {
                const char *text = va_arg(arguments, const char *);
                append_text(&o, text != NULL ? text : "(null)");
                break;
            }
            case 'f':
                pdf_ftoa(document, number, va_arg(arguments, double), document->floatdigits);
                append_text(&o, number);
                break;
            default:
                pdf_error(document, PDF_ERR_SYSTEM,
                          "unknown format specifier '%c' (%02X) in pdf_vsprintf",
                          isprint((unsigned char)*p) ? *p : '?', (unsigned char)*p);
                if (*p == '\0') p--;
                break;
        }
    }
    if (o.size > 0) o.out[o.length] = '\0';
    return (int)o.length;
}

int pdf_sprintf(pdf_document *document, char *out, size_t size, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int length = pdf_vsprintf(document, out, size, format, arguments);
    va_end(arguments);
    return length;
}

size_t pdf_make_name(const char *bytes, size_t count, char *out) {
    size_t length = 0;
    for (size_t i = 0; i < count; i++) {
        unsigned char c = (unsigned char)bytes[i];
        if (c < 0x21 || c > 0x7E || strchr("()<>[]{}/%#", c) != NULL) {
            out[length++] = '#';
            out[length++] = kDigits[c >> 4];
            out[length++] = kDigits[c & 0x0F];
        } else {
            out[length++] = (char)c;
        }
    }
    out[length] = '\0';
    return length;
}
