// Everything in the desktop program that asks the user something or tells
// the user something in a modal box goes through UserDialogs, so that tests
// can drive the real windows with a scripted stand-in.
#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

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

    // A question with the answers yes and no; true for yes.
    virtual bool askYesNo(QWidget *parent, const QString &text) = 0;

    // What the user chose in the message after a book was written.
    enum class AfterSave { kClose, kOpenDocument, kOpenFolder };
    // The information message of a written book, with buttons that open the
    // document or its folder besides OK.
    virtual AfterSave showBookWritten(QWidget *parent, const QString &title,
                                      const QString &text) = 0;

    // Hands `url` to the desktop's handler for it.
    virtual void openUrl(const QUrl &url) = 0;

    // The folder where file dialogs set up without one start from now on.
    virtual void rememberFolder(const QString &folder) = 0;
};

// The real dialogs. When a dialog is set up without a folder it starts in
// the folder last remembered, or in the home folder before that.
class QtUserDialogs : public UserDialogs {
public:
    QStringList getOpenFileNames(QWidget *parent,
                                 const FileDialogSetup &setup) override;
    QString getSaveFileName(QWidget *parent,
                            const FileDialogSetup &setup) override;
    void showMessage(QWidget *parent, QMessageBox::Icon icon,
                     const QString &title, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &text) override;
    AfterSave showBookWritten(QWidget *parent, const QString &title,
                              const QString &text) override;
    void openUrl(const QUrl &url) override;
    void rememberFolder(const QString &folder) override { last_folder_ = folder; }

private:
    QString startFolder(const FileDialogSetup &setup) const;
    // Applies what both file dialogs share (start folder, filters, suffix)
    // and runs the dialog. Returns the chosen files; none when the user
    // cancelled.
    QStringList runFileDialog(QFileDialog &dialog, const FileDialogSetup &setup);

    QString last_folder_;
};

}  // namespace bindwick
