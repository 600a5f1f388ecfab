// user_dialogs.cpp -- the real file dialogs and message boxes.
#include "user_dialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

namespace bindwick {

QStringList QtNameFilters(const QList<FileFilter> &filters) {
    QStringList names;
    for (const FileFilter &filter : filters) {
        // The dialog shows only the description (HideNameFilterDetails); the
        // patterns go into the trailing parentheses it parses.
        names << filter.description + QStringLiteral(" (") + filter.patterns +
                     QLatin1Char(')');
    }
    return names;
}

QString QtUserDialogs::startFolder(const FileDialogSetup &setup) const {
    if (!setup.directory.isEmpty()) return setup.directory;
    if (!last_folder_.isEmpty()) return last_folder_;
    return QDir::homePath();
}

QStringList QtUserDialogs::runFileDialog(QFileDialog &dialog,
                                         const FileDialogSetup &setup) {
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDirectory(startFolder(setup));
    const QStringList names = QtNameFilters(setup.filters);
    dialog.setNameFilters(names);
    if (!names.isEmpty()) dialog.selectNameFilter(names.first());
    if (!setup.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(setup.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

QStringList QtUserDialogs::getOpenFileNames(QWidget *parent,
                                            const FileDialogSetup &setup) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    return runFileDialog(dialog, setup);
}

QString QtUserDialogs::getSaveFileName(QWidget *parent,
                                       const FileDialogSetup &setup) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList files = runFileDialog(dialog, setup);
    return files.isEmpty() ? QString() : files.first();
}

void QtUserDialogs::showMessage(QWidget *parent, QMessageBox::Icon icon,
                                const QString &title, const QString &text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtUserDialogs::askYesNo(QWidget *parent, const QString &text) {
    QMessageBox box(QMessageBox::Question, QString(), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

UserDialogs::AfterSave QtUserDialogs::showBookWritten(QWidget *parent,
                                                      const QString &title,
                                                      const QString &text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    QPushButton *document = box.addButton(QStringLiteral("PDFを開く(&O)"),
                                          QMessageBox::ActionRole);
    QPushButton *folder = box.addButton(QStringLiteral("フォルダを開く(&F)"),
                                        QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (box.clickedButton() == document) return AfterSave::kOpenDocument;
    if (box.clickedButton() == folder) return AfterSave::kOpenFolder;
    return AfterSave::kClose;
}

void QtUserDialogs::openUrl(const QUrl &url) { QDesktopServices::openUrl(url); }

}  // namespace bindwick
