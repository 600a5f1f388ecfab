#include "settings.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "ini_file.h"

namespace bindwick {

namespace fs = std::filesystem;

namespace {

const char kSectionFile[] = "FILE";
const char kKeyIsUseCwd[] = "IsUseCwd";
const char kKeyIsKeepAlpha[] = "IsKeepAlpha";
const char kKeyIsAllPages[] = "IsAllPages";
const char kKeyIsUseOrientation[] = "IsUseOrientation";
const char kSectionSize[] = "SIZE";
const char kKeyPaper[] = "paper";
const char kKeyPaperWidth[] = "width";
const char kKeyPaperHeight[] = "height";
const char kKeyMargin[] = "margin";
const char kKeyIsUseResolution[] = "IsUseResolution";
const char kKeyIsAutoRotate[] = "IsAutoRotate";
const char kKeyIsNoEnlarge[] = "IsNoEnlarge";
const char kSectionCompress[] = "COMPRESS";
const char kKeyRate[] = "rate";
const char kSectionTemp[] = "Temp";
const char kKeyFirstRun[] = "FirstRunAfterDelIni";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The integer stored under `section`/`key`, or `fallback` when the key is
// missing or its text is not an integer.
int ReadInteger(const IniFile &file, const char *section, const char *key,
                int fallback) {
    const auto text = file.Get(section, key);
    if (!text) return fallback;
    return ParseSettingInteger(*text).value_or(fallback);
}

bool ReadBoolean(const IniFile &file, const char *section, const char *key,
                 bool fallback) {
    return ReadInteger(file, section, key, fallback ? 1 : 0) != 0;
}

const char *BooleanText(bool on) { return on ? "1" : "0"; }

bool FileExists(const std::string &path) {
    std::error_code error;
    return fs::exists(path, error);
}

// Whether the executable lives in the folder that `cmake --install` puts
// programs into (the same folder reached through a link counts).
bool IsInstalledProgram(const std::string &executable_path) {
    std::error_code error;
    return fs::equivalent(fs::path(executable_path).parent_path(),
                          BINDWICK_INSTALL_BINDIR, error);
}

}  // namespace

SettingsWriteError::SettingsWriteError(const std::string &path)
    : std::runtime_error(path + " に書き込めません"), path_(path) {}

std::optional<int> ParseSettingInteger(const std::string &text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        long long value = 0;
        for (std::size_t i = 2; i < text.size(); ++i) {
            const int digit = HexDigit(text[i]);
            if (digit < 0) return std::nullopt;
            value = value * 16 + digit;
            if (value > INT_MAX) return std::nullopt;
        }
        return static_cast<int>(value);
    }
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

std::string PortableSettingsPath(const std::string &executable_path) {
    return fs::path(executable_path).replace_extension(".ini").string();
}

namespace {

std::optional<std::string> ProcessEnvironment(const std::string &name) {
    const char *value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

bool AccessWritable(const std::string &path) {
    return ::access(path.empty() ? "." : path.c_str(), W_OK) == 0;
}

// The user's configuration file, its folder created; empty when neither
// variable names a folder.
std::string UserSettingsPath(const EnvironmentLookup &getenv) {
    fs::path config_home;
    const auto xdg = getenv("XDG_CONFIG_HOME");
    if (xdg && !xdg->empty() && fs::path(*xdg).is_absolute()) {
        config_home = *xdg;
    } else {
        const auto home = getenv("HOME");
        if (!home || home->empty()) return std::string();
        config_home = fs::path(*home) / ".config";
    }
    const fs::path folder = config_home / "bindwick";
    // A folder that cannot be made shows up as the write error naming the
    // file, which says more to the user than a failure here would.
    std::error_code error;
    fs::create_directories(folder, error);
    return (folder / "bindwick.ini").string();
}

}  // namespace

SettingsChoice ChooseSettingsFile(const std::string &executable_path,
                                  const EnvironmentLookup &getenv,
                                  const WritableCheck &writable) {
    const std::string portable = PortableSettingsPath(executable_path);
    const bool portable_exists = FileExists(portable);
    const bool installed = IsInstalledProgram(executable_path);
    if (!installed && (portable_exists
                           ? writable(portable)
                           : writable(fs::path(portable).parent_path().string()))) {
        return {portable, {}};
    }
    const std::string user = UserSettingsPath(getenv);
    if (user.empty()) return {portable, {}};
    std::string notice;
    if (!installed && portable_exists && !FileExists(user)) {
        notice = portable + " に書き込めないため、設定は " + user + " に保存します。";
    }
    return {user, notice};
}

SettingsChoice ChooseSettingsFile(const std::string &executable_path) {
    return ChooseSettingsFile(executable_path, ProcessEnvironment, AccessWritable);
}

std::string SettingsFilePath(const std::string &executable_path,
                             const EnvironmentLookup &getenv) {
    return ChooseSettingsFile(executable_path, getenv, AccessWritable).path;
}

Settings::Settings(std::string ini_file_name)
    : ini_file_name_(std::move(ini_file_name)) {}

void Settings::LoadSettings() {
    // A missing file is created holding only the marker. Checking again
    // after the write catches a write that claimed success but left no file,
    // instead of retrying forever.
    if (!FileExists(ini_file_name_)) {
        if (!WriteProfileString(ini_file_name_, kSectionTemp, kKeyFirstRun, "1") ||
            !FileExists(ini_file_name_)) {
            throw SettingsWriteError(ini_file_name_);
        }
    }

    const IniFile file = IniFile::Load(ini_file_name_);
    SetIsUseCwd(ReadBoolean(file, kSectionFile, kKeyIsUseCwd, kDefaultIsUseCwd));
    SetPaperSize(ReadInteger(file, kSectionSize, kKeyPaper, kDefaultPaperSize));
    SetCompressRate(ReadInteger(file, kSectionCompress, kKeyRate, kDefaultRate));
    SetPaperWidth(ReadInteger(file, kSectionSize, kKeyPaperWidth, kDefaultPaperWidth));
    SetPaperHeight(
        ReadInteger(file, kSectionSize, kKeyPaperHeight, kDefaultPaperHeight));
    SetMargin(ReadInteger(file, kSectionSize, kKeyMargin, kDefaultMargin));
    SetIsUseResolution(ReadBoolean(file, kSectionSize, kKeyIsUseResolution,
                                   kDefaultIsUseResolution));
    SetIsAutoRotate(
        ReadBoolean(file, kSectionSize, kKeyIsAutoRotate, kDefaultIsAutoRotate));
    SetIsNoEnlarge(
        ReadBoolean(file, kSectionSize, kKeyIsNoEnlarge, kDefaultIsNoEnlarge));
    SetIsKeepAlpha(ReadBoolean(file, kSectionFile, kKeyIsKeepAlpha, kDefaultIsKeepAlpha));
    SetIsAllPages(ReadBoolean(file, kSectionFile, kKeyIsAllPages, kDefaultIsAllPages));
    SetIsUseOrientation(ReadBoolean(file, kSectionFile, kKeyIsUseOrientation,
                                    kDefaultIsUseOrientation));
}

void Settings::SaveSettings() const {
    struct Entry {
        const char *section;
        const char *key;
        std::string value;
    };
    const Entry entries[] = {
        {kSectionFile, kKeyIsUseCwd, BooleanText(is_use_cwd_)},
        {kSectionFile, kKeyIsKeepAlpha, BooleanText(is_keep_alpha_)},
        {kSectionFile, kKeyIsAllPages, BooleanText(is_all_pages_)},
        {kSectionFile, kKeyIsUseOrientation, BooleanText(is_use_orientation_)},
        {kSectionSize, kKeyPaper, std::to_string(paper_size_)},
        {kSectionSize, kKeyPaperWidth, std::to_string(paper_width_)},
        {kSectionSize, kKeyPaperHeight, std::to_string(paper_height_)},
        {kSectionSize, kKeyMargin, std::to_string(margin_)},
        {kSectionSize, kKeyIsUseResolution, BooleanText(is_use_resolution_)},
        {kSectionSize, kKeyIsAutoRotate, BooleanText(is_auto_rotate_)},
        {kSectionSize, kKeyIsNoEnlarge, BooleanText(is_no_enlarge_)},
        {kSectionCompress, kKeyRate, std::to_string(rate_)},
    };
    // Every key goes to the file in one write, so a failure cannot leave a
    // mixture of old and new values behind.
    auto file = IniFile::Read(ini_file_name_);
    bool written = file.has_value();
    for (const Entry &entry : entries) {
        written = written && file->Set(entry.section, entry.key, entry.value);
    }
    if (!written || !file->Save(ini_file_name_)) {
        throw SettingsWriteError(ini_file_name_);
    }
}

void Settings::SetPaperSize(int index) {
    paper_size_ = (index >= 0 && index < kPaperSizeCount) ? index : kNoPaperSize;
}

void Settings::SetCompressRate(int rate) {
    rate_ = std::clamp(rate, kMinRate, kMaxRate);
}

void Settings::SetPaperWidth(int millimetres) {
    paper_width_ = std::clamp(millimetres, kMinPaperSide, kMaxPaperSide);
}

void Settings::SetPaperHeight(int millimetres) {
    paper_height_ = std::clamp(millimetres, kMinPaperSide, kMaxPaperSide);
}

void Settings::SetMargin(int millimetres) {
    margin_ = std::clamp(millimetres, kMinMargin, kMaxMargin);
}

PageSetup Settings::GetPageSetup() const {
    PageSetup setup;
    switch (paper_size_) {
    case kPaperChoiceA4:
        setup.paper = kPaperA4;
        break;
    case kPaperChoiceB5:
        setup.paper = kPaperB5;
        break;
    case kPaperChoiceCustom:
        setup.paper = PaperFromMillimetres(paper_width_, paper_height_);
        break;
    default:
        setup.use_resolution = is_use_resolution_;
        return setup;
    }
    setup.orientation = is_auto_rotate_ ? PageOrientation::kFollowImage
                                        : PageOrientation::kAsGiven;
    setup.margin = margin_ * kPointsPerMillimetre;
    setup.enlarge = !is_no_enlarge_;
    return setup;
}

}  // namespace bindwick
