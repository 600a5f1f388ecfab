// What binding one image will do, learnt by doing it: the image is bound by
// the book writer's own page routine as the only page of a throwaway
// document in memory, and the written document tells the image's size and
// whether its data went in unchanged or were decoded and compressed anew
// (losslessly). Nothing is guessed from the file's name.
#pragma once

#include <string>

#include "file_list.h"
#include "image_files.h"

namespace bindwick {

struct ProbedImage {
    // A page can be made of the image; otherwise `problem` says why, with
    // the library's own text in `library_message` when it raised an error.
    bool bindable = false;
    ImageProblem problem = ImageProblem::kNone;
    std::string library_message;

    int width = 0;   // the image's size in pixels
    int height = 0;
    // The image data are embedded as the file holds them (JPEG data, PNG
    // and TIFF data the document format can take as they are, GIF codes);
    // false when they are decoded and compressed again.
    bool unchanged = false;
    int pages = 1;  // pages in the file (TIFF); the first one is bound
};

// Binds `entry` into a document in memory and reports what happened.
// `keep_alpha` is the book's choice of the same name (BookRequest): of the
// book's image choices it is the one that sends images with transparency
// down the decoding road; the others only place the page. Safe to call on
// any thread: every call has its own document.
ProbedImage ProbeImage(const FileEntry &entry, bool keep_alpha = false);

// The number of pages (image directories) of the TIFF or BigTIFF file at
// `path`, as far as the chain of directories can be followed; 1 for other
// files and for a TIFF file whose chain breaks before its second page.
int TiffPageCount(const std::string &path);

}  // namespace bindwick
