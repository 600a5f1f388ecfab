// Drives the real main window through its actions, keys and widgets, with
// the file dialogs and message boxes scripted by FakeDialogs.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
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
    void add(const QStringList &paths) {
        dialogs_.open_answers.enqueue(paths);
        window_->ActionListAdd->trigger();
    }
    void save(const QString &output) {
        dialogs_.save_answers.enqueue(output);
        window_->ActionSaveAs->trigger();
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
        const bool list_command = action.startsWith(QStringLiteral("ActionList"));
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
                 (QStringList{"追加(&A)", "削除(&D)", "-", "上へ(&U)", "下へ(&D)"}));
        QCOMPARE(MenuEntries(w.findChild<QMenu *>("PopupMenuList")),
                 (QStringList{"追加(&A)", "削除(&D)", "-", "上へ(&U)", "下へ(&D)"}));

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

        QCOMPARE(w.findChild<QWidget *>("PanelTitle")->height(), 164);
        QCOMPARE(w.findChild<QWidget *>("PanelListHeader")->height(), 32);
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

        QCOMPARE(w.ListViewInFile->headerItem()->text(0), QStringLiteral("ファイル名"));
        QCOMPARE(w.ListViewInFile->headerItem()->text(1), QStringLiteral("ファイル形式"));
        QCOMPARE(w.ListViewInFile->columnWidth(0), 400);
        QCOMPARE(w.ListViewInFile->columnWidth(1), 100);
        QCOMPARE(w.ListViewInFile->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(w.ListViewInFile->toolTip(),
                 QStringLiteral("PDF化するファイルの一覧です。上の方のファイルから順番にページが作成されます。"));

        QCOMPARE(w.BitBtnSaveAs->text(), QStringLiteral("PDFファイルへの書き出し(Ctrl+S)"));
        QCOMPARE(w.BitBtnSaveAs->height(), 35);
        QVERIFY(w.BitBtnSaveAs->isDefault());
        QVERIFY(!w.BitBtnSaveAs->icon().isNull());

        QCOMPARE(w.OpenDialog1.filters.size(), 4);
        QCOMPARE(bindwick::QtNameFilters(w.OpenDialog1.filters).first(),
                 QStringLiteral("JPEG形式(*.jpg,*.jpeg) (*.jpg *.jpeg)"));
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
        QCOMPARE(Column(*window_, 0), expected);
        QCOMPARE(SelectedRows(*window_), expected_selected);
        if (expected_current >= 0) {
            QCOMPARE(window_->ListViewInFile->indexOfTopLevelItem(
                         window_->ListViewInFile->currentItem()),
                     expected_current);
        }
        QCOMPARE(static_cast<int>(window_->Files().size()), expected.size());
    }

    void deleteKeyAndDrop() {
        add({"a.jpg", "b.jpg", "c.jpg"});
        Select(*window_, {1});
        QTest::keyClick(window_->EditTitle, Qt::Key_Delete);  // edits the text only
        QCOMPARE(Column(*window_, 0).size(), 3);
        QTest::keyClick(window_->ListViewInFile, Qt::Key_Delete);
        QCOMPARE(Column(*window_, 0), (QStringList{"a.jpg", "c.jpg"}));

        // Dropped image files go in below the first selected entry; other
        // files and folders are left out.
        const QString image = jpeg("d.JPG", 8, 8);
        QFile text(path("notes.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.close();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path("notes.txt")), QUrl::fromLocalFile(image),
                      QUrl::fromLocalFile(dir_->path())});
        Select(*window_, {0});
        QWidget *target = window_->ListViewInFile->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        QCOMPARE(Column(*window_, 0), (QStringList{"a.jpg", image, "c.jpg"}));
        QCOMPARE(Column(*window_, 1).at(1), QStringLiteral("JPG"));
    }

    void completeSave() {
        const QStringList images{jpeg("p1.jpg", 40, 30), jpeg("p2.jpg", 64, 16),
                                 jpeg("p3.jpg", 20, 50)};
        add(images);
        window_->EditTitle->setText(QStringLiteral("日本の本"));
        const QString output = path("book.pdf");
        QFile old(output);  // an existing file is overwritten
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("junk");
        old.close();
        int value_at_message = -1;
        dialogs_.on_message = [&](const ShownMessage &) {
            value_at_message = window_->ProgressBar1->value();
        };
        save(output);

        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].icon, QMessageBox::Information);
        QCOMPARE(dialogs_.messages[0].title, output);
        QCOMPARE(dialogs_.messages[0].text, QStringLiteral("PDFファイルの生成に成功しました！！"));
        QCOMPARE(value_at_message, 3);
        QCOMPARE(window_->ProgressBar1->maximum(), 3);
        QCOMPARE(window_->ProgressBar1->value(), 3);

        int status = -1;
        Run("qpdf", {"--check", output}, &status);
        QCOMPARE(status, 0);
        const QString info = Run("pdfinfo", {"-f", "1", "-l", "3", output});
        QVERIFY2(info.contains(QRegularExpression("Page +1 size: +40 x 30 pts")), qPrintable(info));
        QVERIFY(info.contains(QRegularExpression("Page +2 size: +64 x 16 pts")));
        QVERIFY(info.contains(QRegularExpression("Page +3 size: +20 x 50 pts")));
        QVERIFY(info.contains(QRegularExpression("Title: +日本の本\n")));
        QVERIFY(info.contains(QRegularExpression("Author: + \n")));
        // The compression level comes from the preferences' track bar.
        QFile book(output);
        QVERIFY(book.open(QIODevice::ReadOnly));
        QVERIFY(book.readAll().contains("/FlateDecode"));
    }

    void saveMessages_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QStringList>("messages");  // "icon|title|text", {out} {bad}
        QTest::addColumn<int>("progress");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<bool>("written");
        const QString error = QStringLiteral("3||Folio においてエラーが発生しました: \n");
        QTest::newRow("output cannot be created") << "nofolder"
            << QStringList{"3||{out}を作成できません。"} << 0 << 100 << false;
        QTest::newRow("image not opened") << "notjpeg"
            << QStringList{"0||{bad}を開けませんでした。",
                           "1|{out}|PDFファイルの生成に成功しました！！"} << 2 << 2 << true;
        QTest::newRow("emptied title") << "notitle"
            << QStringList{error + "Empty key or value in PDF_set_info"} << 0 << 100 << false;
        QTest::newRow("empty list") << "empty"
            << QStringList{error + "Empty document"} << 0 << 1 << false;
        QTest::newRow("upper-case JPG") << "upper"
            << QStringList{error + "Image type JPG for image file {bad} not supported"}
            << 1 << 2 << false;
    }
    void saveMessages() {
        QFETCH(QString, scenario);
        QFETCH(QStringList, messages);
        QFETCH(int, progress);
        QFETCH(int, maximum);
        QFETCH(bool, written);
        QString output = path("out.pdf");
        QString bad;
        if (scenario == "nofolder") output = path("missing/out.pdf");
        if (scenario != "empty") add({jpeg("good.jpg", 10, 10)});
        if (scenario == "notjpeg") {
            bad = path("bad.jpg");
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a JPEG at all");
            file.close();
            add({bad});
        }
        if (scenario == "upper") add({bad = jpeg("X.JPG", 10, 10)});
        if (scenario == "notitle") window_->EditTitle->clear();
        save(output);

        QCOMPARE(dialogs_.messages.size(), messages.size());
        for (int i = 0; i < messages.size(); ++i) {
            QString expected = messages[i];
            expected.replace("{out}", output).replace("{bad}", bad);
            const QStringList parts = expected.split('|');
            const ShownMessage &shown = dialogs_.messages[i];
            QCOMPARE(int(shown.icon), parts[0].toInt());
            QCOMPARE(shown.title, parts[1]);
            QCOMPARE(shown.text, parts.mid(2).join('|'));
        }
        QCOMPARE(window_->ProgressBar1->value(), progress);
        QCOMPARE(window_->ProgressBar1->maximum(), maximum);
        QCOMPARE(QFile::exists(output), written);
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
        QCOMPARE(Column(*window_, 0), QStringList{"b.jpg"});
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
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
