// The file a book is written into before it takes the output's name.
//
// Where the file system allows it, the file has no name at all while it is
// written (O_TMPFILE in the output's folder): a crash, a kill or a power cut
// leaves nothing behind, and the file gets its name only when the document
// is complete. Elsewhere it is a hidden named file beside the output, which
// is removed when the process is ended by SIGINT, SIGTERM or SIGHUP (the
// process then ends by the same signal).
#pragma once

#include <string>

namespace bindwick {

class StagingFile {
public:
    enum class Kind { kUnnamedWhenPossible, kNamed };

    StagingFile() = default;
    // Discards the file unless it was committed.
    ~StagingFile();
    StagingFile(const StagingFile &) = delete;
    StagingFile &operator=(const StagingFile &) = delete;

    // Creates an empty file in the folder of `target`, with the permissions
    // the target has, or those a new file would get. False when the folder
    // does not exist or does not take a new file, or when `target` is a
    // folder.
    bool Create(const std::string &target,
                Kind kind = Kind::kUnnamedWhenPossible);

    // A name under which the file can be opened for writing.
    const std::string &path() const { return path_; }
    bool unnamed() const { return fd_ >= 0; }

    // Gives the file the name `target`, replacing what is there. On
    // success the file is no longer ours; on failure it is still discarded
    // by the destructor.
    bool CommitTo(const std::string &target);

private:
    bool CreateUnnamed(const std::string &folder, unsigned mode);
    bool CreateNamed(const std::string &folder, const std::string &name,
                     unsigned mode);
    // Removes the file (Discard) or only lets go of it (Forget).
    void Discard();
    void Forget();

    int fd_ = -1;          // the unnamed file, while it is ours
    std::string path_;     // /proc/self/fd/N, or the named file's path
    std::string folder_;   // the output's folder, "" or ending in '/'
    std::string name_;     // the output's file name
    int watch_slot_ = -1;  // the named file's place in the signal clean-up
};

}  // namespace bindwick
