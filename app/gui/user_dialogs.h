// Everything in the desktop program that asks the user something or tells
// the user something in a modal box goes through UserDialogs, so that tests
// can drive the real windows with a scripted stand-in.
#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace bindwick {

// One file filter entry: the text shown and the wildcard patterns it stands
// for, separated by blanks ("*.jpg *.jpeg").
struct FileFilter {
    QString description;
    QString patterns;
};

// How a file dialog is set up. An empty `directory` leaves the starting
// folder to the dialog implementation.
struct FileDialogSetup {
    QString directory;
    QList<FileFilter> filters;  // the first one is preselected
    QString defaultSuffix;      // appended when the typed name has none
};

// The filter list in the form QFileDialog takes: "Text (patterns)" entries.
QStringList QtNameFilters(const QList<FileFilter> &filters);

class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // Lets the user pick one or more existing files. Returns the full paths
    // in the dialog's order; empty when the dialog was cancelled.
    virtual QStringList getOpenFileNames(QWidget *parent,
                                         const FileDialogSetup &setup) = 0;

    // Lets the user name a file to write; an existing file is taken without
    // asking. Returns the full path, empty when the dialog was cancelled.
    virtual QString getSaveFileName(QWidget *parent,
                                    const FileDialogSetup &setup) = 0;

    // A modal message with one OK button. A null or empty `title` leaves the
    // box with the application's default title.
    virtual void showMessage(QWidget *parent, QMessageBox::Icon icon,
                             const QString &title, const QString &text) = 0;
};

// The real dialogs. When a dialog is set up without a folder it starts
// where the previous file dialog of this object was left, or in the home
// folder the first time.
class QtUserDialogs : public UserDialogs {
public:
    QStringList getOpenFileNames(QWidget *parent,
                                 const FileDialogSetup &setup) override;
    QString getSaveFileName(QWidget *parent,
                            const FileDialogSetup &setup) override;
    void showMessage(QWidget *parent, QMessageBox::Icon icon,
                     const QString &title, const QString &text) override;

private:
    QString startFolder(const FileDialogSetup &setup) const;
    // Applies what both file dialogs share (start folder, filters, suffix),
    // runs the dialog and remembers the folder of the choice. Returns the
    // chosen files; none when the user cancelled.
    QStringList runFileDialog(QFileDialog &dialog, const FileDialogSetup &setup);

    QString last_folder_;
};

}  // namespace bindwick
