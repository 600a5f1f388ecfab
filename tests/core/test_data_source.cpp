// The file data source, copied into a document's output.
#include <gtest/gtest.h>

#include <string>

#include "core/data_source.h"
#include "folio_support.h"
#include "test_support.h"

using namespace foliotest;

namespace {

TEST(FileSource, CopiesTheRequestedPartOrReportsWhyNot) {
    testsupport::TempDir dir;
    std::string path = dir.file("data.bin");
    std::string data;
    for (int i = 0; i < 100000; i++) data += static_cast<char>(i * 7);
    testsupport::WriteFile(path, data);
    struct Case {
        const char *label;
        std::string file;
        long start, limit;
        std::string copied;  // the bytes copied, when the copy succeeds
        const char *error;   // else the I/O error's text
    } cases[] = {
        {"whole file", path, 0, 0, data, nullptr},
        {"part", path, 70000, 20000, data.substr(70000, 20000), nullptr},
        {"to the end", path, 99990, 0, data.substr(99990), nullptr},
        {"beyond the end", path, 99990, 20, "", "Couldn't read all required bytes from file '%s'"},
        {"missing file", dir.file("missing.bin"), 0, 0, "", "Couldn't open file '%s'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        Recorder recorder;
        pdf_document *document = recorder.New();
        PDF_open_file(document, nullptr);
        TakeBuffer(document);  // the header
        pdf_data_source source;
        pdf_set_file_source(&source, c.file.c_str(), c.start, c.limit);
        bool copied = recorder.Call([&] { pdf_copy_source_raw(document, &source); });
        if (c.error == nullptr) {
            EXPECT_TRUE(copied);
            EXPECT_EQ(TakeBuffer(document), c.copied);
        } else {
            EXPECT_FALSE(copied);
            std::string message = c.error;
            message.replace(message.find("%s"), 2, c.file);
            EXPECT_EQ(recorder.Last(), (Report{PDF_ERR_IO, message}));
        }
        if (copied) {
            PDF_begin_page(document, 10, 10);
            PDF_end_page(document);
        }
        PDF_close(document);
        TakeBuffer(document);
        PDF_delete(document);
        EXPECT_EQ(recorder.reports.size(), copied ? 0u : 1u);
    }
}

}  // namespace
