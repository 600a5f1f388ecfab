// page_options.cpp -- the command line's page options.
#include "page_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "settings.h"

namespace bindwick {

namespace {

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWith(const std::string &text, const std::string &end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The length units and their size in points.
struct Unit {
    const char *name;
    double points;
};
constexpr Unit kUnits[] = {
    {"pt", 1.0},
    {"mm", kPointsPerMillimetre},
    {"cm", 10 * kPointsPerMillimetre},
    {"in", kPointsPerInch},
};

// Digits with at most one decimal point, at least one digit.
bool IsPlainNumber(const std::string &text) {
    int digits = 0;
    int points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.') {
            ++points;
        } else {
            return false;
        }
    }
    return digits > 0 && points <= 1;
}

std::string Points(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%gpt", value);
    return text;
}

std::string Millimetres(double points) {
    char text[32];
    std::snprintf(text, sizeof text, "%gmm", points / kPointsPerMillimetre);
    return text;
}

// "--pagesize 'A4^T': " and the like, in front of a message on a value.
std::string About(const char *option, const std::string &value) {
    return std::string(option) + " '" + value + "': ";
}

std::optional<PageOrientation> ChooseOrientation(const PageArguments &arguments,
                                                 bool transposed, std::string &error) {
    if (arguments.landscape && arguments.portrait) {
        error = "--landscape and --portrait exclude each other";
        return std::nullopt;
    }
    if (transposed && (arguments.landscape || arguments.portrait)) {
        error = "a paper size turned with ^T has its orientation; drop --landscape "
                "or --portrait";
        return std::nullopt;
    }
    if (transposed) return PageOrientation::kAsGiven;
    if (arguments.landscape) return PageOrientation::kLandscape;
    if (arguments.portrait) return PageOrientation::kPortrait;
    return PageOrientation::kFollowImage;
}

// The paper of --pagesize, its sides within what readers accept.
std::optional<PaperArgument> CheckedPaper(const std::string &text, std::string &error) {
    const std::optional<PaperArgument> paper = ParsePaperSize(text);
    if (!paper) {
        error = About("--pagesize", text) +
                "give A4, B5 or WIDTHxHEIGHT, each length a number with pt, mm, "
                "cm or in (pt when none)";
        return std::nullopt;
    }
    for (double side : {paper->size.width, paper->size.height}) {
        if (side < kMinPageSide || side > kMaxPageSide) {
            error = About("--pagesize", text) + "each side must be from " +
                    Points(kMinPageSide) + " to " + Points(kMaxPageSide) +
                    " (about 1.06mm to 5.08m)";
            return std::nullopt;
        }
    }
    return paper;
}

std::optional<double> CheckedMargin(const PageArguments &arguments,
                                    const PaperSize &paper, std::string &error) {
    if (!arguments.margin) return Settings::kDefaultMargin * kPointsPerMillimetre;
    const std::optional<double> margin = ParseLength(*arguments.margin);
    if (!margin) {
        error = About("--margin", *arguments.margin) +
                "give a number with pt, mm, cm or in (pt when none)";
        return std::nullopt;
    }
    const double most = std::min(paper.width, paper.height) / 4;
    if (*margin > most) {
        error = About("--margin", *arguments.margin) +
                "at most a quarter of the paper's shorter side, " + Points(most) + " (" +
                Millimetres(most) + ")";
        return std::nullopt;
    }
    return margin;
}

std::optional<bool> CheckedEnlarge(const PageArguments &arguments, std::string &error) {
    if (!arguments.fit) return true;
    const std::string fit = Lower(*arguments.fit);
    if (fit == "into") return true;
    if (fit == "shrink") return false;
    error = About("--fit", *arguments.fit) + "give into or shrink";
    return std::nullopt;
}

// Options that only mean something on paper, given without --pagesize.
const char *PaperOnlyOption(const PageArguments &arguments) {
    if (arguments.margin) return "--margin";
    if (arguments.fit) return "--fit";
    if (arguments.landscape) return "--landscape";
    if (arguments.portrait) return "--portrait";
    return nullptr;
}

}  // namespace

std::optional<double> ParseLength(const std::string &text) {
    std::string number = Lower(text);
    double points_per_unit = 1;
    for (const Unit &unit : kUnits) {
        if (EndsWith(number, unit.name)) {
            number.resize(number.size() - 2);
            points_per_unit = unit.points;
            break;
        }
    }
    if (!IsPlainNumber(number)) return std::nullopt;
    const double value = std::strtod(number.c_str(), nullptr) * points_per_unit;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<PaperArgument> ParsePaperSize(const std::string &text) {
    PaperArgument paper;
    std::string size = Lower(text);
    if (EndsWith(size, "^t")) {
        paper.transposed = true;
        size.resize(size.size() - 2);
    }
    if (size == "a4") {
        paper.size = kPaperA4;
    } else if (size == "b5") {
        paper.size = kPaperB5;
    } else {
        const std::size_t cross = size.find('x');
        if (cross == std::string::npos) return std::nullopt;
        const std::optional<double> width = ParseLength(size.substr(0, cross));
        const std::optional<double> height = ParseLength(size.substr(cross + 1));
        if (!width || !height || *width <= 0 || *height <= 0) return std::nullopt;
        paper.size = {*width, *height};
    }
    if (paper.transposed) std::swap(paper.size.width, paper.size.height);
    return paper;
}

std::optional<PageSetup> MakePageSetup(const PageArguments &arguments,
                                       std::string &error) {
    PageSetup setup;
    if (!arguments.pagesize) {
        if (const char *option = PaperOnlyOption(arguments)) {
            error = std::string(option) + " needs a paper size (--pagesize)";
            return std::nullopt;
        }
        setup.use_resolution = arguments.use_resolution;
        return setup;
    }
    if (arguments.use_resolution) {
        error = "--use-resolution sizes pages without paper; it does not go with "
                "--pagesize";
        return std::nullopt;
    }
    const std::optional<PaperArgument> paper = CheckedPaper(*arguments.pagesize, error);
    if (!paper) return std::nullopt;
    const auto orientation = ChooseOrientation(arguments, paper->transposed, error);
    if (!orientation) return std::nullopt;
    const std::optional<double> margin = CheckedMargin(arguments, paper->size, error);
    if (!margin) return std::nullopt;
    const std::optional<bool> enlarge = CheckedEnlarge(arguments, error);
    if (!enlarge) return std::nullopt;

    setup.paper = paper->size;
    setup.orientation = *orientation;
    setup.margin = *margin;
    setup.enlarge = *enlarge;
    return setup;
}

}  // namespace bindwick
