// bindwick_main.cpp -- the main window: actions, layout, list commands and
// the Save command.
#include "bindwick_main.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "book_job.h"
#include "book_writer.h"
#include "image_files.h"
#include "unitpreference.h"

namespace bindwick {

namespace {

constexpr int kWindowWidth = 545;
constexpr int kWindowHeight = 555;
// The least height of the save button; larger fonts make it taller.
constexpr int kSaveButtonHeight = 35;
// At most this many files are listed in one message; the rest are counted.
constexpr int kListedProblems = 20;

const char kListCategory[] = "リスト操作";

enum Column { kPathColumn, kTypeColumn, kSizeColumn, kMarkColumn, kColumnCount };

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

// A text that QProgressBar::setFormat shows as it is.
QString LiteralFormat(const QString &text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

// "*.[jJ][pP][gG] ..." for "jpg ...": the dialogs match names in any case.
QString AnyCasePatterns(const QString &extensions) {
    QStringList patterns;
    for (const QString &extension : extensions.split(QLatin1Char(' '))) {
        QString pattern = QStringLiteral("*.");
        for (const QChar c : extension)
            pattern += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        patterns << pattern;
    }
    return patterns.join(QLatin1Char(' '));
}

}  // namespace

// ---- TFormMain ------------------------------------------------------------

TFormMain::TFormMain(UserDialogs &dialogs, const std::string &ini_file_name,
                     QWidget *parent, ImageInfoCache::Maker image_info)
    : QMainWindow(parent), IniFileName(ini_file_name), dialogs_(dialogs) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Bindwick"));

    job_ = new BookJob(this);
    connect(job_, &BookJob::progress, this, &TFormMain::showProgress);
    connect(job_, &BookJob::finished, this, &TFormMain::bookFinished);
    image_info_ = new ImageInfoCache(this, std::move(image_info));
    connect(image_info_, &ImageInfoCache::ready, this, &TFormMain::imageInfoReady);

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
    BitBtnSaveAs->setMinimumHeight(kSaveButtonHeight);
    BitBtnSaveAs->setDefault(true);
    layout->addWidget(BitBtnSaveAs);
    setCentralWidget(central);

    resize(kWindowWidth, kWindowHeight);

    createDialogs();
    form_pref_ = new TFormPref(this, IniFileName, dialogs_);
    takeImageChoices();
    connect(form_pref_, &QDialog::finished, this, &TFormMain::takeImageChoices);
    if (form_pref_->IsUseCwd()) {
        const QString cwd = QDir::currentPath();
        OpenDialog1.directory = cwd;
        SaveDialog1.directory = cwd;
    }
}

TFormMain::~TFormMain() {
    // The run's thread must not outlive the window it reports to.
    closing_ = true;
    job_->stop();
    job_->wait();
}

bool TFormMain::IsSaving() const { return job_->running(); }

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
        {&ActionSelectionUp, "ActionSelectionUp", QStringLiteral("選択範囲を上へ"),
         QStringLiteral("選択したファイルをまとめてひとつ上へ移動します"),
         QKeySequence(Qt::CTRL | Qt::Key_Up), QStyle::SP_ArrowUp,
         &TFormMain::ActionSelectionUpExecute, true},
        {&ActionSelectionDown, "ActionSelectionDown", QStringLiteral("選択範囲を下へ"),
         QStringLiteral("選択したファイルをまとめてひとつ下へ移動します"),
         QKeySequence(Qt::CTRL | Qt::Key_Down), QStyle::SP_ArrowDown,
         &TFormMain::ActionSelectionDownExecute, true},
        {&ActionListSort, "ActionListSort", QStringLiteral("名前順に並べ替え"),
         QStringLiteral("ファイル名の順（page2 は page10 の前）に並べ替えます"), {},
         QStyle::SP_FileDialogListView, &TFormMain::ActionListSortExecute, true},
        {&ActionSaveAs, "ActionSaveAs", QStringLiteral("名前を付けて保存(&A)"),
         QStringLiteral("PDFファイルへの書き出し"), QKeySequence(Qt::CTRL | Qt::Key_S),
         QStyle::SP_DialogSaveButton, &TFormMain::ActionSaveAsExecute, false},
        {&ActionStop, "ActionStop", QStringLiteral("中止"),
         QStringLiteral("書き出しを中止します（ファイルは作られません）"), {},
         QStyle::SP_BrowserStop, &TFormMain::ActionStopExecute, false},
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
    list->addSeparator();
    list->addAction(ActionSelectionUp);
    list->addAction(ActionSelectionDown);
    list->addAction(ActionListSort);

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
        // The boxes start with one space, as they always have; the book
        // writer drops white space at either end, so it is never stored.
        auto *edit = new QLineEdit(QStringLiteral(" "), area);
        edit->setObjectName(QString::fromLatin1(field.name));
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit);
        *field.edit = edit;
    }
    layout->addSpacing(4);
    layout->addWidget(createProgressRow(area));
    return area;
}

