// bindwick_main.cpp -- the main window: actions, layout, list commands and
// the Save command.
#include "bindwick_main.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "book_writer.h"
#include "unitpreference.h"

namespace bindwick {

namespace {

constexpr int kWindowWidth = 545;
constexpr int kWindowHeight = 555;
constexpr int kTitleAreaHeight = 164;
constexpr int kListHeaderHeight = 32;
constexpr int kSaveButtonHeight = 35;
constexpr int kPathColumnWidth = 400;
constexpr int kTypeColumnWidth = 100;

const char kListCategory[] = "リスト操作";

QString FromBytes(const std::string &bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string ToBytes(const QString &text) {
    return QFile::encodeName(text).toStdString();
}

// A push button that stands for `action`: it shows the action's caption
// (or its own), the action's hint as tooltip, follows its enabled state and
// triggers it when clicked.
void BindButton(QPushButton *button, QAction *action,
                const QString &own_caption = QString()) {
    button->setText(own_caption.isEmpty() ? action->text() : own_caption);
    button->setToolTip(action->toolTip());
    button->setEnabled(action->isEnabled());
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button,
                     [button, action] { button->setEnabled(action->isEnabled()); });
}

// Reports a run in the window: the progress bar and modal messages.
class GuiBookReporter : public BookReporter {
public:
    GuiBookReporter(TFormMain &window, UserDialogs &dialogs)
        : window_(window), dialogs_(dialogs) {}

    void ProgressStart(std::size_t count) override {
        QProgressBar *bar = window_.ProgressBar1;
        bar->setValue(0);
        // A range of 0..0 would turn the bar into a busy indicator; an
        // empty list shows an empty bar instead.
        bar->setMaximum(count > 0 ? static_cast<int>(count) : 1);
        bar->repaint();
    }

    void ProgressStep(std::size_t) override {
        QProgressBar *bar = window_.ProgressBar1;
        bar->setValue(bar->value() + 1);
        // The run does not return to the event loop; paint now.
        bar->repaint();
    }

    void ImageNotOpened(const std::string &, const std::string &text) override {
        dialogs_.showMessage(&window_, QMessageBox::NoIcon, QString(),
                             QString::fromUtf8(text.c_str()));
    }

    void OutputNotCreated(const std::string &, const std::string &text) override {
        dialogs_.showMessage(&window_, QMessageBox::Critical, QString(),
                             QString::fromUtf8(text.c_str()));
    }

    void LibraryError(const std::string &, const std::string &text) override {
        dialogs_.showMessage(&window_, QMessageBox::Critical, QString(),
                             QString::fromUtf8(text.c_str()));
    }

    void BookWritten(const std::string &path, const std::string &text) override {
        dialogs_.showMessage(&window_, QMessageBox::Information, FromBytes(path),
                             QString::fromUtf8(text.c_str()));
    }

private:
    TFormMain &window_;
    UserDialogs &dialogs_;
};

}  // namespace

// ---- FileListView -----------------------------------------------------------

FileListView::FileListView(QWidget *parent) : QTreeWidget(parent) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

QStringList FileListView::DroppedImageFiles(const QList<QUrl> &urls) {
    static const QStringList kImageSuffixes = {
        QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
        QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("gif")};
    QStringList paths;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile()) continue;
        const QFileInfo info(url.toLocalFile());
        if (!info.isFile()) continue;
        if (!kImageSuffixes.contains(info.suffix(), Qt::CaseInsensitive)) continue;
        paths << info.absoluteFilePath();
    }
    return paths;
}

