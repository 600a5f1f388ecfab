// Drives the real main window through its actions, keys and widgets, with
// the file dialogs and message boxes scripted by FakeDialogs.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QSemaphore>
#include <QThread>
#include <QSignalSpy>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTimer>
#include <memory>

#include "bindwick_main.h"
#include "fake_dialogs.h"
#include "jpeg_fixture.h"
#include "test_support.h"
#include "translations.h"
#include "unitpreference.h"

using bindwick::TFormMain;

namespace {

QString Run(const QString &program, const QStringList &args, int *status = nullptr) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished(30000);
    if (status) *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput());
}

QList<int> SelectedRows(const TFormMain &window) {
    QList<int> rows;
    for (int i = 0; i < window.ListViewInFile->topLevelItemCount(); ++i) {
        if (window.ListViewInFile->topLevelItem(i)->isSelected()) rows << i;
    }
    return rows;
}

// The file names (without folders) of the list, top to bottom.
QStringList Names(const TFormMain &window) {
    QStringList names;
    for (int i = 0; i < window.ListViewInFile->topLevelItemCount(); ++i)
        names << QFileInfo(window.ListViewInFile->topLevelItem(i)->text(0)).fileName();
    return names;
}

QStringList Column(const TFormMain &window, int column) {
    QStringList texts;
    for (int i = 0; i < window.ListViewInFile->topLevelItemCount(); ++i) {
        texts << window.ListViewInFile->topLevelItem(i)->text(column);
    }
    return texts;
}

void Select(TFormMain &window, const QList<int> &rows) {
    window.ListViewInFile->clearSelection();
    for (int row : rows) window.ListViewInFile->topLevelItem(row)->setSelected(true);
}

