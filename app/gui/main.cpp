// bindwick -- the desktop program: binds image files into one PDF document.
//
// Usage: bindwick [IMAGE|FOLDER]...
// The images named on the command line (a folder stands for its images)
// are put in the list in the given order.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <exception>

#include "bindwick_main.h"
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

}  // namespace

int main(int argc, char **argv) {
    BindwickApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Bindwick"));
    bindwick::InstallQtTranslations(app);

    bindwick::QtUserDialogs dialogs;
    try {
        const bindwick::SettingsChoice settings = bindwick::ChooseSettingsFile(
            QFile::encodeName(QApplication::applicationFilePath()).toStdString());
        // Qt has taken its own options out of the arguments already.
        const auto window = bindwick::StartProgram(dialogs, settings,
                                                   QApplication::arguments().mid(1));
        return app.exec();
    } catch (const std::exception &error) {
        // The window could not be created (the settings file cannot be
        // written, for one): say why and end.
        ShowTopLevelError(QString::fromUtf8(error.what()));
        return 0;
    }
}
