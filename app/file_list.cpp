#include "file_list.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "image_files.h"

namespace bindwick {

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

void FileList::AddFiles(const std::vector<FileEntry> &entries) {
    if (entries.empty()) return;
    const std::optional<std::size_t> anchor = FirstSelected();
    std::size_t at = anchor ? *anchor + 1 : rows_.size();
    for (const FileEntry &entry : entries) {
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), Row{entry, false});
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

void FileList::Reorder(const std::vector<std::size_t> &order) {
    std::vector<Row> rows;
    rows.reserve(order.size());
    std::optional<std::size_t> focused;
    for (std::size_t from : order) {
        if (focused_ && *focused_ == from) focused = rows.size();
        rows.push_back(std::move(rows_[from]));
    }
    rows_ = std::move(rows);
    focused_ = focused;
}

void FileList::MoveSelection(int step) {
    const std::size_t count = rows_.size();
    const auto selected = SelectedIndices();
    if (selected.empty() || step == 0) return;
    if (step < 0 ? selected.front() == 0 : selected.back() + 1 == count) return;
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    // Each unselected neighbour hops over the block next to it, which moves
    // the block one place.
    auto is_selected = [&](std::size_t i) { return rows_[order[i]].selected; };
    if (step < 0) {
        for (std::size_t i = 1; i < count; ++i)
            if (is_selected(i) && !is_selected(i - 1)) std::swap(order[i], order[i - 1]);
    } else {
        for (std::size_t i = count - 1; i > 0; --i)
            if (is_selected(i - 1) && !is_selected(i)) std::swap(order[i], order[i - 1]);
    }
    Reorder(order);
}

void FileList::MoveSelectionTo(std::size_t row) {
    const auto selected = SelectedIndices();
    if (selected.empty()) return;
    std::vector<std::size_t> order;
    order.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size() && i < row; ++i)
        if (!rows_[i].selected) order.push_back(i);
    const std::size_t first_moved = order.size();
    order.insert(order.end(), selected.begin(), selected.end());
    for (std::size_t i = row; i < rows_.size(); ++i)
        if (!rows_[i].selected) order.push_back(i);
    Reorder(order);
    focused_ = first_moved;
}

void FileList::SortByName() {
    std::vector<std::size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return NaturalLess(rows_[a].entry.path, rows_[b].entry.path);
    });
    Reorder(order);
}

}  // namespace bindwick
