// Number formatting, the formatter's conversions, and string and name
// quoting, checked on the bytes they produce.
#include <gtest/gtest.h>

#include <string>

#include "core/document.h"
#include "core/format.h"
#include "core/output.h"
#include "folio_support.h"

using namespace foliotest;

namespace {

std::string Ftoa(double value, int digits = 4) {
    pdf_document *document = PDF_new();
    char out[32];
    pdf_ftoa(document, out, value, digits);
    PDF_delete(document);
    return out;
}

TEST(Ftoa, RoundsToTheFloatDigitsWithoutExponent) {
    struct Row { double value; int digits; const char *text; };
    const Row rows[] = {
        {1.05, 4, "1.05"},        {0.5, 4, "0.5"},          {612, 4, "612"},
        {72.00004, 4, "72"},      {0.00002, 4, "0"},        {-0.00002, 4, "0"},
        {-3.25, 4, "-3.25"},      {32767.99996, 4, "32768"}, {40000.7, 4, "40001"},
        {0.000014, 4, "0"},       {-0.5, 4, "-0.5"},        {1.0f / 3, 3, "0.333"},
        {1.0f / 3, 6, "0.333333"}, {2147483647, 4, "2147483647"}, {0.0001, 4, "0.0001"},
        {-40000.4, 4, "-40000"},  {123.45678, 4, "123.4568"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(Ftoa(row.value, row.digits), row.text) << row.value;
}

TEST(Ftoa, ValuesBeyondLongRangeAreRefused) {
    Recorder recorder;
    pdf_document *document = recorder.New();
    char out[32];
    EXPECT_FALSE(recorder.Call([&] { pdf_ftoa(document, out, 2147483648.0, 4); }));
    EXPECT_TRUE(recorder.Saw(PDF_ERR_VALUE, "floating point value too large in pdf_ftoa"));
    PDF_delete(document);
}

TEST(Ltoa, PadsBetweenSignAndDigits) {
    char out[24];
    struct Row { long value; int width; char pad; int base; const char *text; };
    const Row rows[] = {
        {0, 0, ' ', 10, "0"},        {0, 3, ' ', 10, "000"},   {42, 5, '0', 10, "00042"},
        {-42, 5, '0', 10, "-00042"}, {-42, 0, ' ', 10, "-42"}, {255, 4, ' ', 16, "  FF"},
        {-1, 0, ' ', 16, "FFFFFFFF"}, {123456789012L, 0, ' ', 10, "123456789012"},
    };
    for (const Row &row : rows) {
        pdf_ltoa(out, row.value, row.width, row.pad, row.base);
        EXPECT_STREQ(out, row.text) << row.value;
    }
}

std::string Format(pdf_document *document, size_t size, const char *format, ...) {
    std::string out(size, '\x7f');
    va_list arguments;
    va_start(arguments, format);
    pdf_vsprintf(document, &out[0], size, format, arguments);
    va_end(arguments);
    return out.c_str();
}

TEST(Vsprintf, Conversions) {
    pdf_document *document = PDF_new();
    EXPECT_EQ(Format(document, 256, "%d %5d %05d %X %04X %ld %lX %c %s %f %%", 7, 7, 7, 255,
                     255, 1234567890123L, 255L, 'q', "text", 2.5),
              "7     7 00007 FF 00FF 1234567890123 FF q text 2.5 %");
    EXPECT_EQ(Format(document, 256, "%010ld 00000 n \n", 1234L), "0000001234 00000 n \n");
    PDF_delete(document);
}

TEST(Vsprintf, OutputIsCutToTheBuffer) {
    pdf_document *document = PDF_new();
    std::string long_text(1000, 'x');
    std::string out = Format(document, 16, "%s%d", long_text.c_str(), 5);
    EXPECT_EQ(out, std::string(15, 'x'));
    EXPECT_EQ(Format(document, 8, "%0999d", 1), "0000000");
    PDF_delete(document);
}

TEST(Vsprintf, UnknownConversionsAreSystemErrors) {
    struct Row { const char *format; const char *message; };
    const Row rows[] = {
        {"%q", "unknown format specifier 'q' (71) in pdf_vsprintf"},
        {"%lu", "unknown format 'lu' (75) in pdf_vsprintf"},
        {"%l\x01", "unknown format 'l?' (01) in pdf_vsprintf"},
    };
    for (const Row &row : rows) {
        Recorder recorder;
        pdf_document *document = recorder.New();
        char out[64];
        EXPECT_FALSE(recorder.Call([&] { pdf_sprintf(document, out, sizeof out, row.format, 1L); }));
        ASSERT_EQ(recorder.reports.size(), 1u);
        EXPECT_EQ(recorder.Last().type, PDF_ERR_SYSTEM);
        EXPECT_EQ(recorder.Last().message, row.message);
        PDF_delete(document);
    }
}

// Writes through the output stream in memory mode and returns what the
// document wrote after its header.
template <typename Write>
std::string Written(Write write) {
    pdf_document *document = PDF_new();
    PDF_open_file(document, nullptr);
    long size = 0;
    PDF_get_buffer(document, &size);  // drop the header
    write(document);
    const char *bytes = PDF_get_buffer(document, &size);
    std::string result(bytes, static_cast<size_t>(size));
    PDF_begin_page(document, 10, 10);
    PDF_end_page(document);
    PDF_close(document);
    PDF_get_buffer(document, &size);
    PDF_delete(document);
    return result;
}

TEST(Quoting, LiteralStringsEscapeParenthesesBackslashesAndLineEnds) {
    EXPECT_EQ(Written([](pdf_document *d) { pdf_quote_string(d, "a(b)\\c\n", 7); }),
              "(a\\(b\\)\\\\c\\n)");
    EXPECT_EQ(Written([](pdf_document *d) { pdf_quote_string(d, "\r\xE9", 2); }),
              "(\\r\xE9)");
}

TEST(Quoting, UnicodeTextKeepsItsMarkAndDropsItsTerminator) {
    const char unicode[] = "\xFE\xFF\x00" "A\x00(\x00\x00";
    EXPECT_EQ(Written([&](pdf_document *d) { pdf_quote_text(d, unicode); }),
              std::string("(\xFE\xFF\x00" "A\x00\\()", 9));
    EXPECT_EQ(Written([](pdf_document *d) { pdf_quote_text(d, "plain"); }), "(plain)");
}

TEST(Quoting, NamesEscapeDelimitersAndNonPrintingBytes) {
    EXPECT_EQ(Written([](pdf_document *d) { pdf_quote_name(d, "a b/c#d\xE9(", 9); }),
              "a#20b#2Fc#23d#E9#28");
    std::string long_name(300, '%');
    std::string expected;
    for (int i = 0; i < 300; i++) expected += "#25";
    EXPECT_EQ(Written([&](pdf_document *d) { pdf_quote_name(d, long_name.data(), 300); }),
              expected);
}

TEST(Printf, LongArgumentsAreCutNotOverrun) {
    std::string huge(5000, 'y');
    std::string out = Written([&](pdf_document *d) { pdf_printf(d, "/%s", huge.c_str()); });
    EXPECT_EQ(out.size(), static_cast<size_t>(PDF_PRINTF_BUFFER_SIZE - 1));
}

}  // namespace
