// bindwick -- the desktop program: binds image files into one PDF document.
//
// Usage: bindwick [OPTION]... [IMAGE|FOLDER]...
// The images named on the command line (a folder stands for its images)
// are put in the list in the given order.
#include <QApplication>
#include <QCommandLineParser>
#include <QDirIterator>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <exception>

#include "bindwick_main.h"
#include "bindwick_version.h"
#include "settings.h"
#include "translations.h"
#include "user_dialogs.h"

namespace {

// An error that reaches the top level is shown in a stop box with the
// application's title.
void ShowTopLevelError(const QString &text) {
    QMessageBox::critical(nullptr, QApplication::applicationName(), text);
}

// Catches exceptions that escape an event handler, shows them and goes on
// with the event loop.
class BindwickApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &error) {
            ShowTopLevelError(QString::fromUtf8(error.what()));
        } catch (...) {
            ShowTopLevelError(QStringLiteral("Unknown error"));
        }
        return false;
    }
};

// Handles --help and --version, which print and end the program; an unknown
// option ends it with a message. Returns the images and folders named after
// the options, in their order (Qt has taken its own options out already).
QStringList ParseCommandLine(const QApplication &app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("画像ファイルを1ページに1枚ずつ、1つのPDFにまとめます。"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("IMAGE"),
        QStringLiteral("リストに加える画像ファイル、またはその画像を加えるフォルダ（指定した順）"),
        QStringLiteral("[IMAGE|FOLDER...]"));
    parser.process(app);
    return parser.positionalArguments();
}

// Whether the command line asks only for text (help or version), which
// needs no display.
bool AsksOnlyForText(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--") break;
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version") {
            return true;
        }
    }
    return false;
}

// The application icon in every size built into the program.
QIcon ApplicationIcon() {
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/icons"));
    while (sizes.hasNext()) icon.addFile(sizes.next());
    return icon;
}

}  // namespace

int main(int argc, char **argv) {
    // Printing help or the version works in a terminal without a display.
    if (AsksOnlyForText(argc, argv)) qputenv("QT_QPA_PLATFORM", "offscreen");
    BindwickApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Bindwick"));
    QApplication::setApplicationVersion(QStringLiteral(BINDWICK_VERSION));
    // The desktop entry's name lets the desktop match the window to its
    // launcher and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("bindwick"));
    QApplication::setWindowIcon(ApplicationIcon());
    bindwick::InstallQtTranslations(app);
    const QStringList images = ParseCommandLine(app);

    bindwick::QtUserDialogs dialogs;
    try {
        const bindwick::SettingsChoice settings = bindwick::ChooseSettingsFile(
            QFile::encodeName(QApplication::applicationFilePath()).toStdString());
        const auto window = bindwick::StartProgram(dialogs, settings, images);
        return app.exec();
    } catch (const std::exception &error) {
        // The window could not be created (the settings file cannot be
        // written, for one): say why and end.
        ShowTopLevelError(QString::fromUtf8(error.what()));
        return 0;
    }
}
