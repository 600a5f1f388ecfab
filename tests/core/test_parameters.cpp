// The four parameter entry points: the key registry, value checks, scope
// rules and the settings they change.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "core/document.h"
#include "folio_support.h"

using namespace foliotest;

namespace {

enum Where { OBJECT, DOCUMENT, PAGE };

// Runs `call` on a document in the given scope; returns the reports.
std::vector<Report> Reports(Where where, const std::function<void(pdf_document *)> &call,
                            const char *compatibility = "1.3") {
    Recorder recorder;
    pdf_document *document = recorder.New();
    PDF_set_parameter(document, "compatibility", compatibility);
    if (where != OBJECT) PDF_open_file(document, nullptr);
    if (where == PAGE) PDF_begin_page(document, 100, 100);
    recorder.Call([&] { call(document); });
    std::vector<Report> reports = recorder.reports;
    if (where != OBJECT) PDF_close(document);
    PDF_delete(document);
    return reports;
}

struct ErrorRow {
    const char *label;
    Where where;
    std::function<void(pdf_document *)> call;
    int type;
    const char *message;
    const char *compatibility;
};

TEST(Parameters, ErrorsAndWarnings) {
    auto set = [](const char *key, const char *value) {
        return [=](pdf_document *d) { PDF_set_parameter(d, key, value); };
    };
    auto value = [](const char *key, float v) {
        return [=](pdf_document *d) { PDF_set_value(d, key, v); };
    };
    auto get = [](const char *key, float modifier) {
        return [=](pdf_document *d) { PDF_get_value(d, key, modifier); };
    };
    const ErrorRow rows[] = {
        {"null key", OBJECT, set(nullptr, "x"), PDF_ERR_VALUE, "Tried to set NULL parameter", "1.3"},
        {"unknown", OBJECT, set("nosuch", "x"), PDF_ERR_VALUE, "Tried to set unknown parameter 'nosuch'", "1.3"},
        {"null value", OBJECT, set("flush", ""), PDF_ERR_VALUE, "Tried to set parameter 'flush' to NULL value", "1.3"},
        {"scope", DOCUMENT, set("compatibility", "1.4"), PDF_ERR_RUNTIME, "Can't set parameter 'compatibility' in 'document' scope", "1.3"},
        {"no setter", OBJECT, set("version", "1"), PDF_ERR_VALUE, "Can't set parameter 'version'", "1.3"},
        {"boolean case", OBJECT, set("warning", "True"), PDF_ERR_VALUE, "Illegal value 'True' for parameter 'warning'", "1.3"},
        {"compatibility", OBJECT, set("compatibility", "1.5"), PDF_ERR_VALUE, "Unknown compatibility level '1.5'", "1.3"},
        {"flush", OBJECT, set("flush", "often"), PDF_ERR_VALUE, "Bogus flush point often", "1.3"},
        {"openaction", DOCUMENT, set("openaction", "zoom"), PDF_ERR_VALUE, "Unknown open action 'zoom'", "1.3"},
        {"openmode", DOCUMENT, set("openmode", "all"), PDF_ERR_VALUE, "Unknown open mode 'all'", "1.3"},
        {"bookmarkdest", DOCUMENT, set("bookmarkdest", "x"), PDF_ERR_VALUE, "Unknown bookmark destination 'x'", "1.3"},
        {"transition", OBJECT, set("transition", "fade"), PDF_ERR_VALUE, "Unknown page transition type 'fade'", "1.3"},
        {"fillrule", PAGE, set("fillrule", "odd"), PDF_ERR_VALUE, "Unknown fill rule 'odd'", "1.3"},
        {"pdiusebox", OBJECT, set("pdiusebox", "x"), PDF_ERR_VALUE, "Unknown 'pdiusebox' value 'x'", "1.3"},
        {"unicode", OBJECT, set("nativeunicode", "maybe"), PDF_ERR_VALUE, "Unknown Unicode mode setting 'maybe'", "1.3"},
        {"unicode warning", OBJECT, set("nativeunicode", "true"), PDF_ERR_NONFATAL, "Unicode mode setting not required in this configuration", "1.3"},
        {"resource line", OBJECT, set("FontAFM", "noequals"), PDF_ERR_VALUE, "Bogus resource line", "1.3"},
        {"prefix twice", OBJECT, [](pdf_document *d) { PDF_set_parameter(d, "prefix", "a"); PDF_set_parameter(d, "prefix", "b"); }, PDF_ERR_RUNTIME, "parameter 'prefix' can be set only once", "1.3"},
        {"resourcefile twice", OBJECT, [](pdf_document *d) { PDF_set_parameter(d, "resourcefile", "a"); PDF_set_parameter(d, "resourcefile", "b"); }, PDF_ERR_RUNTIME, "parameter 'resourcefile' can be set only once", "1.3"},
        {"foreign binding", OBJECT, [](pdf_document *d) { PDF_set_parameter(d, "binding", "Perl"); PDF_set_parameter(d, "flush", "page"); }, PDF_ERR_VALUE, "Flush points can only be set from C or C++ language bindings", "1.3"},
        {"debug u scope", OBJECT, set("debug", "u"), PDF_ERR_RUNTIME, "Can't set parameter 'debug' in 'object' scope", "1.3"},
        {"compress high", OBJECT, value("compress", 10), PDF_ERR_VALUE, "Bogus compression level 10.000000", "1.3"},
        {"compress low", OBJECT, value("compress", -1), PDF_ERR_VALUE, "Bogus compression level -1.000000", "1.3"},
        {"compress infinite", OBJECT, value("compress", INFINITY), PDF_ERR_VALUE, "Bogus compression level inf", "1.3"},
        {"NaN value", PAGE, value("CropBox/llx", NAN), PDF_ERR_VALUE, "Value for parameter 'CropBox/llx' is not a number (NaN)", "1.3"},
        {"NaN modifier", DOCUMENT, get("imagewidth", NAN), PDF_ERR_VALUE, "Bad argument nan in PDF_get_value/imagewidth", "1.3"},
        {"threads none", DOCUMENT, value("compressthreads", 0), PDF_ERR_VALUE, "Bogus thread count 0.000000", "1.3"},
        {"threads many", DOCUMENT, value("compressthreads", 33), PDF_ERR_VALUE, "Bogus thread count 33.000000", "1.3"},
        {"threads before", OBJECT, value("compressthreads", 2), PDF_ERR_RUNTIME, "Can't set parameter 'compressthreads' in 'object' scope", "1.3"},
        {"predictor on page", PAGE, set("imagepredictor", "true"), PDF_ERR_RUNTIME, "Can't set parameter 'imagepredictor' in 'page' scope", "1.3"},
        {"floatdigits", OBJECT, value("floatdigits", 7), PDF_ERR_VALUE, "Invalid floating point output precision 7.000000", "1.3"},
        {"page width 1.2", PAGE, value("pagewidth", 3241), PDF_ERR_RUNTIME, "Page width incompatible with Acrobat 3", "1.2"},
        {"page height 1.3", PAGE, value("pageheight", 14401), PDF_ERR_NONFATAL, "Page height incompatible with Acrobat 4", "1.3"},
        {"page width zero", PAGE, value("pagewidth", 0), PDF_ERR_VALUE, "Illegal value 0.000000 for parameter 'pagewidth'", "1.3"},
        {"bleed box 1.2", PAGE, value("BleedBox/llx", 1), PDF_ERR_RUNTIME, "Parameter 'BleedBox/llx' requires PDF 1.3 or higher", "1.2"},
        {"box in document", DOCUMENT, value("CropBox/llx", 1), PDF_ERR_RUNTIME, "Can't set parameter 'CropBox/llx' in 'document' scope", "1.3"},
        {"get null", OBJECT, get(nullptr, 0), PDF_ERR_VALUE, "Tried to get NULL parameter", "1.3"},
        {"get unknown", OBJECT, get("nosuch", 0), PDF_ERR_VALUE, "Tried to get unknown parameter 'nosuch'", "1.3"},
        {"get compress", OBJECT, get("compress", 0), PDF_ERR_VALUE, "Can't get parameter 'compress'", "1.3"},
        {"get modifier", PAGE, get("pagewidth", 1), PDF_ERR_VALUE, "Bad argument 1.000000 in PDF_get_value/pagewidth", "1.3"},
        {"get image", DOCUMENT, get("imagewidth", 0), PDF_ERR_VALUE, "Bad image number 0 in PDF_get_value/imagewidth", "1.3"},
        {"get image scope", OBJECT, get("resx", 0), PDF_ERR_RUNTIME, "Can't get parameter 'resx' in 'object' scope", "1.3"},
        {"get font", OBJECT, get("ascender", 2), PDF_ERR_VALUE, "Bad font descriptor 2 in PDF_get_value/ascender", "1.3"},
        {"keepalpha below 1.4", OBJECT, [](pdf_document *d) { PDF_set_parameter(d, "keepalpha", "true"); PDF_set_parameter(d, "compatibility", "1.3"); }, PDF_ERR_RUNTIME, "Parameter 'keepalpha' requires PDF 1.4 or higher", "1.3"},
        {"keepalpha scope", DOCUMENT, set("keepalpha", "true"), PDF_ERR_RUNTIME, "Can't set parameter 'keepalpha' in 'document' scope", "1.3"},
        {"keepalpha value", OBJECT, set("keepalpha", "yes"), PDF_ERR_VALUE, "Illegal value 'yes' for parameter 'keepalpha'", "1.3"},
        {"get text", OBJECT, [](pdf_document *d) { PDF_get_parameter(d, "binding", 0); }, PDF_ERR_VALUE, "Can't get parameter 'binding'", "1.3"},
    };
    for (const ErrorRow &row : rows) {
        std::vector<Report> reports = Reports(row.where, row.call, row.compatibility);
        ASSERT_FALSE(reports.empty()) << row.label;
        EXPECT_EQ(reports.back().type, row.type) << row.label;
        EXPECT_EQ(reports.back().message, row.message) << row.label;
    }
}

TEST(Parameters, AcceptedValuesChangeNothingElse) {
    EXPECT_TRUE(Reports(PAGE, [](pdf_document *d) { PDF_set_value(d, "pagewidth", 3241); }).empty());
    EXPECT_TRUE(Reports(PAGE, [](pdf_document *d) { PDF_set_value(d, "CropBox/llx", 1); }, "1.2").empty());
    EXPECT_TRUE(Reports(DOCUMENT, [](pdf_document *d) { PDF_set_parameter(d, "debug", "u"); }).empty());
}

// "keepalpha" raises the header to PDF 1.4 whatever was set before it;
// turned off again, it lets a lower level be set.
TEST(Parameters, KeepAlphaRaisesTheHeader) {
    const char *const rows[][6] = {{"keepalpha", "false", "", "", "", "%PDF-1.3"},
                                   {"compatibility", "1.2", "keepalpha", "true", "", "%PDF-1.4"},
                                   {"keepalpha", "true", "keepalpha", "false", "", "%PDF-1.4"},
                                   {"keepalpha", "true", "keepalpha", "false", "1.3", "%PDF-1.3"}};
    for (const auto &row : rows) {
        std::string pdf = BuildInMemory(1, {}, {}, [&](pdf_document *d) {
            PDF_set_parameter(d, row[0], row[1]);
            if (*row[2]) PDF_set_parameter(d, row[2], row[3]);
            if (*row[4]) PDF_set_parameter(d, "compatibility", row[4]);
        });
        EXPECT_EQ(pdf.substr(0, 8), row[5]) << row[0] << row[1] << row[2] << row[3] << row[4];
    }
}

TEST(Parameters, VersionQueriesNeedNoDocument) {
    EXPECT_EQ(PDF_get_value(nullptr, "major", 0), 4);
    EXPECT_EQ(PDF_get_value(nullptr, "minor", 0), 0);
    EXPECT_EQ(PDF_get_value(nullptr, "revision", 0), 3);
    EXPECT_STREQ(PDF_get_parameter(nullptr, "version", 0), "4.0.3");
    EXPECT_STREQ(PDF_get_parameter(nullptr, "pdi", 0), "false");
    EXPECT_EQ(PDF_get_value(nullptr, "pagewidth", 0), 0);
    EXPECT_EQ(PDF_get_parameter(nullptr, "scope", 0), nullptr);
}

// Bytes handed to the sink of the document being written.
size_t handed_out = 0;
size_t CountingSink(pdf_document *, void *, size_t count) {
    handed_out += count;
    return count;
}

TEST(Parameters, FlushPointsAddUpAndNoneClearsThem) {
    // "content" keeps "page": the end of a page hands the output out; after
    // "none" it does not.
    for (bool cleared : {false, true}) {
        SCOPED_TRACE(cleared ? "none, then content" : "content");
        pdf_document *document = PDF_new();
        if (cleared) PDF_set_parameter(document, "flush", "none");
        PDF_set_parameter(document, "flush", "content");
        PDF_open_mem(document, CountingSink);
        handed_out = 0;
        PDF_begin_page(document, 10, 10);
        PDF_end_page(document);
        EXPECT_EQ(handed_out > 0, !cleared);
        PDF_close(document);
        PDF_delete(document);
    }
}

TEST(Parameters, SettingsShowInTheOutput) {
    static const char gray[4] = {1, 2, 3, 4};
    auto with_image = [](const char *debug, const char *nodebug, float compress) {
        return BuildInMemory(1, [=](pdf_document *d) {
            PDF_set_parameter(d, "binding", "C++");
            PDF_set_parameter(d, "binding", "Other");  // only the first counts
            PDF_set_parameter(d, "debug", debug);
            PDF_set_parameter(d, "nodebug", nodebug);
            PDF_set_value(d, "compress", compress);
            PDF_open_image(d, "raw", "memory", gray, 4, 2, 2, 1, 8, "");
        });
    };
    std::string hex = with_image("ab", "b", 9.9f);
    EXPECT_NE(hex.find("/Producer (Folio 4.0.3 \\(C++/"), std::string::npos);
    EXPECT_NE(hex.find("/Filter[/ASCIIHexDecode]\n"), std::string::npos);
    EXPECT_NE(hex.find("/Filter/FlateDecode\n"), std::string::npos);  // level 9
    std::string plain = with_image("a", "a", 0.9f);                     // level 0
    EXPECT_EQ(plain.find("ASCIIHexDecode"), std::string::npos);
    EXPECT_EQ(plain.find("/Filter"), std::string::npos);
    pdf_document *document = PDF_new();
    PDF_set_parameter(document, "inheritgstate", "false");
    EXPECT_STREQ(PDF_get_parameter(document, "inheritgstate", 0), "false");
    PDF_delete(document);
}

TEST(Parameters, CatalogSettingsAndFloatDigits) {
    std::string pdf = BuildInMemory(1, [](pdf_document *d) {
        PDF_set_parameter(d, "openaction", "fitwidth");
        PDF_set_parameter(d, "openmode", "fullscreen");
        PDF_set_parameter(d, "base", "http://example.invalid/(x)");
        PDF_set_value(d, "floatdigits", 3);
    }, [](pdf_document *d, int) {
        PDF_set_value(d, "pagewidth", 100.12345f);
        EXPECT_FLOAT_EQ(PDF_get_value(d, "pagewidth", 0), 100.12345f);
        EXPECT_STREQ(PDF_get_parameter(d, "scope", 0), "page");
    });
    EXPECT_NE(pdf.find("/MediaBox[0 0 100.123 100]\n"), std::string::npos);
    EXPECT_NE(pdf.find("/OpenAction[4 0 R/FitH]\n/PageMode/FullScreen\n"
                       "/URI<</Base(http://example.invalid/\\(x\\))>>\n/Pages 1 0 R\n"),
              std::string::npos);
}

}  // namespace
