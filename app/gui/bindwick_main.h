// TFormMain: the main window. The user types the three document texts,
// builds the ordered list of image files and writes the book. The list logic
// lives in FileList; the window maps its commands and dialogs onto it and
// mirrors the list's rows and selection in ListViewInFile.
#pragma once

#include <QMainWindow>
#include <QTreeWidget>
#include <QUrl>
#include <string>

#include "file_list.h"
#include "user_dialogs.h"

class QAction;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolBar;

namespace bindwick {

class TFormPref;

// The list control: a two-column report that also takes image files dropped
// from a file manager.
class FileListView : public QTreeWidget {
    Q_OBJECT

public:
    explicit FileListView(QWidget *parent = nullptr);

    // The local image files among `urls`, in their order: regular files
    // whose extension is one of the image kinds the program reads, in any
    // letter case. Everything else is left out.
    static QStringList DroppedImageFiles(const QList<QUrl> &urls);

signals:
    void filesDropped(const QStringList &paths);
    // The Delete key was pressed in the list.
    void deleteKeyPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    // Creates the window and its preferences dialog, which reads (and when
    // missing creates) the settings file `ini_file_name`. When the setting
    // to use the current directory is on, both file dialogs start in the
    // working directory as it is now. Throws SettingsWriteError when the
    // settings file cannot be created. `dialogs` must outlive the window.
    TFormMain(UserDialogs &dialogs, const std::string &ini_file_name,
              QWidget *parent = nullptr);
    ~TFormMain() override;

    // The settings file of a program at `executable_path`.
    static std::string DefaultIniFileName(const QString &executable_path);

    const std::string IniFileName;
    const FileList &Files() const { return files_; }
    TFormPref *FormPref() const { return form_pref_; }

    // The two file dialogs' set-up.
    FileDialogSetup OpenDialog1;
    FileDialogSetup SaveDialog1;

    // Commands.
    QAction *ActionListAdd = nullptr;
    QAction *ActionListDel = nullptr;
    QAction *ActionListUp = nullptr;
    QAction *ActionListDown = nullptr;
    QAction *ActionSaveAs = nullptr;
    QAction *ActionExit = nullptr;
    QAction *ActionShowPref = nullptr;

    // Controls other code reads.
    QLineEdit *EditTitle = nullptr;
    QLineEdit *EditSubTitle = nullptr;
    QLineEdit *EditAuthor = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    FileListView *ListViewInFile = nullptr;
    QPushButton *BitBtnSaveAs = nullptr;

public slots:
    void ActionListAddExecute();
    void ActionListDelExecute();
    void ActionListUpExecute();
    void ActionListDownExecute();
    void ActionSaveAsExecute();
    void ActionExitExecute();
    void ActionShowPrefExecute();

    // Adds `paths` the way the add command adds the files of the dialog.
    void AddPaths(const QStringList &paths);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    QWidget *createTitleArea();
    QWidget *createListHeader();
    void createList();
    void createDialogs();

    // FileList is the truth; the view mirrors it. Before a command the
    // view's selection and focus are copied into the list, after it the
    // view is rebuilt from the list.
    void takeSelectionFromView();
    void refreshView();

    UserDialogs &dialogs_;
    FileList files_;
    TFormPref *form_pref_ = nullptr;
    QMenu *list_context_menu_ = nullptr;
};

}  // namespace bindwick
