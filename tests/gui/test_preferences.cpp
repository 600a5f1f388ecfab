// The preferences dialog on its own: layout, reading and writing the
// settings file, and what OK, Cancel, Esc and the close button keep.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "fake_dialogs.h"
#include "unitpreference.h"

using bindwick::TFormPref;

class TestPreferences : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    FakeDialogs dialogs_;
    QString ini_;

    std::unique_ptr<TFormPref> make() {
        return std::make_unique<TFormPref>(nullptr, QFile::encodeName(ini_).toStdString(),
                                           dialogs_);
    }
    void writeIni(const QByteArray &text) {
        QFile file(ini_);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray readIni() const {
        QFile file(ini_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        dialogs_ = FakeDialogs();
        ini_ = dir_->filePath("bindwick.ini");
    }

    void layout() {
        auto pref = make();
        QCOMPARE(pref->windowTitle(), QStringLiteral("設定"));
        QCOMPARE(pref->minimumSize(), QSize(466, 276));
        QCOMPARE(pref->maximumSize(), QSize(466, 276));
        QTabWidget *tabs = pref->PageControlPref;
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("ファイル関係"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("出力用紙サイズ"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("圧縮率"));
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(tabs->widget(0)->isAncestorOf(pref->CBIsUseCwd));
        QVERIFY(tabs->widget(1)->isAncestorOf(pref->CBPaperSize));
        QVERIFY(tabs->widget(2)->isAncestorOf(pref->TBPref));
        QCOMPARE(pref->CBIsUseCwd->text(),
                 QStringLiteral("カレントディレクトリを標準のディレクトリとする"));
        QVERIFY(pref->CBPaperSize->isEnabled());
        QStringList items;
        for (int i = 0; i < pref->CBPaperSize->count(); ++i) items << pref->CBPaperSize->itemText(i);
        QCOMPARE(items, (QStringList{"画像ファイルのまま", "A4", "B5", "指定する"}));
        QCOMPARE(pref->TBPref->minimum(), 0);
        QCOMPARE(pref->TBPref->maximum(), 9);
        QCOMPARE(pref->TBPref->pageStep(), 1);
        QCOMPARE(pref->TBPref->tickInterval(), 1);
        QCOMPARE(pref->TBPref->toolTip(), QStringLiteral("圧縮率の標準は6です"));
        QCOMPARE(pref->BitBtnOK->text(), QStringLiteral("OK"));
        QCOMPARE(pref->BitBtn2->text(), QStringLiteral("キャンセル"));
        QVERIFY(pref->BitBtnOK->isDefault());

        // The scale labels sit at the left end, under position 6 and at the
        // right end of the track bar.
        tabs->setCurrentIndex(2);
        pref->show();
        QVERIFY(QTest::qWaitForWindowExposed(pref.get()));
        auto centre_of = [&](const char *name) {
            auto *label = pref->findChild<QLabel *>(name);
            return label->mapTo(pref.get(), label->rect().center()).x();
        };
        QSlider *bar = pref->TBPref;
        const int handle = bar->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, bar);
        const int six = bar->mapTo(pref.get(), QPoint(0, 0)).x() + handle / 2 +
            QStyle::sliderPositionFromValue(0, 9, 6, bar->width() - handle);
        QVERIFY2(qAbs(centre_of("LabelStandard") - six) <= 2,
                 qPrintable(QString("%1 vs %2").arg(centre_of("LabelStandard")).arg(six)));
        QVERIFY(centre_of("LabelSpeed") < centre_of("LabelStandard"));
        QVERIFY(centre_of("LabelStandard") < centre_of("LabelRatio"));
        QCOMPARE(pref->findChild<QLabel *>("LabelRatio")->text(), QStringLiteral("圧縮率優先"));
    }

    // With large fonts the dialog grows (still fixed) instead of clipping.
    void growsWithLargeFonts() {
        auto pref = make();
        QFont large = pref->font();
        large.setPixelSize(40);
        pref->setFont(large);
        pref->show();
        QVERIFY(QTest::qWaitForWindowExposed(pref.get()));
        pref->PageControlPref->setCurrentIndex(2);
        QVERIFY(pref->width() > 466);
        QCOMPARE(pref->minimumSize(), pref->maximumSize());
        QVERIFY(pref->height() >= pref->layout()->sizeHint().height());
        QVERIFY(pref->width() >= pref->layout()->sizeHint().width());
        auto *label = pref->findChild<QLabel *>("LabelStandard");
        QVERIFY(label->parentWidget()->height() >= label->sizeHint().height());
    }

    void firstStart() {
        auto pref = make();
        QCOMPARE(readIni().trimmed(), QByteArray("[Temp]\nFirstRunAfterDelIni=1"));
        QVERIFY(pref->CBIsUseCwd->isChecked());
        QCOMPARE(pref->CBPaperSize->currentIndex(), 0);
        QCOMPARE(pref->TBPref->value(), 6);
    }

    void storedValues_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("use_cwd");
        QTest::addColumn<int>("paper");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QByteArray>("written");  // lines OK writes back
        QTest::newRow("rate above the range") << QByteArray("[COMPRESS]\nrate=12\n")
            << true << 0 << 9 << QByteArray("rate=9");
        QTest::newRow("rate below the range") << QByteArray("[COMPRESS]\nrate=-3\n")
            << true << 0 << 0 << QByteArray("rate=0");
        QTest::newRow("hexadecimal rate") << QByteArray("[COMPRESS]\nrate=0x5\n")
            << true << 0 << 5 << QByteArray("rate=5");
        QTest::newRow("unreadable rate") << QByteArray("[COMPRESS]\nrate=abc\n")
            << true << 0 << 6 << QByteArray("rate=6");
        QTest::newRow("paper out of range") << QByteArray("[SIZE]\npaper=7\n")
            << true << -1 << 6 << QByteArray("paper=-1");
        QTest::newRow("paper choice") << QByteArray("[SIZE]\npaper=2\n")
            << true << 2 << 6 << QByteArray("paper=2");
        QTest::newRow("current directory off") << QByteArray("[FILE]\nIsUseCwd=0\n")
            << false << 0 << 6 << QByteArray("IsUseCwd=0");
        QTest::newRow("custom paper keys")
            << QByteArray("[SIZE]\npaper=3\nwidth=99999\nheight=150\nmargin=7\n"
                          "IsAutoRotate=0\nIsNoEnlarge=1\n")
            << true << 3 << 6
            << QByteArray("paper=3\nwidth=5080\nheight=150\nmargin=7\nIsAutoRotate=0\n"
                          "IsNoEnlarge=1\nIsUseResolution=0\n");
    }
    void storedValues() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, use_cwd);
        QFETCH(int, paper);
        QFETCH(int, rate);
        QFETCH(QByteArray, written);
        writeIni(stored);
        auto pref = make();
        QCOMPARE(pref->IsUseCwd(), use_cwd);
        QCOMPARE(pref->PaperSize(), paper);
        QCOMPARE(pref->CBPaperSize->currentIndex(), paper);
        QCOMPARE(pref->CompressRate(), rate);
        pref->BitBtnOK->click();
        QVERIFY2(readIni().contains(written), readIni().constData());
        QCOMPARE(pref->result(), int(QDialog::Accepted));
    }

    // Cancel and Esc put the stored values back; the close button keeps the
    // changed controls without storing them.
    void leaving_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("rate_after");
        QTest::newRow("cancel button") << "cancel" << 3;
        QTest::newRow("escape key") << "esc" << 3;
        QTest::newRow("close button") << "close" << 8;
        QTest::newRow("ok button") << "ok" << 8;
    }
    void leaving() {
        QFETCH(QString, how);
        QFETCH(int, rate_after);
        writeIni("[COMPRESS]\nrate=3\n");
        auto pref = make();
        bool was_shown = false;
        QTimer::singleShot(0, this, [&] {
            was_shown = pref->isVisible();
            pref->TBPref->setValue(8);
            pref->CBIsUseCwd->setChecked(false);
            if (how == "cancel") pref->BitBtn2->click();
            if (how == "esc") QTest::keyClick(pref.get(), Qt::Key_Escape);
            if (how == "close") pref->close();
            if (how == "ok") pref->BitBtnOK->click();
        });
        pref->exec();
        QVERIFY(was_shown);
        QVERIFY(!pref->isVisible());
        QCOMPARE(pref->CompressRate(), rate_after);
        QCOMPARE(pref->IsUseCwd(), rate_after == 3);
        QCOMPARE(readIni().contains("rate=8"), how == "ok");
        QVERIFY(dialogs_.messages.isEmpty());
    }

    // Each paper-size choice enables the controls it uses.
    void paperControls_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("enabled");  // initials of the enabled controls
        QTest::newRow("image size") << 0 << "R";
        QTest::newRow("A4") << 1 << "MTN";
        QTest::newRow("custom") << 3 << "WHMTN";
        QTest::newRow("none") << -1 << "R";
    }
    void paperControls() {
        QFETCH(int, choice);
        QFETCH(QString, enabled);
        auto pref = make();
        pref->CBPaperSize->setCurrentIndex(choice);
        const QList<QPair<QString, QWidget *>> controls{
            {"R", pref->CBIsUseResolution}, {"W", pref->EditPaperWidth},
            {"H", pref->EditPaperHeight},   {"M", pref->EditMargin},
            {"T", pref->CBIsAutoRotate},    {"N", pref->CBIsNoEnlarge}};
        for (const auto &[initial, control] : controls)
            QVERIFY2(control->isEnabled() == enabled.contains(initial),
                     qPrintable(control->objectName()));
    }

    // The next book's pages follow the controls, stored or not.
    void pageSetupFromControls() {
        auto pref = make();
        pref->CBPaperSize->setCurrentIndex(3);
        pref->EditPaperWidth->setValue(100);
        pref->EditPaperHeight->setValue(9000);  // beyond the range: 5080
        pref->CBIsNoEnlarge->setChecked(true);
        const bindwick::PageSetup setup = pref->GetPageSetup();
        QVERIFY(setup.paper && !setup.enlarge);
        QCOMPARE(qRound(setup.paper->width), 283);
        QCOMPARE(qRound(setup.paper->height), 14400);
        QVERIFY(!readIni().contains("SIZE"));
    }

    // The image choices of the file tab: off by default, read from and
    // written to [FILE], and handed to the next book as they are shown.
    void imageChoices() {
        writeIni("[FILE]\nIsKeepAlpha=1\nIsAllPages=0\nIsUseOrientation=1\n");
        auto pref = make();
        QWidget *file_tab = pref->PageControlPref->widget(0);
        const QList<QPair<QCheckBox *, QString>> boxes{
            {pref->CBIsKeepAlpha, QStringLiteral("透明部分を保持する")},
            {pref->CBIsAllPages, QStringLiteral("複数ページのTIFFファイルは全ページを出力する")},
            {pref->CBIsUseOrientation, QStringLiteral("撮影時の向きに合わせて画像を回転する")}};
        for (const auto &[box, caption] : boxes) {
            QVERIFY(file_tab->isAncestorOf(box));
            QCOMPARE(box->text(), caption);
        }
        QVERIFY(pref->CBIsKeepAlpha->isChecked());
        QVERIFY(!pref->CBIsAllPages->isChecked());
        QVERIFY(pref->CBIsUseOrientation->isChecked());

        pref->CBIsKeepAlpha->setChecked(false);
        pref->CBIsAllPages->setChecked(true);
        bindwick::BookRequest request;
        pref->TakeImageChoices(request);
        QVERIFY(!request.keep_alpha && request.all_pages && request.use_orientation);
        pref->BitBtnOK->click();
        const QByteArray stored = readIni();
        QVERIFY(stored.contains("IsKeepAlpha=0\nIsAllPages=1\nIsUseOrientation=1\n"));

        QVERIFY(QFile::remove(ini_));
        auto fresh = make();
        QVERIFY(!fresh->CBIsKeepAlpha->isChecked() && !fresh->CBIsAllPages->isChecked() &&
                !fresh->CBIsUseOrientation->isChecked());
    }

    void cancelRecreatesDeletedFile() {
        auto pref = make();
        QVERIFY(QFile::remove(ini_));
        pref->BitBtn2->click();
        QCOMPARE(readIni().trimmed(), QByteArray("[Temp]\nFirstRunAfterDelIni=1"));
    }

    void okWriteFailure() {
        // A folder where the file should be: readable as "no settings",
        // but OK cannot write it.
        ini_ = dir_->path();
        auto pref = make();
        pref->TBPref->setValue(2);
        pref->BitBtnOK->click();
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].icon, QMessageBox::Critical);
        QCOMPARE(dialogs_.messages[0].text, ini_ + QStringLiteral(" に書き込めません"));
        QCOMPARE(pref->result(), int(QDialog::Accepted));
        QCOMPARE(pref->CompressRate(), 2);
    }
};

QTEST_MAIN(TestPreferences)
#include "test_preferences.moc"
