// The program's settings and the INI file that keeps them.
//
// File layout (values are decimal integers, booleans "1" or "0"):
//   [FILE]     IsUseCwd=1              open/save dialogs start in the cwd
//              IsKeepAlpha=0           images keep their transparency
//              IsAllPages=0            every page of multi-page TIFF files
//              IsUseOrientation=0      images turned as the camera recorded
//   [SIZE]     paper=0                 paper-size choice, 0..3 or -1
//              width=210 height=297    the custom paper size, millimetres
//              margin=10               margin on paper, millimetres
//              IsUseResolution=0       pages without paper follow the resolution
//              IsAutoRotate=1          paper turns to follow landscape images
//              IsNoEnlarge=0           small images keep their size on paper
//   [COMPRESS] rate=6                  Flate level of written books, 0..9
//   [Temp]     FirstRunAfterDelIni=1   written when the file is created
//
// The preferences dialog binds its controls to one Settings object that
// lives for the whole run: LoadSettings fills it from the file (at start-up
// and on Cancel), SaveSettings stores it (on OK). Nothing else touches the
// file.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "page_layout.h"

namespace bindwick {

// A write to the settings file failed. what() is "<path> に書き込めません"
// (UTF-8), the path glued directly in front of the text.
class SettingsWriteError : public std::runtime_error {
public:
    explicit SettingsWriteError(const std::string &path);
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

// Reads an integer the way the settings file stores it: decimal with an
// optional sign, or hexadecimal after "0x"/"0X" when the text is longer than
// two characters. Anything else, including values outside the range of int,
// gives nullopt.
std::optional<int> ParseSettingInteger(const std::string &text);

// The settings file next to the executable: its path with the extension of
// the file name replaced by ".ini" (added when there is none).
std::string PortableSettingsPath(const std::string &executable_path);

// Where the settings file lives. The file beside the executable is used when
// it can be written: it exists and is writable, or it is missing and its
// folder is writable; so a copy of the program carried on a removable disk
// keeps its settings with it. A program installed into the program folder
// this build was configured for (the install prefix's bin/, say /usr/bin)
// never keeps them there, even when run by a user who may write to it: that
// folder belongs to every user. Otherwise the file is "bindwick.ini" in
// "$XDG_CONFIG_HOME/bindwick/" ("$HOME/.config/bindwick/" when
// XDG_CONFIG_HOME is unset, empty or relative); that folder is created. If
// neither variable gives a folder, the file beside the executable is
// returned so that the write error names it.
//
// `getenv` looks up an environment variable (nullopt when unset);
// `writable` tells whether a file or folder may be written.
using EnvironmentLookup =
    std::function<std::optional<std::string>(const std::string &name)>;
using WritableCheck = std::function<bool(const std::string &path)>;

struct SettingsChoice {
    std::string path;  // the settings file to use
    // When the file beside the executable exists but cannot be written and
    // the file in the configuration folder is about to be made: the text
    // that says so, once (UTF-8). Empty otherwise.
    std::string notice;
};
SettingsChoice ChooseSettingsFile(const std::string &executable_path,
                                  const EnvironmentLookup &getenv,
                                  const WritableCheck &writable);
// With the process environment and access(2).
SettingsChoice ChooseSettingsFile(const std::string &executable_path);

// ChooseSettingsFile(...).path, with access(2) for `writable`.
std::string SettingsFilePath(const std::string &executable_path,
                             const EnvironmentLookup &getenv);

class Settings {
public:
    // The paper-size choices are numbered 0 .. kPaperSizeCount - 1;
    // kNoPaperSize stands for "no choice".
    static constexpr int kPaperSizeCount = 4;
    static constexpr int kNoPaperSize = -1;
    static constexpr int kMinRate = 0;
    static constexpr int kMaxRate = 9;

    static constexpr bool kDefaultIsUseCwd = true;
    static constexpr int kDefaultPaperSize = 0;
    static constexpr int kDefaultRate = 6;