void FileListView::keyPressEvent(QKeyEvent *event) {
    if (event->matches(QKeySequence::Delete)) {
        emit deleteKeyPressed();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void FileListView::dragEnterEvent(QDragEnterEvent *event) {
    if (event->mimeData()->hasUrls() &&
        !DroppedImageFiles(event->mimeData()->urls()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FileListView::dragMoveEvent(QDragMoveEvent *event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FileListView::dropEvent(QDropEvent *event) {
    const QStringList paths = event->mimeData()->hasUrls()
                                  ? DroppedImageFiles(event->mimeData()->urls())
                                  : QStringList();
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(paths);
}

// ---- TFormMain ------------------------------------------------------------

TFormMain::TFormMain(UserDialogs &dialogs, const std::string &ini_file_name,
                     QWidget *parent)
    : QMainWindow(parent), IniFileName(ini_file_name), dialogs_(dialogs) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Bindwick"));
    setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));

    createActions();
    createMenus();
    createToolBar();
    createList();

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("PanelMain"));
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(createTitleArea());
    layout->addWidget(createListHeader());
    layout->addWidget(ListViewInFile, 1);

    BitBtnSaveAs = new QPushButton(central);
    BitBtnSaveAs->setObjectName(QStringLiteral("BitBtnSaveAs"));
    BindButton(BitBtnSaveAs, ActionSaveAs,
               QStringLiteral("PDFファイルへの書き出し(Ctrl+S)"));
    BitBtnSaveAs->setIcon(ActionSaveAs->icon());
    BitBtnSaveAs->setFixedHeight(kSaveButtonHeight);
    BitBtnSaveAs->setDefault(true);
    layout->addWidget(BitBtnSaveAs);
    setCentralWidget(central);

    resize(kWindowWidth, kWindowHeight);

    createDialogs();
    form_pref_ = new TFormPref(this, IniFileName, dialogs_);
    if (form_pref_->IsUseCwd()) {
        const QString cwd = QDir::currentPath();
        OpenDialog1.directory = cwd;
        SaveDialog1.directory = cwd;
    }
}

TFormMain::~TFormMain() = default;

std::string TFormMain::DefaultIniFileName(const QString &executable_path) {
    return SettingsFilePath(ToBytes(executable_path));
}

void TFormMain::createActions() {
    struct ActionEntry {
        QAction **action;
        const char *name;
        QString caption;
        QString hint;
        QKeySequence shortcut;
        QStyle::StandardPixmap icon;
        void (TFormMain::*handler)();
        bool list_command;
    };
    const ActionEntry entries[] = {
        {&ActionListAdd, "ActionListAdd", QStringLiteral("追加(&A)"),
         QStringLiteral("画像ファイルを追加します（複数選択可）"), {},
         QStyle::SP_FileDialogNewFolder, &TFormMain::ActionListAddExecute, true},
        {&ActionListDel, "ActionListDel", QStringLiteral("削除(&D)"),
         QStringLiteral("選択中のファイルをリストから削除"), {},
         QStyle::SP_TrashIcon, &TFormMain::ActionListDelExecute, true},
        {&ActionListUp, "ActionListUp", QStringLiteral("上へ(&U)"),
         QStringLiteral("選択したファイルをひとつ上へ移動します"), {},
         QStyle::SP_ArrowUp, &TFormMain::ActionListUpExecute, true},
        {&ActionListDown, "ActionListDown", QStringLiteral("下へ(&D)"),
         QStringLiteral("選択したファイルをひとつ下へ移動します"), {},
         QStyle::SP_ArrowDown, &TFormMain::ActionListDownExecute, true},
        {&ActionSaveAs, "ActionSaveAs", QStringLiteral("名前を付けて保存(&A)"),
         QStringLiteral("PDFファイルへの書き出し"), QKeySequence(Qt::CTRL | Qt::Key_S),
         QStyle::SP_DialogSaveButton, &TFormMain::ActionSaveAsExecute, false},
        {&ActionExit, "ActionExit", QStringLiteral("終了(&X)"),
         QStringLiteral("プログラムの終了"), {},
         QStyle::SP_DialogCloseButton, &TFormMain::ActionExitExecute, false},
        {&ActionShowPref, "ActionShowPref", QStringLiteral("設定(&P)"),
         QStringLiteral("設定画面の表示"), {},
         QStyle::SP_FileDialogDetailedView, &TFormMain::ActionShowPrefExecute, false},
    };
    for (const ActionEntry &entry : entries) {
        auto *action = new QAction(entry.caption, this);
        action->setObjectName(QString::fromLatin1(entry.name));
        action->setToolTip(entry.hint);
        action->setIcon(style()->standardIcon(entry.icon));
        if (!entry.shortcut.isEmpty()) {
            action->setShortcut(entry.shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
        }
        if (entry.list_command) {
            action->setProperty("category", QString::fromUtf8(kListCategory));
        }
        connect(action, &QAction::triggered, this, entry.handler);
        // Owned by the window, so window-wide shortcuts work whether or not
        // a menu or button shows the action.
        addAction(action);
        *entry.action = action;
    }
}

void TFormMain::createMenus() {
    // Menu entries with a caption of their own forward to their action.
    auto entry_for = [this](QAction *command, const QString &caption,
                            const char *name) {
        auto *entry = new QAction(caption, this);
        entry->setObjectName(QString::fromLatin1(name));
        entry->setToolTip(command->toolTip());
        entry->setIcon(command->icon());
        connect(entry, &QAction::triggered, command, &QAction::trigger);
        connect(command, &QAction::changed, entry,
                [entry, command] { entry->setEnabled(command->isEnabled()); });
        return entry;
    };

    QMenu *file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("MenuFile"));
    // The add command's shortcut belongs to this entry only.
    QAction *file_add =
        entry_for(ActionListAdd, QStringLiteral("画像ファイルを追加(&A)"), "MenuFileAdd");
    file_add->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    file_add->setShortcutContext(Qt::WindowShortcut);
    file->addAction(file_add);
    file->addSeparator();
    // Ctrl+S belongs to the action; the entry only shows it, after a tab.
    file->addAction(entry_for(
        ActionSaveAs,
        QStringLiteral("PDFファイルへの書き出し(&A)") + QLatin1Char('\t') +
            ActionSaveAs->shortcut().toString(QKeySequence::NativeText),
        "MenuFileSaveAs"));
    file->addAction(ActionExit);

    QMenu *list = menuBar()->addMenu(QStringLiteral("リスト(&L)"));
    list->setObjectName(QStringLiteral("MenuList"));
    list->addAction(ActionListAdd);
    list->addAction(ActionListDel);
    list->addSeparator();
    list->addAction(ActionListUp);
    list->addAction(ActionListDown);

    // Directly on the menu bar, as text (the bar would show an icon alone),
    // with the preferences' shortcut.
    QAction *pref = entry_for(ActionShowPref, ActionShowPref->text(), "MenuPref");
    pref->setIcon(QIcon());
    pref->setShortcut(QKeySequence(Qt::Key_F4));
    pref->setShortcutContext(Qt::WindowShortcut);
    menuBar()->addAction(pref);
}

void TFormMain::createToolBar() {
    QToolBar *bar = addToolBar(QStringLiteral("ToolBar1"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->toggleViewAction()->setEnabled(false);
    // Tool buttons rather than QToolBar::addAction, which would show an
    // action only once.
    struct Button {
        QAction *action;  // nullptr: separator
        const char *name;
    };
    const Button buttons[] = {
        {ActionListAdd, "ToolButtonAdd"},    {ActionSaveAs, "ToolButtonSaveAs"},
        {ActionExit, "ToolButtonExit"},      {nullptr, nullptr},
        {ActionListAdd, "ToolButtonListAdd"}, {ActionListDel, "ToolButtonListDel"},
        {ActionListUp, "ToolButtonListUp"},  {ActionListDown, "ToolButtonListDown"},
        {nullptr, nullptr},                  {ActionShowPref, "ToolButtonShowPref"},
    };
    for (const Button &entry : buttons) {
        if (entry.action == nullptr) {
            bar->addSeparator();
            continue;
        }
        auto *button = new QToolButton(bar);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setDefaultAction(entry.action);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        bar->addWidget(button);
    }
}

QWidget *TFormMain::createTitleArea() {
    auto *area = new QWidget;
    area->setObjectName(QStringLiteral("PanelTitle"));
    area->setFixedHeight(kTitleAreaHeight);
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->setSpacing(1);

    struct Field {
        QLineEdit **edit;
        const char *name;
        const char *label_name;
        QString label;
    };
    const Field fields[] = {
        {&EditTitle, "EditTitle", "LabelTitle", QStringLiteral("タイトル")},
        {&EditSubTitle, "EditSubTitle", "LabelSubTitle", QStringLiteral("サブタイトル")},
        {&EditAuthor, "EditAuthor", "LabelAuthor", QStringLiteral("著者名")},
    };
    for (const Field &field : fields) {
        auto *label = new QLabel(field.label, area);
        label->setObjectName(QString::fromLatin1(field.label_name));
        // One space, not empty: the library refuses an empty document text.
        auto *edit = new QLineEdit(QStringLiteral(" "), area);
        edit->setObjectName(QString::fromLatin1(field.name));
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit);
        *field.edit = edit;
    }
    layout->addSpacing(4);

    ProgressBar1 = new QProgressBar(area);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedHeight(16);
    layout->addWidget(ProgressBar1);
    return area;
}

QWidget *TFormMain::createListHeader() {
    auto *header = new QWidget;
    header->setObjectName(QStringLiteral("PanelListHeader"));
    header->setFixedHeight(kListHeaderHeight);
    auto *layout = new QHBoxLayout(header);
    layout->setContentsMargins(8, 2, 4, 2);
    layout->setSpacing(4);
    auto *caption = new QLabel(QStringLiteral("変換対象ファイル一覧"), header);
    caption->setObjectName(QStringLiteral("LabelFileList"));
    layout->addWidget(caption);
    layout->addStretch();
    struct Button {
        QAction *action;
        const char *name;
    };
    const Button buttons[] = {
        {ActionListAdd, "ButtonListAdd"},
        {ActionListDel, "ButtonListDel"},
        {ActionListUp, "ButtonListUp"},
        {ActionListDown, "ButtonListDown"},
    };
    for (const Button &entry : buttons) {
        auto *button = new QPushButton(header);
        button->setObjectName(QString::fromLatin1(entry.name));
        BindButton(button, entry.action);
        // Enter on a focused button presses that button, not the default one.
        button->setAutoDefault(true);
        layout->addWidget(button);
    }
    return header;
}

void TFormMain::createList() {
    ListViewInFile = new FileListView(this);
    ListViewInFile->setObjectName(QStringLiteral("ListViewInFile"));
    ListViewInFile->setColumnCount(2);
    ListViewInFile->setHeaderLabels(
        {QStringLiteral("ファイル名"), QStringLiteral("ファイル形式")});
    ListViewInFile->header()->setStretchLastSection(false);
    ListViewInFile->setColumnWidth(0, kPathColumnWidth);
    ListViewInFile->setColumnWidth(1, kTypeColumnWidth);
    ListViewInFile->setRootIsDecorated(false);
    ListViewInFile->setItemsExpandable(false);
    ListViewInFile->setUniformRowHeights(true);
    ListViewInFile->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListViewInFile->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListViewInFile->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListViewInFile->setToolTip(QStringLiteral(
        "PDF化するファイルの一覧です。上の方のファイルから順番にページが作成されます。"));

    list_context_menu_ = new QMenu(ListViewInFile);
    list_context_menu_->setObjectName(QStringLiteral("PopupMenuList"));
    list_context_menu_->addAction(ActionListAdd);
    list_context_menu_->addAction(ActionListDel);
    list_context_menu_->addSeparator();
    list_context_menu_->addAction(ActionListUp);
    list_context_menu_->addAction(ActionListDown);
    ListViewInFile->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListViewInFile, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) {
                list_context_menu_->popup(ListViewInFile->viewport()->mapToGlobal(pos));
            });

    connect(ListViewInFile, &FileListView::filesDropped, this, &TFormMain::AddPaths);
    connect(ListViewInFile, &FileListView::deleteKeyPressed, ActionListDel,
            &QAction::trigger);
}

void TFormMain::createDialogs() {
    OpenDialog1.filters = {
        {QStringLiteral("JPEG形式(*.jpg,*.jpeg)"), QStringLiteral("*.jpg *.jpeg")},
        {QStringLiteral("PNG形式(*.png)"), QStringLiteral("*.png")},
        {QStringLiteral("TIFF形式(*.tiff)"), QStringLiteral("*.tiff")},
        // "*" rather than "*.*", which would hide files without a dot here.
        {QStringLiteral("全てのファイル形式"), QStringLiteral("*")},
    };
    SaveDialog1.filters = {
        {QStringLiteral("Portable Document Format(*.pdf)"), QStringLiteral("*.pdf")},
        {QStringLiteral("全てのファイル形式(*.*)"), QStringLiteral("*")},
    };
    SaveDialog1.defaultSuffix = QStringLiteral("pdf");
}

// ---- List mirror ----------------------------------------------------------

void TFormMain::takeSelectionFromView() {
    const int rows = ListViewInFile->topLevelItemCount();
    for (int row = 0; row < rows; ++row) {
        files_.SetSelected(static_cast<std::size_t>(row),
                           ListViewInFile->topLevelItem(row)->isSelected());
    }
    QTreeWidgetItem *current = ListViewInFile->currentItem();
    if (current == nullptr) {
        files_.SetFocused(std::nullopt);
    } else {
        files_.SetFocused(
            static_cast<std::size_t>(ListViewInFile->indexOfTopLevelItem(current)));
    }
}

void TFormMain::refreshView() {
    ListViewInFile->clear();
    QList<QTreeWidgetItem *> items;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const FileEntry &entry = files_.at(i);
        items << new QTreeWidgetItem(
            QStringList{FromBytes(entry.path), FromBytes(entry.type)});
    }
    ListViewInFile->addTopLevelItems(items);

    QItemSelectionModel *selection = ListViewInFile->selectionModel();
    const auto focused = files_.Focused();
    selection->setCurrentIndex(
        focused ? ListViewInFile->model()->index(static_cast<int>(*focused), 0)
                : QModelIndex(),
        QItemSelectionModel::NoUpdate);
    for (std::size_t i = 0; i < files_.size(); ++i) {
        items[static_cast<int>(i)]->setSelected(files_.IsSelected(i));
    }
}

