// TFormMain: the main window. The user types the three document texts,
// builds the ordered list of image files and writes the book. The list logic
// lives in FileList; the window maps its commands and dialogs onto it and
// mirrors the list's rows and selection in ListViewInFile.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "book_writer.h"
#include "file_list.h"
#include "file_list_view.h"
#include "image_info.h"
#include "settings.h"
#include "user_dialogs.h"

class QAction;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolBar;

namespace bindwick {

class BookJob;
class TFormPref;

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    // Creates the window and its preferences dialog, which reads (and when
    // missing creates) the settings file `ini_file_name`. When the setting
    // to use the current directory is on, both file dialogs start in the
    // working directory as it is now. Throws SettingsWriteError when the
    // settings file cannot be created. `dialogs` must outlive the window.
    // `image_info` makes the list's thumbnails and facts, off this thread.
    TFormMain(UserDialogs &dialogs, const std::string &ini_file_name,
              QWidget *parent = nullptr,
              ImageInfoCache::Maker image_info = MakeImageInfo);
    ~TFormMain() override;

    const std::string IniFileName;
    const FileList &Files() const { return files_; }
    TFormPref *FormPref() const { return form_pref_; }
    // A book is being written.
    bool IsSaving() const;

    // The two file dialogs' set-up.
    FileDialogSetup OpenDialog1;
    FileDialogSetup SaveDialog1;

    // Commands.
    QAction *ActionListAdd = nullptr;
    QAction *ActionListDel = nullptr;
    QAction *ActionListUp = nullptr;
    QAction *ActionListDown = nullptr;
    QAction *ActionSelectionUp = nullptr;
    QAction *ActionSelectionDown = nullptr;
    QAction *ActionListSort = nullptr;
    QAction *ActionSaveAs = nullptr;
    QAction *ActionStop = nullptr;
    QAction *ActionExit = nullptr;
    QAction *ActionShowPref = nullptr;

    // Controls other code reads.
    QLineEdit *EditTitle = nullptr;
    QLineEdit *EditSubTitle = nullptr;
    QLineEdit *EditAuthor = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    FileListView *ListViewInFile = nullptr;
    QPushButton *BitBtnSaveAs = nullptr;
    QPushButton *ButtonStop = nullptr;

public slots:
    void ActionListAddExecute();
    void ActionListDelExecute();
    void ActionListUpExecute();
    void ActionListDownExecute();
    void ActionSelectionUpExecute();
    void ActionSelectionDownExecute();
    void ActionListSortExecute();
    // Starts writing the book on a worker thread and returns at once;
    // saveFinished() follows when the run's messages have been shown.
    void ActionSaveAsExecute();
    // Stops the book being written; nothing is left at the output path.
    void ActionStopExecute();
    void ActionExitExecute();
    void ActionShowPrefExecute();

    // Adds the images `paths` stand for (folders give their images in
    // natural order) the way the add command adds the files of the dialog;
    // the paths left out are reported together in one message.
    void AddPaths(const QStringList &paths);

signals:
    void saveFinished();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Asks first while a book is being written.
    void closeEvent(QCloseEvent *event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    QWidget *createTitleArea();
    QWidget *createProgressRow(QWidget *parent);
    QWidget *createListHeader();
    void createList();
    void createDialogs();

    // FileList is the truth; the view mirrors it. Before a command the
    // view's selection and focus are copied into the list, after it the
    // view is rebuilt from the list.
    void takeSelectionFromView();
    void refreshView();
    // Runs a list command between the two steps above.
    template <typename Command>
    void changeList(Command command);
    // Shows what is known of the image of `item` (thumbnail, size, mark).
    void showImageInfo(QTreeWidgetItem *item, const FileEntry &entry);
    void imageInfoReady(const QString &path);
    // Gives the list the image choices of the preferences; when they change
    // what goes in unchanged, every row's facts are made anew.
    void takeImageChoices();

    // The window while a book is written: list and save commands off, the
    // stop button on.
    void setSaving(bool saving);
    void showProgress(int done, int count, const QString &current);
    void bookFinished(const BookResult &result);
    // One message listing `files` under `heading`, each with its reason.
    void showRejected(const QString &heading, const std::vector<RejectedFile> &files);

    UserDialogs &dialogs_;
    FileList files_;
    TFormPref *form_pref_ = nullptr;
    QMenu *list_context_menu_ = nullptr;
    BookJob *job_ = nullptr;
    ImageInfoCache *image_info_ = nullptr;
    QString saving_to_;    // the output path of the run going on
    bool closing_ = false;  // the window closes; a run's messages are not shown
};

// The program's start: the main window on the settings file of `settings`
// (whose notice, if any, is shown once), shown, with the images that
// `arguments` name (the command line after the program's name; relative
// paths against the working folder) in its list in their order.
std::unique_ptr<TFormMain> StartProgram(UserDialogs &dialogs,
                                        const SettingsChoice &settings,
                                        const QStringList &arguments);

}  // namespace bindwick
