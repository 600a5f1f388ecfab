// The ordered image list: adding, deleting and moving with their selection
// rules.
#include "file_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using bindwick::FileList;

namespace {

std::vector<std::string> Paths(const FileList &list) {
    std::vector<std::string> paths;
    for (const auto &entry : list.Entries()) paths.push_back(entry.path);
    return paths;
}

using Indices = std::vector<std::size_t>;

// Entries for `paths`; the type is the text after the last dot (the list
// keeps whatever type it is given).
std::vector<bindwick::FileEntry> Files(const std::vector<std::string> &paths) {
    std::vector<bindwick::FileEntry> entries;
    for (const std::string &path : paths) {
        const std::size_t dot = path.rfind('.');
        entries.push_back({path, dot == std::string::npos ? "" : path.substr(dot + 1)});
    }
    return entries;
}

FileList ListOf(const std::vector<std::string> &paths, const Indices &selected) {
    FileList list;
    list.AddFiles(Files(paths));
    list.ClearSelection();
    for (std::size_t index : selected) list.SetSelected(index, true);
    return list;
}

TEST(FileListAdd, AppendsInOrderWhenNothingIsSelected) {
    FileList list;
    list.AddFiles(Files({"/i/c.png", "/i/a.jpg", "/i/b.tiff"}));
    ASSERT_EQ(Paths(list), (std::vector<std::string>{"/i/c.png", "/i/a.jpg", "/i/b.tiff"}));
    EXPECT_EQ(list.at(0).type, "png");
    EXPECT_EQ(list.at(1).type, "jpg");
    EXPECT_EQ(list.at(2).type, "tiff");
    EXPECT_EQ(list.SelectedIndices(), Indices{2});

    list.AddFiles({});
    EXPECT_EQ(list.size(), 3u);
}

TEST(FileListAdd, InsertsBelowTheFirstSelectedEntry) {
    FileList list = ListOf({"1", "2", "3", "4"}, {1});
    list.AddFiles(Files({"a", "b"}));
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"1", "2", "a", "b", "3", "4"}));
    EXPECT_EQ(list.SelectedIndices(), (Indices{1, 3}));

    // The anchor is still the old entry, so the next files go above "a".
    list.AddFiles(Files({"c"}));
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"1", "2", "c", "a", "b", "3", "4"}));
    EXPECT_EQ(list.SelectedIndices(), (Indices{1, 2, 4}));
}

TEST(FileListAdd, DuplicatesAreKept) {
    FileList list;
    list.AddFiles(Files({"/i/a.png"}));
    list.ClearSelection();
    list.AddFiles(Files({"/i/a.png", "/i/a.png"}));
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"/i/a.png", "/i/a.png", "/i/a.png"}));
}

TEST(FileListMove, Table) {
    const std::vector<std::string> four = {"1", "2", "3", "4"};
    const struct Row {
        const char *label;
        bool up;
        Indices selected;
        std::vector<std::string> order;
        Indices selected_after;
        std::optional<std::size_t> focused;
    } rows[] = {
        {"up on top", true, {0}, four, {0}, std::nullopt},
        {"down on last", false, {3}, four, {3}, std::nullopt},
        {"up, nothing selected", true, {}, four, {}, std::nullopt},
        {"down, nothing selected", false, {}, four, {}, std::nullopt},
        {"up with 2 and 4 selected", true, {1, 3}, {"2", "1", "3", "4"}, {0, 3}, 0},
        {"down with 2 and 4 selected", false, {1, 3}, {"1", "3", "2", "4"}, {2, 3}, 2},
        {"down onto a selected entry", false, {1, 2}, {"1", "3", "2", "4"}, {1, 2}, 2},
        {"up, top selected too", true, {0, 2}, four, {0, 2}, std::nullopt},
    };
    for (const Row &row : rows) {
        FileList list = ListOf(four, row.selected);
        if (row.up) list.MoveUp(); else list.MoveDown();
        EXPECT_EQ(Paths(list), row.order) << row.label;
        EXPECT_EQ(list.SelectedIndices(), row.selected_after) << row.label;
        EXPECT_EQ(list.Focused(), row.focused) << row.label;
    }
}

