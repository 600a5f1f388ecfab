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
    std::string type;  // image type text for the library, from ImageTypeOf
};

// The image type text for `path`: the extension of the file name (the text
// after the last dot that follows the last path separator), without the
// dot, empty when there is none. Only "jpg" (exactly, in lower case) is
// turned into "jpeg"; every other extension is given unchanged.
std::string ImageTypeOf(const std::string &path);

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

    // Inserts one entry per path, in the given order, directly below the
    // first selected entry, or at the end when nothing is selected; each
    // new entry goes below the previous one. Afterwards the last inserted
    // entry is selected as well; earlier selections stay. Duplicates are
    // allowed. An empty `paths` changes nothing.
    void AddFiles(const std::vector<std::string> &paths);

    // Removes every selected entry, keeping the order of the others.
    void DeleteSelected();

    // Swaps the first selected entry with the one above (MoveUp) or below
    // (MoveDown); the moved entry ends up selected and focused, every other
    // entry keeps its selection. Nothing happens when nothing is selected or
    // the entry is already at the top (bottom).
    void MoveUp();
    void MoveDown();

private:
    struct Row {
        FileEntry entry;
        bool selected = false;
    };

    // Swaps rows `from` and `to` and gives the moved row selection and focus.
    void MoveFirstSelected(std::size_t from, std::size_t to);

    std::vector<Row> rows_;
    std::optional<std::size_t> focused_;
};

}  // namespace bindwick
