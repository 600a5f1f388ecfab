// The colourspace registry: slots, their objects at close, and the page
// resources that name them.
#include <string>
#include <vector>

#include "draw/colorspace.h"
#include "folio_support.h"

using namespace foliotest;
using testsupport::ReadFile;

namespace {

const pdf_color kGold = {PDF_CS_DEVICECMYK, {0, 0.2f, 1, 0}};

TEST(Colorspaces, SpotColourObjectAndPageResource)
{
    testsupport::TempDir dir;
    std::string path = dir.file("spot.pdf");
    Doc doc;
    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, path.c_str()), 1);
    PDF_set_value(doc.pdf, "compress", 0);
    PDF_begin_page(doc.pdf, 10, 10);
    int slot = pdf_add_colorspace(doc.pdf, PDF_CS_SEPARATION, "Deep#20Gold", &kGold);
    long object = doc.pdf->colorspaces->slots[slot].object_number;
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(pdf_add_colorspace(doc.pdf, PDF_CS_SEPARATION, "Deep#20Gold", nullptr), 0);
    EXPECT_EQ(doc.pdf->colorspaces->count, 1);
    PDF_end_page(doc.pdf);
    PDF_begin_page(doc.pdf, 10, 10);  // not used here: no entry
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);

    std::string pdf = ReadFile(path);
    std::string id = std::to_string(object);
    EXPECT_NE(pdf.find(id + " 0 obj\n[/Separation/Deep#20Gold\n/DeviceCMYK<<\n"
                       "/Range[0 1 0 1 0 1 0 1]\n/C0[0 0 0 0]\n/C1[0 0.2 1 0]\n"
                       "/FunctionType 2\n/Domain[0 1]\n/N 1\n>>\n]\nendobj\n"),
              std::string::npos)
        << pdf;
    EXPECT_EQ(CountOf(pdf, "/ColorSpace<</CS0 " + id + " 0 R\n>>\n"), 1);
    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(path, &report)) << report;
}

TEST(Colorspaces, AlternatesAndPatternsWriteTheirArrays)
{
    struct Case { int kind; pdf_color alternate; const char *name; const char *object; };
    const Case cases[] = {
        {PDF_CS_SEPARATION, {PDF_CS_DEVICEGRAY, {0.5f}}, "G",
         "[/Separation/G\n/DeviceGray<<\n/Range[0 1]\n/C0[1]\n/C1[0.5]\n"},
        {PDF_CS_SEPARATION, {PDF_CS_DEVICERGB, {1, 0, 0.25f}}, "R",
         "[/Separation/R\n/DeviceRGB<<\n/Range[0 1 0 1 0 1]\n/C0[1 1 1]\n/C1[1 0 0.25]\n"},
        {PDF_CS_PATTERN, {PDF_CS_DEVICERGB, {1, 0, 0}}, nullptr, "[/Pattern/DeviceRGB]\nendobj\n"},
        {PDF_CS_PATTERN, {PDF_CS_DEVICECMYK, {}}, nullptr, "[/Pattern/DeviceCMYK]\nendobj\n"},
    };
    for (const Case &c : cases) {
        testsupport::TempDir dir;
        Doc doc;
        PDF_GUARD(doc);
        ASSERT_EQ(PDF_open_file(doc.pdf, dir.file("c.pdf").c_str()), 1);
        PDF_begin_page(doc.pdf, 10, 10);
        pdf_add_colorspace(doc.pdf, c.kind, c.name, &c.alternate);
        PDF_end_page(doc.pdf);
        PDF_close(doc.pdf);
        EXPECT_NE(ReadFile(dir.file("c.pdf")).find(c.object), std::string::npos) << c.object;
        EXPECT_TRUE(testsupport::QpdfCheck(dir.file("c.pdf")));
    }
}

TEST(Colorspaces, TableGrowsAndKeepsItsSlots)
{
    Doc doc;
    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, ""), 1);
    std::vector<long> objects;
    for (int i = 0; i < 5; ++i) {
        std::string name = "S" + std::to_string(i);
        EXPECT_EQ(pdf_add_colorspace(doc.pdf, PDF_CS_SEPARATION, name.c_str(), &kGold), i);
        objects.push_back(doc.pdf->colorspaces->slots[i].object_number);
    }
    EXPECT_EQ(doc.pdf->colorspaces->capacity, 8);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(doc.pdf->colorspaces->slots[i].object_number, objects[i]);
        EXPECT_EQ(std::string(doc.pdf->colorspaces->slots[i].name), "S" + std::to_string(i));
    }
    EXPECT_PDF_ERROR(doc, pdf_add_colorspace(doc.pdf, PDF_CS_DEVICERGB, "X", nullptr),
                     PDF_ERR_SYSTEM, "Unknown color space in pdf_add_colorspace");
}

}  // namespace
