// bench_drawing_hpdf: writes the drawing benchmark's page (drawing_path.h)
// through libharu, the contender of bench_drawing.
//
//   bench_drawing_hpdf OUTPUT.pdf SEGMENTS LEVEL
//
// libharu compresses at zlib's default level (6) or not at all: LEVEL 0
// writes uncompressed, any other level compresses.
#include <hpdf.h>

#include <cstdio>
#include <cstdlib>

#include "drawing_path.h"

namespace {

void OnError(HPDF_STATUS error, HPDF_STATUS detail, void *) {
    std::fprintf(stderr, "bench_drawing_hpdf: libharu error 0x%04X (detail %u)\n",
                 static_cast<unsigned>(error), static_cast<unsigned>(detail));
    std::exit(1);
}

struct HaruCanvas {
    HPDF_Page page;
    void moveto(float x, float y) { HPDF_Page_MoveTo(page, x, y); }
    void lineto(float x, float y) { HPDF_Page_LineTo(page, x, y); }
    void curveto(float x1, float y1, float x2, float y2, float x3, float y3) {
        HPDF_Page_CurveTo(page, x1, y1, x2, y2, x3, y3);
    }
    void stroke() { HPDF_Page_Stroke(page); }
};

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT.pdf SEGMENTS LEVEL\n", argv[0]);
        return 2;
    }
    HPDF_Doc pdf = HPDF_New(OnError, nullptr);
    if (pdf == nullptr) return 1;
    HPDF_SetCompressionMode(pdf, std::atoi(argv[3]) != 0 ? HPDF_COMP_ALL : HPDF_COMP_NONE);
    HPDF_Page page = HPDF_AddPage(pdf);
    HPDF_Page_SetWidth(page, bench::kPageWidth);
    HPDF_Page_SetHeight(page, bench::kPageHeight);
    HPDF_Page_SetLineWidth(page, 0.5f);
    HPDF_Page_SetRGBStroke(page, 0.1f, 0.2f, 0.6f);
    HaruCanvas canvas{page};
    bench::DrawPaths(canvas, std::atol(argv[2]));
    HPDF_SaveToFile(pdf, argv[1]);
    HPDF_Free(pdf);
    return 0;
}
