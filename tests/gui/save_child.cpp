// Writes a book through the real window, offscreen, for a test that kills
// this process in the middle of the save.
//
// Usage: gui_save_child OUT.pdf IMAGE...
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "bindwick_main.h"
#include "fake_dialogs.h"

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    QTemporaryDir settings;
    FakeDialogs dialogs;
    bindwick::TFormMain window(
        dialogs, QFile::encodeName(settings.filePath("bindwick.ini")).toStdString());
    QStringList images;
    for (int i = 2; i < argc; ++i) images << QFile::decodeName(argv[i]);
    window.AddPaths(images);
    dialogs.save_answers.enqueue(QFile::decodeName(argv[1]));
    QObject::connect(&window, &bindwick::TFormMain::saveFinished, &app, &QApplication::quit);
    window.ActionSaveAs->trigger();
    return app.exec();
}