QWidget *TFormMain::createProgressRow(QWidget *parent) {
    auto *row = new QWidget(parent);
    row->setObjectName(QStringLiteral("PanelProgress"));
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    ProgressBar1 = new QProgressBar(row);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    layout->addWidget(ProgressBar1, 1);
    // Shown only while a book is written.
    ButtonStop = new QPushButton(row);
    ButtonStop->setObjectName(QStringLiteral("ButtonStop"));
    BindButton(ButtonStop, ActionStop);
    ButtonStop->setIcon(ActionStop->icon());
    ButtonStop->setVisible(false);
    layout->addWidget(ButtonStop);
    return row;
}

QWidget *TFormMain::createListHeader() {
    auto *header = new QWidget;
    header->setObjectName(QStringLiteral("PanelListHeader"));
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
    ListViewInFile->setColumnCount(kColumnCount);
    ListViewInFile->setHeaderLabels({QStringLiteral("ファイル名"), QStringLiteral("ファイル形式"),
                                     QStringLiteral("大きさ"), QStringLiteral("埋め込み")});
    // The path takes what the other columns leave; they fit their texts.
    QHeaderView *header = ListViewInFile->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kPathColumn, QHeaderView::Stretch);
    const int icon = ListViewInFile->fontMetrics().height() * 3;
    ListViewInFile->setIconSize(QSize(icon, icon));
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
    list_context_menu_->addSeparator();
    list_context_menu_->addAction(ActionListSort);
    ListViewInFile->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListViewInFile, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) {
                list_context_menu_->popup(ListViewInFile->viewport()->mapToGlobal(pos));
            });

    connect(ListViewInFile, &FileListView::filesDropped, this, &TFormMain::AddPaths);
    connect(ListViewInFile, &FileListView::rowsDropped, this, [this](int row) {
        changeList([&] { files_.MoveSelectionTo(static_cast<std::size_t>(row)); });
    });
    connect(ListViewInFile, &FileListView::deleteKeyPressed, ActionListDel,
            &QAction::trigger);
}