TEST(FileListMove, TypesTravelWithTheirPaths) {
    FileList list = ListOf({"a.png", "b.jpg"}, {1});
    list.MoveUp();
    EXPECT_EQ(list.at(0).path, "b.jpg");
    EXPECT_EQ(list.at(0).type, "jpg");
    EXPECT_EQ(list.at(1).type, "png");
}

TEST(FileListDelete, RemovesEverySelectedEntry) {
    FileList list = ListOf({"1", "2", "3", "4", "5", "6"}, {0, 2, 5});
    list.SetFocused(3);
    list.DeleteSelected();
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"2", "4", "5"}));
    EXPECT_TRUE(list.SelectedIndices().empty());
    EXPECT_EQ(list.Focused(), std::optional<std::size_t>(1));  // "4" keeps focus

    list.DeleteSelected();  // nothing selected: nothing happens
    EXPECT_EQ(list.size(), 3u);

    list.SetSelected(1, true);
    list.DeleteSelected();  // the focused entry itself goes
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"2", "5"}));
    EXPECT_EQ(list.Focused(), std::nullopt);
}

TEST(FileListFocus, FollowsItsEntryThroughInsertion) {
    FileList list = ListOf({"1", "2", "3"}, {0});
    list.SetFocused(2);
    list.AddFiles(Files({"a", "b"}));
    EXPECT_EQ(list.at(*list.Focused()).path, "3");
    list.SetFocused(99);  // out of range: ignored
    EXPECT_EQ(list.at(*list.Focused()).path, "3");
}

// Moving the whole selection: by one place (Ctrl+Up, Ctrl+Down) and to a
// row (dragging); the selected entries keep their order and selection.
TEST(FileListMove, Selection) {
    const std::vector<std::string> six = {"1", "2", "3", "4", "5", "6"};
    const struct Row {
        const char *label;
        Indices selected;
        int step;   // MoveSelection(step) when not 0
        int to;     // else MoveSelectionTo(to)
        std::vector<std::string> order;
        Indices selected_after;
    } rows[] = {
        {"block up", {2, 3}, -1, 0, {"1", "3", "4", "2", "5", "6"}, {1, 2}},
        {"gaps kept going down", {1, 3}, 1, 0, {"1", "3", "2", "5", "4", "6"}, {2, 4}},
        {"touching the top", {0, 3}, -1, 0, six, {0, 3}},
        {"touching the bottom", {2, 5}, 1, 0, six, {2, 5}},
        {"nothing selected", {}, 1, 0, six, {}},
        {"dragged to the top", {2, 4}, 0, 0, {"3", "5", "1", "2", "4", "6"}, {0, 1}},
        {"dragged down", {0, 1}, 0, 4, {"3", "4", "1", "2", "5", "6"}, {2, 3}},
        {"dragged to the end", {1, 3}, 0, 6, {"1", "3", "5", "6", "2", "4"}, {4, 5}},
        {"dropped on itself", {2, 3}, 0, 3, {"1", "2", "3", "4", "5", "6"}, {2, 3}},
    };
    for (const Row &row : rows) {
        FileList list = ListOf(six, row.selected);
        if (row.step != 0) list.MoveSelection(row.step);
        else list.MoveSelectionTo(static_cast<std::size_t>(row.to));
        EXPECT_EQ(Paths(list), row.order) << row.label;
        EXPECT_EQ(list.SelectedIndices(), row.selected_after) << row.label;
    }
}

TEST(FileListSort, NaturalOrderKeepsSelectionAndFocus) {
    FileList list = ListOf({"/s/page10.png", "/s/Page2.png", "/s/page1.png", "/a/z.png"}, {1});
    list.SetFocused(0);
    list.SortByName();
    EXPECT_EQ(Paths(list), (std::vector<std::string>{"/a/z.png", "/s/page1.png",
                                                     "/s/Page2.png", "/s/page10.png"}));
    EXPECT_EQ(list.SelectedIndices(), Indices{2});
    EXPECT_EQ(list.Focused(), std::optional<std::size_t>(3));
}

}  // namespace