    // The paper-size choices: the image's own size, A4, B5, and the custom
    // size held in millimetres.
    static constexpr int kPaperChoiceImageSize = 0;
    static constexpr int kPaperChoiceA4 = 1;
    static constexpr int kPaperChoiceB5 = 2;
    static constexpr int kPaperChoiceCustom = 3;
    static constexpr int kMinPaperSide = 10;
    static constexpr int kMaxPaperSide = 5080;  // 14400 points
    static constexpr int kDefaultPaperWidth = 210;
    static constexpr int kDefaultPaperHeight = 297;
    static constexpr int kMinMargin = 0;
    static constexpr int kMaxMargin = 100;
    static constexpr int kDefaultMargin = 10;
    static constexpr bool kDefaultIsUseResolution = false;
    static constexpr bool kDefaultIsAutoRotate = true;
    static constexpr bool kDefaultIsNoEnlarge = false;
    static constexpr bool kDefaultIsKeepAlpha = false;
    static constexpr bool kDefaultIsAllPages = false;
    static constexpr bool kDefaultIsUseOrientation = false;

    // Holds the defaults; the file is not touched until LoadSettings.
    explicit Settings(std::string ini_file_name);

    const std::string &IniFileName() const { return ini_file_name_; }

    // Creates the file when it is missing (holding only
    // [Temp] FirstRunAfterDelIni=1), then reads every setting from it.
    // Missing keys and unreadable values give the defaults. Throws
    // SettingsWriteError when the missing file cannot be created; the
    // settings then keep the values they had.
    void LoadSettings();

    // Writes all settings to the file, keeping everything else in it.
    // Throws SettingsWriteError when the file cannot be written; the values
    // held here stay as they are.
    void SaveSettings() const;

    bool IsUseCwd() const { return is_use_cwd_; }
    void SetIsUseCwd(bool on) { is_use_cwd_ = on; }

    // The chosen paper size, 0 .. kPaperSizeCount - 1, or kNoPaperSize.
    int PaperSize() const { return paper_size_; }
    // Any value outside the choices becomes kNoPaperSize.
    void SetPaperSize(int index);

    // The compression level, always within kMinRate .. kMaxRate.
    int CompressRate() const { return rate_; }
    // Clamps `rate` into kMinRate .. kMaxRate.
    void SetCompressRate(int rate);

    // The custom paper size in millimetres; setting clamps into
    // kMinPaperSide .. kMaxPaperSide.
    int PaperWidth() const { return paper_width_; }
    int PaperHeight() const { return paper_height_; }
    void SetPaperWidth(int millimetres);
    void SetPaperHeight(int millimetres);

    // The margin on paper in millimetres; setting clamps into kMinMargin ..
    // kMaxMargin.
    int Margin() const { return margin_; }
    void SetMargin(int millimetres);

    bool IsUseResolution() const { return is_use_resolution_; }
    void SetIsUseResolution(bool on) { is_use_resolution_ = on; }
    bool IsAutoRotate() const { return is_auto_rotate_; }
    void SetIsAutoRotate(bool on) { is_auto_rotate_ = on; }
    bool IsNoEnlarge() const { return is_no_enlarge_; }
    void SetIsNoEnlarge(bool on) { is_no_enlarge_ = on; }
    // The image choices of a book (BookRequest's keep_alpha, all_pages and
    // use_orientation).
    bool IsKeepAlpha() const { return is_keep_alpha_; }
    void SetIsKeepAlpha(bool on) { is_keep_alpha_ = on; }
    bool IsAllPages() const { return is_all_pages_; }
    void SetIsAllPages(bool on) { is_all_pages_ = on; }
    bool IsUseOrientation() const { return is_use_orientation_; }
    void SetIsUseOrientation(bool on) { is_use_orientation_ = on; }

    // The page choices these settings make for a book. Without a paper-size
    // choice (kNoPaperSize) pages take their images' size, as with
    // kPaperChoiceImageSize.
    PageSetup GetPageSetup() const;

private:
    std::string ini_file_name_;
    bool is_use_cwd_ = kDefaultIsUseCwd;
    int paper_size_ = kDefaultPaperSize;
    int rate_ = kDefaultRate;
    int paper_width_ = kDefaultPaperWidth;
    int paper_height_ = kDefaultPaperHeight;
    int margin_ = kDefaultMargin;
    bool is_use_resolution_ = kDefaultIsUseResolution;
    bool is_auto_rotate_ = kDefaultIsAutoRotate;
    bool is_no_enlarge_ = kDefaultIsNoEnlarge;
    bool is_keep_alpha_ = kDefaultIsKeepAlpha;
    bool is_all_pages_ = kDefaultIsAllPages;
    bool is_use_orientation_ = kDefaultIsUseOrientation;
};

}  // namespace bindwick