void TFormMain::createDialogs() {
    // Types come from the files' content; the filters only help to find
    // them, whatever the case of their extensions.
    OpenDialog1.filters = {
        {QStringLiteral("すべての画像ファイル(*.jpg,*.jpeg,*.png,*.tif,*.tiff,*.gif)"),
         AnyCasePatterns(QStringLiteral("jpg jpeg png tif tiff gif"))},
        {QStringLiteral("JPEG形式(*.jpg,*.jpeg)"), AnyCasePatterns(QStringLiteral("jpg jpeg"))},
        {QStringLiteral("PNG形式(*.png)"), AnyCasePatterns(QStringLiteral("png"))},
        {QStringLiteral("TIFF形式(*.tif,*.tiff)"), AnyCasePatterns(QStringLiteral("tif tiff"))},
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
        auto *item = new QTreeWidgetItem(QStringList{FromBytes(entry.path), FromBytes(entry.type)});
        showImageInfo(item, entry);
        items << item;
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

template <typename Command>
void TFormMain::changeList(Command command) {
    takeSelectionFromView();
    command();
    refreshView();
}

void TFormMain::showImageInfo(QTreeWidgetItem *item, const FileEntry &entry) {
    const ImageInfo *info = image_info_->find(entry);
    if (info == nullptr) {
        // A blank icon keeps the rows as tall as they will be.
        QPixmap blank(ListViewInFile->iconSize());
        blank.fill(Qt::transparent);
        item->setIcon(kPathColumn, QIcon(blank));
        item->setText(kMarkColumn, QStringLiteral("…"));
        item->setToolTip(kMarkColumn, QStringLiteral("画像を調べています"));
        return;
    }
    const ProbedImage &facts = info->facts;
    item->setIcon(kPathColumn, info->thumbnail.isNull()
                                   ? style()->standardIcon(QStyle::SP_FileIcon)
                                   : QIcon(QPixmap::fromImage(info->thumbnail)));
    if (!facts.bindable) {
        QString reason = QString::fromUtf8(ImageProblemText(facts.problem));
        if (!facts.library_message.empty())
            reason += QStringLiteral("\n") + QString::fromStdString(facts.library_message);
        item->setText(kSizeColumn, QString());
        item->setText(kMarkColumn, QStringLiteral("× 開けません"));
        item->setToolTip(kMarkColumn, reason);
        return;
    }
    QString size = QStringLiteral("%1 × %2").arg(facts.width).arg(facts.height);
    if (facts.pages > 1) size += QStringLiteral("（%1ページ中1ページ目）").arg(facts.pages);
    item->setText(kSizeColumn, size);
    item->setText(kMarkColumn, facts.unchanged ? QStringLiteral("そのまま")
                                               : QStringLiteral("再圧縮"));
    item->setToolTip(kMarkColumn,
                     facts.unchanged
                         ? QStringLiteral("画像データをそのまま埋め込みます")
                         : QStringLiteral("画像を展開し、劣化なしで圧縮し直して埋め込みます"));
}

void TFormMain::imageInfoReady(const QString &path) {
    for (int row = 0; row < ListViewInFile->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = ListViewInFile->topLevelItem(row);
        if (item->text(kPathColumn) == path)
            showImageInfo(item, files_.at(static_cast<std::size_t>(row)));
    }
}

void TFormMain::takeImageChoices() {
    BookRequest choices;
    form_pref_->TakeImageChoices(choices);
    if (!image_info_->setKeepAlpha(choices.keep_alpha)) return;
    for (int row = 0; row < ListViewInFile->topLevelItemCount(); ++row)
        showImageInfo(ListViewInFile->topLevelItem(row), files_.at(static_cast<std::size_t>(row)));
}

// ---- Commands -------------------------------------------------------------

void TFormMain::AddPaths(const QStringList &paths) {
    if (paths.isEmpty() || IsSaving()) return;
    std::vector<std::string> bytes;
    bytes.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString &path : paths) bytes.push_back(ToBytes(path));
    const GatheredImages gathered = GatherImages(bytes);
    if (!gathered.images.empty()) {
        changeList([&] { files_.AddFiles(gathered.images); });
        dialogs_.rememberFolder(QFileInfo(FromBytes(gathered.images.front().path)).absolutePath());
    }
    showRejected(QStringLiteral("次のファイルは追加できませんでした。"), gathered.rejected);
}

void TFormMain::showRejected(const QString &heading,
                             const std::vector<RejectedFile> &files) {
    if (files.empty()) return;
    QStringList lines{heading, QString()};
    for (std::size_t i = 0; i < files.size() && i < kListedProblems; ++i) {
        lines << FromBytes(files[i].path) + QString::fromUtf8(kImageNotOpenedSuffix) +
                     QStringLiteral("（") + QString::fromUtf8(ImageProblemText(files[i].problem)) +
                     QStringLiteral("）");
    }
    if (files.size() > kListedProblems)
        lines << QStringLiteral("ほか %1 件").arg(files.size() - kListedProblems);
    dialogs_.showMessage(this, QMessageBox::Warning, QString(), lines.join(QLatin1Char('\n')));
}

void TFormMain::ActionListAddExecute() {
    AddPaths(dialogs_.getOpenFileNames(this, OpenDialog1));
}

void TFormMain::ActionListDelExecute() {
    changeList([this] { files_.DeleteSelected(); });
}

void TFormMain::ActionListUpExecute() {
    changeList([this] { files_.MoveUp(); });
}

void TFormMain::ActionListDownExecute() {
    changeList([this] { files_.MoveDown(); });
}

void TFormMain::ActionSelectionUpExecute() {
    changeList([this] { files_.MoveSelection(-1); });
}

void TFormMain::ActionSelectionDownExecute() {
    changeList([this] { files_.MoveSelection(1); });
}

void TFormMain::ActionListSortExecute() {
    changeList([this] { files_.SortByName(); });
}

void TFormMain::ActionSaveAsExecute() {
    if (IsSaving()) return;
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
    form_pref_->TakeImageChoices(request);

    saving_to_ = output;
    setSaving(true);
    job_->start(request);
}

void TFormMain::ActionStopExecute() { job_->stop(); }

void TFormMain::setSaving(bool saving) {
    for (QAction *action : {ActionListAdd, ActionListDel, ActionListUp, ActionListDown,
                            ActionSelectionUp, ActionSelectionDown, ActionListSort,
                            ActionSaveAs}) {
        action->setEnabled(!saving);
    }
    ActionStop->setEnabled(saving);
    ButtonStop->setVisible(saving);
    ListViewInFile->setDragEnabled(!saving);
    ListViewInFile->viewport()->setAcceptDrops(!saving);
    if (saving) {
        ProgressBar1->setValue(0);
        ProgressBar1->setTextVisible(true);
    }
}

void TFormMain::showProgress(int done, int count, const QString &current) {
    // A range of 0..0 would turn the bar into a busy indicator; an empty
    // list shows an empty bar instead.
    ProgressBar1->setMaximum(count > 0 ? count : 1);
    ProgressBar1->setValue(done);
    QString format = QStringLiteral("%v / %m");
    if (!current.isEmpty()) format += QStringLiteral("　") + LiteralFormat(QFileInfo(current).fileName());
    ProgressBar1->setFormat(format);
}

void TFormMain::bookFinished(const BookResult &result) {
    setSaving(false);
    ProgressBar1->setFormat(QStringLiteral("%v / %m"));
    if (!closing_) {
        showRejected(QStringLiteral("次のファイルはページにできませんでした。"), result.not_opened);
        const QString output = saving_to_;
        switch (result.outcome) {
        case BookOutcome::kWritten: {
            dialogs_.rememberFolder(QFileInfo(output).absolutePath());
            const auto choice = dialogs_.showBookWritten(
                this, output, QString::fromUtf8(kBookWrittenText) + QLatin1Char('\n') + output);
            if (choice == UserDialogs::AfterSave::kOpenDocument)
                dialogs_.openUrl(QUrl::fromLocalFile(output));
            else if (choice == UserDialogs::AfterSave::kOpenFolder)
                dialogs_.openUrl(QUrl::fromLocalFile(QFileInfo(output).absolutePath()));
            break;
        }
        case BookOutcome::kOutputNotCreated:
            dialogs_.showMessage(this, QMessageBox::Critical, QString(),
                                 output + QString::fromUtf8(kOutputNotCreatedSuffix));
            break;
        case BookOutcome::kLibraryError:
            dialogs_.showMessage(this, QMessageBox::Critical, QString(),
                                 QString::fromUtf8(kLibraryErrorPrefix) +
                                     QString::fromStdString(result.library_message));
            break;
        case BookOutcome::kStopped:
            break;
        }
    }
    emit saveFinished();
}

void TFormMain::closeEvent(QCloseEvent *event) {
    if (IsSaving()) {
        if (!dialogs_.askYesNo(this, QStringLiteral("PDFファイルを書き出しています。\n"
                                                    "中止して終了しますか？"))) {
            event->ignore();
            return;
        }
        closing_ = true;
        job_->stop();
        job_->wait();
    }
    QMainWindow::closeEvent(event);
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

std::unique_ptr<TFormMain> StartProgram(UserDialogs &dialogs,
                                        const SettingsChoice &settings,
                                        const QStringList &arguments) {
    auto window = std::make_unique<TFormMain>(dialogs, settings.path);
    window->show();
    if (!settings.notice.empty()) {
        dialogs.showMessage(window.get(), QMessageBox::Information, QString(),
                            QString::fromStdString(settings.notice));
    }
    QStringList paths;
    for (const QString &argument : arguments) paths << QFileInfo(argument).absoluteFilePath();
    window->AddPaths(paths);
    return window;
}

}  // namespace bindwick
