// staging_file.cpp -- unnamed files given their name when complete, and the
// clean-up of named ones when a signal ends the process.
#include "staging_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>

namespace bindwick {

namespace {

// ---- Clean-up on signals ---------------------------------------------------
//
// Named staging files are listed in fixed slots that a signal handler can
// read without allocating or locking. A slot is first taken, then filled,
// then marked live; the handler removes the live ones.

constexpr int kCleanupSlots = 8;

struct CleanupSlot {
    std::atomic<bool> taken{false};
    std::atomic<bool> live{false};
    char path[PATH_MAX];
};

CleanupSlot g_cleanup_slots[kCleanupSlots];
std::once_flag g_handlers_installed;
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveStagingFilesOnSignal(int signal) {
    for (CleanupSlot &slot : g_cleanup_slots) {
        if (slot.live.load()) unlink(slot.path);
    }
    // The handler was installed with SA_RESETHAND: the signal, blocked while
    // this runs, ends the process the default way once the handler returns.
    raise(signal);
}

// Installs the handler for each signal still at its default action; a
// signal the process ignores (nohup) or handles itself is left alone.
void InstallCleanupHandlers() {
    struct sigaction ours;
    std::memset(&ours, 0, sizeof ours);
    ours.sa_handler = RemoveStagingFilesOnSignal;
    ours.sa_flags = SA_RESETHAND;
    sigemptyset(&ours.sa_mask);
    for (int signal : kCleanupSignals) {
        struct sigaction current;
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            sigaction(signal, &ours, nullptr);
    }
}

// Lists `path` for removal on a signal; -1 when every slot is taken (the
// file is then only removed by the destructor) or the path is too long.
int WatchPath(const std::string &path) {
    std::call_once(g_handlers_installed, InstallCleanupHandlers);
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kCleanupSlots; ++i) {
        CleanupSlot &slot = g_cleanup_slots[i];
        bool expected = false;
        if (!slot.taken.compare_exchange_strong(expected, true)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.live.store(true);
        return i;
    }
    return -1;
}

void UnwatchPath(int slot) {
    if (slot < 0) return;
    g_cleanup_slots[slot].live.store(false);
    g_cleanup_slots[slot].taken.store(false);
}

// Keeps `path` listed while the object lives.
class WatchedPath {
public:
    explicit WatchedPath(const std::string &path) : slot_(WatchPath(path)) {}
    ~WatchedPath() { UnwatchPath(slot_); }
    WatchedPath(const WatchedPath &) = delete;
    WatchedPath &operator=(const WatchedPath &) = delete;

private:
    int slot_;
};

// ---- Names and permissions -------------------------------------------------

// The file mask of this process, read without changing it (umask() would
// have to set it); 022 when the system does not tell.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(
                std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
        }
    }
    return 022;
}

// A hidden name beside the output, within the 255-byte name limit.
std::string HiddenName(const std::string &folder, const std::string &name,
                       const std::string &suffix) {
    return folder + "." + name.substr(0, 200) + "." + suffix;
}

std::string RandomSuffix() {
    static std::mt19937 generator{std::random_device{}()};
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    char text[16];
    std::snprintf(text, sizeof text, "%06x",
                  static_cast<unsigned>(generator() & 0xFFFFFF));
    return text;
}

}  // namespace

StagingFile::~StagingFile() { Discard(); }

bool StagingFile::Create(const std::string &target, Kind kind) {
    Discard();
    struct stat existing;
    mode_t mode = 0666 & ~CurrentUmask();
    if (stat(target.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) return false;
        if (S_ISREG(existing.st_mode)) mode = existing.st_mode & 07777;
    }
    const std::size_t slash = target.rfind('/');
    folder_ = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    name_ = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name_.empty()) return false;
    if (kind == Kind::kUnnamedWhenPossible && CreateUnnamed(folder_, mode)) return true;
    return CreateNamed(folder_, name_, mode);
}

bool StagingFile::CreateUnnamed(const std::string &folder, unsigned mode) {
    const int fd = open(folder.empty() ? "." : folder.c_str(),
                        O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0) return false;
    // Writers open the file again through /proc, and the name is given
    // through /proc as well; without /proc the named file has to do.
    const std::string proc_path = "/proc/self/fd/" + std::to_string(fd);
    struct stat info;
    if (stat(proc_path.c_str(), &info) != 0) {
        close(fd);
        return false;
    }
    fchmod(fd, mode);
    fd_ = fd;
    path_ = proc_path;
    return true;
}

bool StagingFile::CreateNamed(const std::string &folder, const std::string &name,
                              unsigned mode) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = HiddenName(folder, name, RandomSuffix());
        // Listed before it exists, so that no moment passes with the file on
        // disk and not listed.
        const int slot = WatchPath(path);
        const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
        if (fd < 0) {
            UnwatchPath(slot);
            if (errno == EEXIST) continue;
            return false;
        }
        fchmod(fd, mode);
        close(fd);
        path_ = path;
        watch_slot_ = slot;
        return true;
    }
    return false;
}

bool StagingFile::CommitTo(const std::string &target) {
    if (path_.empty()) return false;
    if (!unnamed()) {
        if (std::rename(path_.c_str(), target.c_str()) != 0) return false;
        Forget();
        return true;
    }
    // A free target takes the file's name directly; an existing one is
    // replaced by a rename from a hidden name, the only moment a crash
    // could leave a named file behind.
    if (linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        if (errno != EEXIST) return false;
        bool placed = false;
        for (int attempt = 0; attempt < 100 && !placed; ++attempt) {
            const std::string hidden = HiddenName(folder_, name_, RandomSuffix());
            WatchedPath watch(hidden);
            if (linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, hidden.c_str(),
                       AT_SYMLINK_FOLLOW) != 0) {
                if (errno == EEXIST) continue;
                return false;
            }
            placed = std::rename(hidden.c_str(), target.c_str()) == 0;
            if (!placed) {
                unlink(hidden.c_str());
                return false;
            }
        }
        if (!placed) return false;
    }
    Forget();
    return true;
}

void StagingFile::Discard() {
    // An unnamed file goes with its last descriptor.
    if (!unnamed() && !path_.empty()) std::remove(path_.c_str());
    Forget();
}

void StagingFile::Forget() {
    if (unnamed()) close(fd_);
    fd_ = -1;
    UnwatchPath(watch_slot_);
    watch_slot_ = -1;
    path_.clear();
}

}  // namespace bindwick
