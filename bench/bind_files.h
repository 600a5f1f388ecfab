// bind_files.h -- what the stand-alone benchmark programs share: binding
// image files into one document the way the application does, and file
// sizes for their reports.
#ifndef BINDWICK_BENCH_BIND_FILES_H
#define BINDWICK_BENCH_BIND_FILES_H

#include <string>
#include <vector>

namespace bench {

// Binds `files` (all of image type `type`) into `output`, one page of each
// image's size, at compression `level`. Returns the seconds taken. An output
// that cannot be created or an image that cannot be opened ends the process
// with a message and status 1; library errors end it through the default
// handler.
double BindFiles(const std::vector<std::string> &files, const char *type,
                 const std::string &output, int level);

// The size of the file in bytes; 0 when it cannot be read.
long FileSize(const std::string &path);

}  // namespace bench

#endif
