// The ordered list of image files that become the pages of a book, with the
// selection a list view shows. Top to bottom is page order. The window maps
// its commands onto this class and mirrors its rows and selection.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace bindwick {

// One row of the list.
struct FileEntry {
    std::string path;  // full path of the image file, as given
    std::string type;  // image type text for the library, from the content
};

class FileList {
public:
    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const FileEntry &at(std::size_t index) const { return rows_.at(index).entry; }
    // The entries in page order.
    std::vector<FileEntry> Entries() const;

    // Selection: any subset of the entries. Indices out of range are
    // ignored by the setters.
    bool IsSelected(std::size_t index) const;
    void SetSelected(std::size_t index, bool selected);
    void ClearSelection();
    std::vector<std::size_t> SelectedIndices() const;
    // The selected entry with the lowest index; the list commands act on it.
    std::optional<std::size_t> FirstSelected() const;

    // At most one focused entry. Focus and selection stay with their entries
    // when other entries are inserted, removed or moved; removing the
    // focused entry leaves no focus.
    std::optional<std::size_t> Focused() const { return focused_; }
    void SetFocused(std::optional<std::size_t> index);

    // Inserts the entries, in the given order, directly below the first
    // selected entry, or at the end when nothing is selected; each new
    // entry goes below the previous one. Afterwards the last inserted entry
    // is selected as well; earlier selections stay. Duplicates are allowed.
    // An empty `entries` changes nothing.
    void AddFiles(const std::vector<FileEntry> &entries);

    // Removes every selected entry, keeping the order of the others.
    void DeleteSelected();

    // Swaps the first selected entry with the one above (MoveUp) or below
    // (MoveDown); the moved entry ends up selected and focused, every other
    // entry keeps its selection. Nothing happens when nothing is selected or
    // the entry is already at the top (bottom).
    void MoveUp();
    void MoveDown();

    // Moves every selected entry one place up (`step` -1) or down (+1)
    // past its unselected neighbour, keeping the order among them and
    // their selection. Nothing happens when the selection already touches
    // that end of the list.
    void MoveSelection(int step);

    // Moves the selected entries, together and in their order, so that
    // they stand before the entry that is now at `row` (the end of the list
    // when `row` is the size). They stay selected; the first of them gets
    // the focus.
    void MoveSelectionTo(std::size_t row);

    // Orders the entries by their paths in natural order (NaturalLess);
    // entries with equal paths keep their order. Selection and focus stay
    // with their entries.
    void SortByName();

private:
    struct Row {
        FileEntry entry;
        bool selected = false;
    };

    // Swaps rows `from` and `to` and gives the moved row selection and focus.
    void MoveFirstSelected(std::size_t from, std::size_t to);
    // Puts the rows in the order `order` names (old indices, new order);
    // the focus follows its row.
    void Reorder(const std::vector<std::size_t> &order);

    std::vector<Row> rows_;
    std::optional<std::size_t> focused_;
};

}  // namespace bindwick