// ---- Commands -------------------------------------------------------------

void TFormMain::AddPaths(const QStringList &paths) {
    if (paths.isEmpty()) return;
    std::vector<std::string> bytes;
    bytes.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString &path : paths) bytes.push_back(ToBytes(path));
    takeSelectionFromView();
    files_.AddFiles(bytes);
    refreshView();
}

void TFormMain::ActionListAddExecute() {
    AddPaths(dialogs_.getOpenFileNames(this, OpenDialog1));
}

void TFormMain::ActionListDelExecute() {
    takeSelectionFromView();
    files_.DeleteSelected();
    refreshView();
}

void TFormMain::ActionListUpExecute() {
    takeSelectionFromView();
    files_.MoveUp();
    refreshView();
}

void TFormMain::ActionListDownExecute() {
    takeSelectionFromView();
    files_.MoveDown();
    refreshView();
}

void TFormMain::ActionSaveAsExecute() {
    const QString output = dialogs_.getSaveFileName(this, SaveDialog1);
    if (output.isEmpty()) return;

    BookRequest request;
    request.output_path = ToBytes(output);
    takeSelectionFromView();
    request.entries = files_.Entries();
    request.title = EditTitle->text().toStdString();
    request.subtitle = EditSubTitle->text().toStdString();
    request.author = EditAuthor->text().toStdString();
    request.compression = form_pref_->CompressRate();
    request.page = form_pref_->GetPageSetup();

    // The whole run happens here, without returning to the event loop, so
    // the window takes no input until the final message.
    GuiBookReporter reporter(*this, dialogs_);
    BookWriter(reporter).Write(request);
}

void TFormMain::ActionExitExecute() { close(); }

void TFormMain::ActionShowPrefExecute() { form_pref_->exec(); }

void TFormMain::keyPressEvent(QKeyEvent *event) {
    // The save button is the window's default button: Enter that no other
    // control used starts the writing, unless a button has the focus.
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        qobject_cast<QAbstractButton *>(focusWidget()) == nullptr) {
        BitBtnSaveAs->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

}  // namespace bindwick