// The entries of a menu as texts, "-" for a separator.
QStringList MenuEntries(const QMenu *menu) {
    QStringList entries;
    for (const QAction *action : menu->actions()) {
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return entries;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    FakeDialogs dialogs_;
    std::unique_ptr<TFormMain> window_;

    QString path(const QString &name) const { return dir_->filePath(name); }
    QString jpeg(const QString &name, int width, int height) const {
        const QString file = path(name);
        testfixture::WriteSolidJpeg(QFile::encodeName(file).toStdString(), width,
                                    height, 200, 60, 20);
        return file;
    }
    // Adds through the open dialog; bare names are small JPEG files in the
    // test's folder, made when missing.
    void add(const QStringList &names) {
        QStringList paths;
        for (const QString &name : names) {
            paths << (name.contains('/') ? name : path(name));
            if (!name.contains('/') && !QFile::exists(paths.last())) jpeg(name, 8, 8);
        }
        dialogs_.open_answers.enqueue(paths);
        window_->ActionListAdd->trigger();
    }
    // Saves through the save dialog and waits until the run's messages
    // have been shown.
    void save(const QString &output) {
        QSignalSpy finished(window_.get(), &TFormMain::saveFinished);
        dialogs_.save_answers.enqueue(output);
        window_->ActionSaveAs->trigger();
        QVERIFY(finished.wait(60000));
    }
    // Drops `urls` on the list.
    void drop(const QList<QUrl> &urls) {
        QMimeData data;
        data.setUrls(urls);
        QWidget *target = window_->ListViewInFile->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    QString image(const QString &name, const char *format, int width, int height) const {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(QColor(20, 120, 200));
        picture.save(path(name), format);
        return path(name);
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        dialogs_ = FakeDialogs();
        window_ = std::make_unique<TFormMain>(
            dialogs_, QFile::encodeName(path("bindwick.ini")).toStdString());
    }
    void cleanup() { window_.reset(); }

    void actionTexts_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("holder");  // where the shortcut is bound
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("add") << "ActionListAdd" << "追加(&A)"
            << "画像ファイルを追加します（複数選択可）" << "MenuFileAdd" << QKeySequence("Ctrl+O");
        QTest::newRow("delete") << "ActionListDel" << "削除(&D)"
            << "選択中のファイルをリストから削除" << "ActionListDel" << QKeySequence();
        QTest::newRow("up") << "ActionListUp" << "上へ(&U)"
            << "選択したファイルをひとつ上へ移動します" << "ActionListUp" << QKeySequence();
        QTest::newRow("down") << "ActionListDown" << "下へ(&D)"
            << "選択したファイルをひとつ下へ移動します" << "ActionListDown" << QKeySequence();
        QTest::newRow("selection up") << "ActionSelectionUp" << "選択範囲を上へ"
            << "選択したファイルをまとめてひとつ上へ移動します" << "ActionSelectionUp"
            << QKeySequence("Ctrl+Up");
        QTest::newRow("selection down") << "ActionSelectionDown" << "選択範囲を下へ"
            << "選択したファイルをまとめてひとつ下へ移動します" << "ActionSelectionDown"
            << QKeySequence("Ctrl+Down");
        QTest::newRow("sort") << "ActionListSort" << "名前順に並べ替え"
            << "ファイル名の順（page2 は page10 の前）に並べ替えます" << "ActionListSort"
            << QKeySequence();
        QTest::newRow("save") << "ActionSaveAs" << "名前を付けて保存(&A)"
            << "PDFファイルへの書き出し" << "ActionSaveAs" << QKeySequence("Ctrl+S");
        QTest::newRow("exit") << "ActionExit" << "終了(&X)"
            << "プログラムの終了" << "ActionExit" << QKeySequence();
        QTest::newRow("preferences") << "ActionShowPref" << "設定(&P)"
            << "設定画面の表示" << "MenuPref" << QKeySequence("F4");
    }
    void actionTexts() {
        QFETCH(QString, action);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(QString, holder);
        QFETCH(QKeySequence, shortcut);
        auto *command = window_->findChild<QAction *>(action);
        QVERIFY(command);
        QCOMPARE(command->text(), caption);
        QCOMPARE(command->toolTip(), hint);
        auto *bound = window_->findChild<QAction *>(holder);
        QVERIFY(bound);
        QCOMPARE(bound->shortcut(), shortcut);
        // Exactly one action in the window answers to a shortcut.
        if (!shortcut.isEmpty()) {
            int owners = 0;
            for (const QAction *any : window_->findChildren<QAction *>())
                owners += any->shortcut() == shortcut;
            QCOMPARE(owners, 1);
        }
        // Every tool button showing the action carries its hint.
        for (const QToolButton *button : window_->findChildren<QToolButton *>()) {
            if (button->defaultAction() == command) QCOMPARE(button->toolTip(), hint);
        }
        const bool list_command = action.startsWith(QStringLiteral("ActionList")) ||
                                  action.startsWith(QStringLiteral("ActionSelection"));
        QCOMPARE(command->property("category").toString(),
                 list_command ? QStringLiteral("リスト操作") : QString());
    }

    void layout() {
        TFormMain &w = *window_;
        QCOMPARE(w.windowTitle(), QStringLiteral("Bindwick"));
        QCOMPARE(w.size(), QSize(545, 555));
        QStringList bar;
        for (const QAction *a : w.menuBar()->actions()) bar << a->text();
        QCOMPARE(bar, (QStringList{"ファイル(&F)", "リスト(&L)", "設定(&P)"}));
        QCOMPARE(w.menuBar()->actions().at(2)->objectName(), QStringLiteral("MenuPref"));
        QVERIFY(w.menuBar()->actions().at(2)->icon().isNull());
        QCOMPARE(MenuEntries(w.menuBar()->actions().at(0)->menu()),
                 (QStringList{"画像ファイルを追加(&A)", "-",
                              "PDFファイルへの書き出し(&A)\tCtrl+S", "終了(&X)"}));
        QCOMPARE(MenuEntries(w.menuBar()->actions().at(1)->menu()),
                 (QStringList{"追加(&A)", "削除(&D)", "-", "上へ(&U)", "下へ(&D)", "-",
                              "選択範囲を上へ", "選択範囲を下へ", "名前順に並べ替え"}));
        QCOMPARE(MenuEntries(w.findChild<QMenu *>("PopupMenuList")),
                 (QStringList{"追加(&A)", "削除(&D)", "-", "上へ(&U)", "下へ(&D)", "-",
                              "名前順に並べ替え"}));

        QStringList tools;
        for (QAction *item : w.findChild<QToolBar *>("ToolBar1")->actions()) {
            if (item->isSeparator()) { tools << "-"; continue; }
            auto *button = qobject_cast<QToolButton *>(
                w.findChild<QToolBar *>("ToolBar1")->widgetForAction(item));
            QVERIFY(button);
            tools << button->defaultAction()->objectName();
        }
        QCOMPARE(tools, (QStringList{"ActionListAdd", "ActionSaveAs", "ActionExit", "-",
                                     "ActionListAdd", "ActionListDel", "ActionListUp",
                                     "ActionListDown", "-", "ActionShowPref"}));

        for (const char *name : {"LabelTitle", "LabelSubTitle", "LabelAuthor", "LabelFileList"})
            QVERIFY(w.findChild<QLabel *>(name));
        QCOMPARE(w.findChild<QLabel *>("LabelSubTitle")->text(), QStringLiteral("サブタイトル"));
        QCOMPARE(w.findChild<QLabel *>("LabelFileList")->text(),
                 QStringLiteral("変換対象ファイル一覧"));
        for (QLineEdit *edit : {w.EditTitle, w.EditSubTitle, w.EditAuthor})
            QCOMPARE(edit->text(), QStringLiteral(" "));
        QCOMPARE(w.ProgressBar1->minimum(), 0);
        QCOMPARE(w.ProgressBar1->maximum(), 100);

        QStringList header;
        for (const char *name : {"ButtonListAdd", "ButtonListDel", "ButtonListUp", "ButtonListDown"})
            header << w.findChild<QPushButton *>(name)->text();
        QCOMPARE(header, (QStringList{"追加(&A)", "削除(&D)", "上へ(&U)", "下へ(&D)"}));

        QStringList columns;
        for (int i = 0; i < w.ListViewInFile->columnCount(); ++i)
            columns << w.ListViewInFile->headerItem()->text(i);
        QCOMPARE(columns, (QStringList{"ファイル名", "ファイル形式", "大きさ", "埋め込み"}));
        QCOMPARE(w.ListViewInFile->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(w.ListViewInFile->toolTip(),
                 QStringLiteral("PDF化するファイルの一覧です。上の方のファイルから順番にページが作成されます。"));

        QCOMPARE(w.BitBtnSaveAs->text(), QStringLiteral("PDFファイルへの書き出し(Ctrl+S)"));
        QVERIFY(w.BitBtnSaveAs->height() >= 35);
        QVERIFY(!w.ButtonStop->isVisible());
        QVERIFY(w.BitBtnSaveAs->isDefault());
        QVERIFY(!w.BitBtnSaveAs->icon().isNull());

        QStringList filters = bindwick::QtNameFilters(w.OpenDialog1.filters);
        QCOMPARE(filters.size(), 5);
        QCOMPARE(filters[2], QStringLiteral("PNG形式(*.png) (*.[pP][nN][gG])"));
        QCOMPARE(filters[3],
                 QStringLiteral("TIFF形式(*.tif,*.tiff) (*.[tT][iI][fF] *.[tT][iI][fF][fF])"));
        QVERIFY(filters[0].startsWith(QStringLiteral("すべての画像ファイル")));
        QCOMPARE(w.SaveDialog1.defaultSuffix, QStringLiteral("pdf"));
    }

    // List commands, each row a sequence of operations on a starting list.
    void listCommands_data() {
        QTest::addColumn<QStringList>("initial");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QStringList>("ops");  // "add:a,b", "add:" (cancel), up, down, del
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QList<int>>("expected_selected");
        QTest::addColumn<int>("expected_current");  // -1: not checked
        const QStringList four{"1.jpg", "2.jpg", "3.jpg", "4.jpg"};
        QTest::newRow("add three to an empty list") << QStringList{} << QList<int>{}
            << QStringList{"add:a.jpg,b.png,c.tiff"} << QStringList{"a.jpg", "b.png", "c.tiff"}
            << QList<int>{2} << -1;
        QTest::newRow("add two below the second of four") << four << QList<int>{1}
            << QStringList{"add:x.jpg,y.jpg"}
            << QStringList{"1.jpg", "2.jpg", "x.jpg", "y.jpg", "3.jpg", "4.jpg"}
            << QList<int>{1, 3} << -1;
        QTest::newRow("second add goes below the same anchor") << four << QList<int>{1}
            << QStringList{"add:x.jpg", "add:z.jpg"}
            << QStringList{"1.jpg", "2.jpg", "z.jpg", "x.jpg", "3.jpg", "4.jpg"}
            << QList<int>{1, 2, 3} << -1;
        QTest::newRow("same file twice") << QStringList{} << QList<int>{}
            << QStringList{"add:a.jpg", "add:a.jpg"} << QStringList{"a.jpg", "a.jpg"}
            << QList<int>{0, 1} << -1;
        QTest::newRow("cancelled add") << four << QList<int>{1} << QStringList{"add:"}
            << four << QList<int>{1} << -1;
        QTest::newRow("up on the top entry") << four << QList<int>{0} << QStringList{"up"}
            << four << QList<int>{0} << -1;
        QTest::newRow("down on the last entry") << four << QList<int>{3}
            << QStringList{"down"} << four << QList<int>{3} << -1;
        QTest::newRow("up with 2 and 4 selected") << four << QList<int>{1, 3}
            << QStringList{"up"} << QStringList{"2.jpg", "1.jpg", "3.jpg", "4.jpg"}
            << QList<int>{0, 3} << 0;
        QTest::newRow("down with 2 and 4 selected") << four << QList<int>{1, 3}
            << QStringList{"down"} << QStringList{"1.jpg", "3.jpg", "2.jpg", "4.jpg"}
            << QList<int>{2, 3} << 2;
        QTest::newRow("delete three not adjacent")
            << QStringList{"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"} << QList<int>{0, 2, 4}
            << QStringList{"del"} << QStringList{"2.jpg", "4.jpg"} << QList<int>{} << -1;
        QTest::newRow("commands without selection") << four << QList<int>{}
            << QStringList{"up", "down", "del"} << four << QList<int>{} << -1;
    }
    void listCommands() {
        QFETCH(QStringList, initial);
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, ops);
        QFETCH(QStringList, expected);
        QFETCH(QList<int>, expected_selected);
        QFETCH(int, expected_current);
        if (!initial.isEmpty()) add(initial);
        Select(*window_, selected);
        for (const QString &op : ops) {
            if (op.startsWith("add:")) {
                const QString names = op.mid(4);
                add(names.isEmpty() ? QStringList() : names.split(','));
            } else if (op == "up") {
                window_->ActionListUp->trigger();
            } else if (op == "down") {
                window_->ActionListDown->trigger();
            } else if (op == "del") {
                window_->ActionListDel->trigger();
            }
        }
        QCOMPARE(Names(*window_), expected);
        QCOMPARE(SelectedRows(*window_), expected_selected);
        if (expected_current >= 0) {
            QCOMPARE(window_->ListViewInFile->indexOfTopLevelItem(
                         window_->ListViewInFile->currentItem()),
                     expected_current);
        }
        QCOMPARE(static_cast<int>(window_->Files().size()), expected.size());
    }

    void deleteKey() {
        add({"a.jpg", "b.jpg", "c.jpg"});
        Select(*window_, {1});
        QTest::keyClick(window_->EditTitle, Qt::Key_Delete);  // edits the text only
        QCOMPARE(Column(*window_, 0).size(), 3);
        QTest::keyClick(window_->ListViewInFile, Qt::Key_Delete);
        QCOMPARE(Names(*window_), (QStringList{"a.jpg", "c.jpg"}));
    }

    // Types come from the files' content: names the library would refuse
    // (upper case, .tif) bind, whether dropped or chosen in the dialog;
    // texts are stored without surrounding blanks, empty ones not at all.
    void bindsByContent() {
        const QString upper = jpeg("DSC_0001.JPG", 40, 30);
        const QString tif = image("scan.tif", "TIFF", 25, 50);
        const QString png = image("IMG.PNG", "PNG", 60, 20);
        drop({QUrl::fromLocalFile(upper)});
        add({tif, png});
        QCOMPARE(Column(*window_, 1), (QStringList{"jpeg", "tiff", "png"}));
        window_->EditTitle->clear();
        window_->EditSubTitle->setText(QStringLiteral(" Sub\u3000"));
        const QString output = path("book.pdf");
        save(output);

        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].icon, QMessageBox::Information);
        QCOMPARE(dialogs_.messages[0].title, output);
        QCOMPARE(dialogs_.messages[0].text,
                 QStringLiteral("PDFファイルの生成に成功しました！！\n") + output);
        QCOMPARE(window_->ProgressBar1->value(), 3);
        QCOMPARE(window_->ProgressBar1->maximum(), 3);
        int status = -1;
        Run("qpdf", {"--check", output}, &status);
        QCOMPARE(status, 0);
        const QString info = Run("pdfinfo", {"-f", "1", "-l", "3", output});
        QVERIFY2(info.contains(QRegularExpression("Pages: +3\n")), qPrintable(info));
        QVERIFY(info.contains(QRegularExpression("Page +2 size: +25 x 50 pts")));
        QVERIFY(info.contains(QRegularExpression("Page +3 size: +60 x 20 pts")));
        QVERIFY(info.contains(QRegularExpression("Subject: +Sub\n")));
        QVERIFY(!info.contains(QStringLiteral("Title:")));
        QVERIFY(!info.contains(QStringLiteral("Author:")));  // the untouched " "
    }

    // Files that cannot be added, or later bound, are reported together in
    // one message each time, every file with its reason.
    void problemsInOneMessage() {
        QFile text(path("notes.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not an image");
        text.close();
        add({path("gone.jpg"), path("notes.txt"), "good.jpg", "later.jpg"});
        QCOMPARE(Names(*window_), (QStringList{"good.jpg", "later.jpg"}));
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].icon, QMessageBox::Warning);
        QCOMPARE(dialogs_.messages[0].text,
                 QStringLiteral("次のファイルは追加できませんでした。\n\n") + path("gone.jpg") +
                     "を開けませんでした。（ファイルが見つかりません）\n" + path("notes.txt") +
                     "を開けませんでした。（JPEG・PNG・TIFF・GIF のどの画像でもありません）");

        QVERIFY(QFile::remove(path("later.jpg")));
        save(path("out.pdf"));
        QCOMPARE(dialogs_.messages.size(), 3);
        QCOMPARE(dialogs_.messages[1].text,
                 QStringLiteral("次のファイルはページにできませんでした。\n\n") + path("later.jpg") +
                     "を開けませんでした。（ファイルが見つかりません）");
        QCOMPARE(dialogs_.messages[2].icon, QMessageBox::Information);
    }

    // A dropped folder gives its images in natural order; the sort command
    // and Ctrl+Up/Down reorder; rows dragged within the list move together.
    void foldersAndOrder() {
        QVERIFY(QDir(dir_->path()).mkdir("scans"));
        for (const char *name : {"page10.jpg", "page2.jpg", "Page1.jpg"})
            jpeg(QStringLiteral("scans/") + name, 8, 8);
        add({"b.jpg", "a.jpg"});
        Select(*window_, {});
        drop({QUrl::fromLocalFile(path("scans"))});
        QCOMPARE(Names(*window_),
                 (QStringList{"b.jpg", "a.jpg", "Page1.jpg", "page2.jpg", "page10.jpg"}));

        Select(*window_, {3, 4});
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QTest::keyClick(window_->ListViewInFile, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(Names(*window_),
                 (QStringList{"b.jpg", "a.jpg", "page2.jpg", "page10.jpg", "Page1.jpg"}));
        QCOMPARE(SelectedRows(*window_), (QList<int>{2, 3}));

        // Dragged onto the top half of the first row: they go first.
        bindwick::FileListView *list = window_->ListViewInFile;
        std::unique_ptr<QMimeData> rows(list->mimeData(list->selectedItems()));
        const QRect first = list->visualItemRect(list->topLevelItem(0));
        QDragEnterEvent enter(first.center(), Qt::CopyAction | Qt::MoveAction, rows.get(),
                              Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(first.center().x(), first.top() + 1),
                           Qt::CopyAction | Qt::MoveAction, rows.get(), Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &dropped);
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);  // the view removes nothing itself
        QCOMPARE(Names(*window_),
                 (QStringList{"page2.jpg", "page10.jpg", "b.jpg", "a.jpg", "Page1.jpg"}));

        window_->ActionListSort->trigger();
        QCOMPARE(Names(*window_),
                 (QStringList{"a.jpg", "b.jpg", "Page1.jpg", "page2.jpg", "page10.jpg"}));
    }

    void saveMessages_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QStringList>("messages");  // "icon|title|text", {out}
        QTest::addColumn<int>("progress");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<bool>("written");
        QTest::newRow("output cannot be created") << "nofolder"
            << QStringList{"3||{out}を作成できません。"} << 0 << 100 << false;
        QTest::newRow("empty list") << "empty"
            << QStringList{"3||Folio においてエラーが発生しました: \nEmpty document"}
            << 0 << 1 << false;
    }
    void saveMessages() {
        QFETCH(QString, scenario);
        QFETCH(QStringList, messages);
        QFETCH(int, progress);
        QFETCH(int, maximum);
        QFETCH(bool, written);
        QString output = path("out.pdf");
        if (scenario == "nofolder") output = path("missing/out.pdf");
        if (scenario != "empty") add({jpeg("good.jpg", 10, 10)});
        const int remembered = dialogs_.remembered_folders.size();
        save(output);

        QCOMPARE(dialogs_.messages.size(), messages.size());
        for (int i = 0; i < messages.size(); ++i) {
            QString expected = messages[i];
            expected.replace("{out}", output);
            const QStringList parts = expected.split('|');
            const ShownMessage &shown = dialogs_.messages[i];
            QCOMPARE(int(shown.icon), parts[0].toInt());
            QCOMPARE(shown.title, parts[1]);
            QCOMPARE(shown.text, parts.mid(2).join('|'));
        }
        QCOMPARE(window_->ProgressBar1->value(), progress);
        QCOMPARE(window_->ProgressBar1->maximum(), maximum);
        QCOMPARE(QFile::exists(output), written);
        // A failed save leaves the folder of the file dialogs where it was.
        QCOMPARE(dialogs_.remembered_folders.size(), remembered);
    }

    void saveCancelled() {
        add({jpeg("a.jpg", 10, 10)});
        window_->ActionSaveAs->trigger();  // no answer queued: cancelled
        QCOMPARE(dialogs_.save_requests.size(), 1);
        QVERIFY(dialogs_.messages.isEmpty());
        QCOMPARE(window_->ProgressBar1->maximum(), 100);
        QVERIFY(QDir(dir_->path()).entryList({"*.pdf"}).isEmpty());
    }

    void keys() {
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        add({"a.jpg", "b.jpg"});
        QTest::keyClick(window_.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(dialogs_.open_requests.size(), 2);
        QTest::keyClick(window_.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs_.save_requests.size(), 1);
        // Enter in a text box or the list presses the default button ...
        window_->EditTitle->setFocus();
        QTest::keyClick(window_->EditTitle, Qt::Key_Return);
        QCOMPARE(dialogs_.save_requests.size(), 2);
        window_->ListViewInFile->setFocus();
        QTest::keyClick(window_->ListViewInFile, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(dialogs_.save_requests.size(), 3);
        // ... but a focused button takes Enter itself.
        Select(*window_, {0});
        auto *del = window_->findChild<QPushButton *>("ButtonListDel");
        del->setFocus();
        QTest::keyClick(del, Qt::Key_Return);
        QCOMPARE(dialogs_.save_requests.size(), 3);
        QCOMPARE(Names(*window_), QStringList{"b.jpg"});
        // F4 shows the preferences dialog modally.
        bool shown = false;
        QTimer::singleShot(0, this, [&] {
            shown = window_->FormPref()->isVisible();
            window_->FormPref()->BitBtn2->click();
        });
        QTest::keyClick(window_.get(), Qt::Key_F4);
        QVERIFY(shown);
        QVERIFY(!window_->FormPref()->isVisible());
        window_->ActionExit->trigger();
        QVERIFY(!window_->isVisible());
    }

    // The preferences' track bar is the compression of the next book, also
    // when the dialog was left through its close button without storing.
    void compressionFromClosedDialog() {
        add({jpeg("a.jpg", 10, 10)});
        QTimer::singleShot(0, this, [&] {
            window_->FormPref()->TBPref->setValue(0);
            window_->FormPref()->close();
        });
        window_->ActionShowPref->trigger();
        save(path("flat.pdf"));
        QFile book(path("flat.pdf"));
        QVERIFY(book.open(QIODevice::ReadOnly));
        QVERIFY(!book.readAll().contains("/FlateDecode"));
        QFile ini(path("bindwick.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("rate"));
    }

    // The paper size chosen in the preferences shapes the next book.
    void paperSizeFromPreferences() {
        add({jpeg("wide.jpg", 40, 30)});
        window_->FormPref()->CBPaperSize->setCurrentIndex(1);
        save(path("a4.pdf"));
        const QString info = Run("pdfinfo", {path("a4.pdf")});
        QVERIFY2(info.contains(QRegularExpression("Page size: +841.89 x 595.276 pts \\(A4\\)")),
                 qPrintable(info));
    }

    void startFolder() {
        const QString cwd = QDir::currentPath();
        window_->ActionListAdd->trigger();
        window_->ActionSaveAs->trigger();
        QCOMPARE(dialogs_.open_requests.last().directory, cwd);
        QCOMPARE(dialogs_.save_requests.last().directory, cwd);

        // The folder is read once, when the window is made.
        QVERIFY(QDir::setCurrent(dir_->path()));
        window_->ActionListAdd->trigger();
        QVERIFY(QDir::setCurrent(cwd));
        QCOMPARE(dialogs_.open_requests.last().directory, cwd);

        // Unticking the setting takes effect at the next start only.
        window_->FormPref()->CBIsUseCwd->setChecked(false);
        window_->FormPref()->BitBtnOKClick();
        window_->ActionListAdd->trigger();
        QCOMPARE(dialogs_.open_requests.last().directory, cwd);
        TFormMain next(dialogs_, window_->IniFileName);
        next.ActionListAdd->trigger();
        next.ActionSaveAs->trigger();
        QCOMPARE(dialogs_.open_requests.last().directory, QString());
        QCOMPARE(dialogs_.save_requests.last().directory, QString());
    }

    void startFailsWithoutSettingsFile() {
        QVERIFY_THROWS_EXCEPTION(
            bindwick::SettingsWriteError,
            TFormMain(dialogs_, QFile::encodeName(path("missing/b.ini")).toStdString()));
    }

    // Thumbnails and image facts are made on a worker thread; the window
    // goes on answering while one is being made.
    void imageInfoOffTheWindowThread() {
        QSemaphore started, release;
        QThread *maker_thread = nullptr;
        auto maker = [&](const bindwick::FileEntry &entry, bool keep_alpha) {
            maker_thread = QThread::currentThread();
            started.release();
            release.acquire();
            return bindwick::MakeImageInfo(entry, keep_alpha);
        };
        TFormMain window(dialogs_, QFile::encodeName(path("other.ini")).toStdString(),
                         nullptr, maker);
        dialogs_.open_answers.enqueue({image("IMG.PNG", "PNG", 30, 20)});
        window.ActionListAdd->trigger();
        QVERIFY(QTest::qWaitFor([&] { return started.available() > 0; }));
        QVERIFY(maker_thread != nullptr && maker_thread != QThread::currentThread());
        QTreeWidgetItem *row = window.ListViewInFile->topLevelItem(0);
        QCOMPARE(row->text(3), QStringLiteral("…"));
        bool timer_fired = false;
        QTimer::singleShot(0, [&] { timer_fired = true; });
        QTRY_VERIFY(timer_fired);  // the event loop runs meanwhile
        release.release();
        QTRY_COMPARE(window.ListViewInFile->topLevelItem(0)->text(2), QStringLiteral("30 × 20"));
        row = window.ListViewInFile->topLevelItem(0);
        QCOMPARE(row->text(3), QStringLiteral("そのまま"));
        QVERIFY(!row->icon(0).isNull());
    }

    // The mark follows the image choices: with alpha kept, a palette with a
    // clear entry is decoded for its soft mask. The list is not waited for.
    void markFollowsKeepAlpha() {
        QImage picture(6, 4, QImage::Format_Indexed8);
        picture.setColorTable({qRgba(20, 120, 200, 255), qRgba(0, 0, 0, 0)});
        picture.fill(1);
        QVERIFY(picture.save(path("clear.png"), "PNG"));
        add({path("clear.png")});
        const auto mark = [this] { return window_->ListViewInFile->topLevelItem(0)->text(3); };
        QTRY_COMPARE(mark(), QStringLiteral("そのまま"));
        for (const bool on : {true, false}) {
            window_->FormPref()->CBIsKeepAlpha->setChecked(on);
            window_->FormPref()->BitBtnOKClick();
            QCOMPARE(mark(), QStringLiteral("…"));
            QTRY_COMPARE(mark(), on ? QStringLiteral("再圧縮") : QStringLiteral("そのまま"));
        }
    }

    // Stopping a save, and closing the window during one (which asks
    // first), leave no file and the previous book byte for byte.
    void stopAndCloseDuringASave() {
        const QString output = path("book.pdf");
        QFile old(output);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the previous book");
        old.close();
        const QString overlay = QStringLiteral(BINDWICK_SAMPLES_DIR "/03-overlay.png");
        add(QStringList(300, overlay));
        QVERIFY(dialogs_.messages.isEmpty());
        const QStringList before = QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden);

        QSignalSpy finished(window_.get(), &TFormMain::saveFinished);
        dialogs_.save_answers.enqueue(output);
        window_->ActionSaveAs->trigger();
        QVERIFY(window_->IsSaving());
        QVERIFY(!window_->ActionListAdd->isEnabled() && !window_->ActionSaveAs->isEnabled());
        QVERIFY(!window_->ButtonStop->isHidden());
        QTRY_VERIFY(window_->ProgressBar1->value() >= 3);
        QVERIFY(window_->ProgressBar1->text().startsWith(
            QStringLiteral("%1 / 300").arg(window_->ProgressBar1->value())));
        window_->ButtonStop->click();
        QVERIFY(finished.wait(60000));
        QVERIFY(window_->ProgressBar1->value() < 300);
        QVERIFY(dialogs_.messages.isEmpty());
        QVERIFY(window_->ActionSaveAs->isEnabled());

        dialogs_.save_answers.enqueue(output);
        window_->show();
        window_->ActionSaveAs->trigger();
        QTRY_VERIFY(window_->ProgressBar1->value() >= 3);
        window_->close();  // answered no: the save goes on
        QCOMPARE(dialogs_.questions.size(), 1);
        QVERIFY(window_->isVisible() && window_->IsSaving());
        dialogs_.yes_no_answers.enqueue(true);
        window_->close();
        QVERIFY(!window_->isVisible() && !window_->IsSaving());
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), before);
        QFile kept(output);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("the previous book"));
    }

    // The message after a book was written opens the document or its
    // folder through the desktop, and the dialogs remember that folder.
    void afterASave_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("opened");  // relative to the test folder
        QTest::newRow("OK") << int(FakeDialogs::AfterSave::kClose) << QString();
        QTest::newRow("open the PDF") << int(FakeDialogs::AfterSave::kOpenDocument)
                                      << "out/book.pdf";
        QTest::newRow("open its folder") << int(FakeDialogs::AfterSave::kOpenFolder) << "out";
    }
    void afterASave() {
        QFETCH(int, choice);
        QFETCH(QString, opened);
        QVERIFY(QDir(dir_->path()).mkdir("out"));
        add({"a.jpg"});
        QCOMPARE(dialogs_.remembered_folders, QStringList{dir_->path()});
        dialogs_.after_save = FakeDialogs::AfterSave(choice);
        save(path("out/book.pdf"));
        QCOMPARE(dialogs_.remembered_folders, (QStringList{dir_->path(), path("out")}));
        QCOMPARE(dialogs_.opened_urls,
                 opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl::fromLocalFile(path(opened))});
    }

    // The program started with image paths lists them in their order; the
    // ones it cannot use are named in one message.
    void commandLine() {
        jpeg("one.jpg", 8, 8);
        const QString two = image("two.PNG", "PNG", 8, 8);
        jpeg("three.JPG", 8, 8);
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_->path()));
        FakeDialogs dialogs;
        const auto window = bindwick::StartProgram(
            dialogs, {QFile::encodeName(path("cli.ini")).toStdString(), ""},
            {"three.JPG", path("gone.png"), two, "one.jpg"});
        QVERIFY(QDir::setCurrent(cwd));
        QCOMPARE(Column(*window, 0), (QStringList{path("three.JPG"), two, path("one.jpg")}));
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages[0].text.contains(path("gone.png") + "を開けませんでした。"));
    }

    // Killed in the middle of a 300-page save, the program leaves the
    // output's folder as it was.
    void killedDuringASave() {
        QTemporaryDir out;
        const QString output = out.filePath("book.pdf");
        QFile old(output);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the previous book");
        old.close();
        QProcess child;
        child.start(QStringLiteral(BINDWICK_SAVE_CHILD),
                    QStringList{output} + QStringList(300, QStringLiteral(BINDWICK_SAMPLES_DIR
                                                                          "/03-overlay.png")));
        QVERIFY(child.waitForStarted());
        const bool caught = testsupport::WaitForOpenFileGrowth(
            static_cast<int>(child.processId()), QFile::encodeName(out.path()).toStdString(),
            200000);
        child.kill();  // SIGKILL
        QVERIFY(child.waitForFinished());
        QVERIFY(caught);
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"book.pdf"});
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the previous book"));
    }

    // Large fonts make the window's parts taller instead of clipping them;
    // a wide window gives its width to the file names.
    void layoutScales() {
        QFont large = window_->font();
        large.setPixelSize(40);
        window_->setFont(large);
        window_->resize(1400, 900);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        for (QWidget *part : window_->findChildren<QWidget *>()) {
            if (!part->isVisible() || (!qobject_cast<QLabel *>(part) &&
                                       !qobject_cast<QLineEdit *>(part) &&
                                       !qobject_cast<QAbstractButton *>(part)))
                continue;
            QVERIFY2(part->height() >= part->minimumSizeHint().height(),
                     qPrintable(part->objectName()));
        }
        QVERIFY(window_->ListViewInFile->columnWidth(0) > 700);
    }

    void qtTranslations() {
        QVERIFY(bindwick::InstallQtTranslations(*QCoreApplication::instance()));
        QMessageBox box(QMessageBox::Question, QString(), QString(),
                        QMessageBox::Yes | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
