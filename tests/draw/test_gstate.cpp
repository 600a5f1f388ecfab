// The graphics-state levels and the matrices.
#include <string>

#include "draw/gstate.h"
#include "folio_support.h"

using namespace foliotest;

namespace {

// Opens an uncompressed document on a file in `dir`.
void OpenDoc(Doc &doc, const testsupport::TempDir &dir)
{
    ASSERT_EQ(PDF_open_file(doc.pdf, dir.file("out.pdf").c_str()), 1);
    PDF_set_value(doc.pdf, "compress", 0);
}

TEST(SaveLevels, RestoreAtLevelZeroIsRefused)
{
    testsupport::TempDir dir;
    Doc doc;
    OpenDoc(doc, dir);
    PDF_GUARD(doc);
    PDF_begin_page(doc.pdf, 10, 10);
    EXPECT_PDF_ERROR(doc, PDF_restore(doc.pdf), PDF_ERR_RUNTIME, "Invalid restore");
}

TEST(SaveLevels, SaveCopiesTheCtmUpToNineLevels)
{
    testsupport::TempDir dir;
    Doc doc;
    OpenDoc(doc, dir);
    PDF_GUARD(doc);
    PDF_begin_page(doc.pdf, 10, 10);
    pdf_matrix scale = {2, 0, 0, 3, 1, 1};
    pdf_concat_ctm(doc.pdf, &scale);
    for (int i = 0; i < 9; ++i) PDF_save(doc.pdf);
    EXPECT_EQ(doc.pdf->content.save_level, 9);
    EXPECT_EQ(doc.pdf->graphics->levels[9].ctm.d, 3);
    EXPECT_PDF_ERROR(doc, PDF_save(doc.pdf), PDF_ERR_RUNTIME, "Too many save levels");
}

TEST(Matrices, MultiplyAndInvert)
{
    pdf_matrix m = {2, 1, -1, 3, 5, 7};
    pdf_matrix inverse;
    Doc doc;
    PDF_GUARD(doc);
    pdf_matrix_invert(doc.pdf, &m, &inverse);
    pdf_matrix product = inverse;
    pdf_matrix_multiply(&m, &product);  // m x m^-1
    EXPECT_NEAR(product.a, 1, 1e-6);
    EXPECT_NEAR(product.b, 0, 1e-6);
    EXPECT_NEAR(product.c, 0, 1e-6);
    EXPECT_NEAR(product.d, 1, 1e-6);
    EXPECT_NEAR(product.e, 0, 1e-5);
    EXPECT_NEAR(product.f, 0, 1e-5);
    pdf_matrix translate = {1, 0, 0, 1, 10, 20}, t = {2, 0, 0, 2, 0, 0};
    pdf_matrix_multiply(&translate, &t);  // translation applied in scaled space
    EXPECT_EQ(t.e, 20);
    EXPECT_EQ(t.f, 40);
    pdf_matrix singular = {1, 2, 2, 4, 0, 0};
    EXPECT_PDF_ERROR(doc, pdf_matrix_invert(doc.pdf, &singular, &inverse), PDF_ERR_SYSTEM,
                     "CTM not invertible");
}

}  // namespace
