#include "file_list.h"

#include <utility>

namespace bindwick {

namespace {

#ifdef _WIN32
const char kPathSeparators[] = "/\\";
#else
const char kPathSeparators[] = "/";
#endif

}  // namespace

std::string ImageTypeOf(const std::string &path) {
    const std::size_t separator = path.find_last_of(kPathSeparators);
    const std::size_t name_start = (separator == std::string::npos) ? 0 : separator + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < name_start) return std::string();
    std::string extension = path.substr(dot + 1);
    if (extension == "jpg") return "jpeg";
    return extension;
}

std::vector<FileEntry> FileList::Entries() const {
    std::vector<FileEntry> entries;
    entries.reserve(rows_.size());
    for (const Row &row : rows_) entries.push_back(row.entry);
    return entries;
}

bool FileList::IsSelected(std::size_t index) const {
    return index < rows_.size() && rows_[index].selected;
}

void FileList::SetSelected(std::size_t index, bool selected) {
    if (index < rows_.size()) rows_[index].selected = selected;
}

void FileList::ClearSelection() {
    for (Row &row : rows_) row.selected = false;
}

std::vector<std::size_t> FileList::SelectedIndices() const {
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].selected) indices.push_back(i);
    }
    return indices;
}

std::optional<std::size_t> FileList::FirstSelected() const {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].selected) return i;
    }
    return std::nullopt;
}

void FileList::SetFocused(std::optional<std::size_t> index) {
    if (index && *index >= rows_.size()) return;
    focused_ = index;
}

void FileList::AddFiles(const std::vector<std::string> &paths) {
    if (paths.empty()) return;
    const std::optional<std::size_t> anchor = FirstSelected();
    std::size_t at = anchor ? *anchor + 1 : rows_.size();
    for (const std::string &path : paths) {
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at),
                     Row{FileEntry{path, ImageTypeOf(path)}, false});
        if (focused_ && *focused_ >= at) ++*focused_;
        ++at;
    }
    rows_[at - 1].selected = true;
}

void FileList::DeleteSelected() {
    std::vector<Row> kept;
    std::optional<std::size_t> focused;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].selected) continue;
        if (focused_ && *focused_ == i) focused = kept.size();
        kept.push_back(std::move(rows_[i]));
    }
    rows_ = std::move(kept);
    focused_ = focused;
}

void FileList::MoveFirstSelected(std::size_t from, std::size_t to) {
    std::swap(rows_[from], rows_[to]);
    rows_[to].selected = true;
    focused_ = to;
}

void FileList::MoveUp() {
    const auto first = FirstSelected();
    if (!first || *first == 0) return;
    MoveFirstSelected(*first, *first - 1);
}

void FileList::MoveDown() {
    const auto first = FirstSelected();
    if (!first || *first + 1 >= rows_.size()) return;
    MoveFirstSelected(*first, *first + 1);
}

}  // namespace bindwick
