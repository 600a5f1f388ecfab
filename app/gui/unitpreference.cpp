// unitpreference.cpp -- the preferences dialog.
#include "unitpreference.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "user_dialogs.h"

namespace bindwick {

namespace {

constexpr int kClientWidth = 466;
constexpr int kClientHeight = 276;

// The row of labels under the compression track bar: one at the left end,
// one under the standard position and one at the right end. The middle
// label follows the handle position of that value whatever the style's
// handle size is.
class SliderScale : public QWidget {
public:
    SliderScale(QSlider *slider, int marked_value, QWidget *parent)
        : QWidget(parent), slider_(slider), marked_value_(marked_value) {
        left_ = new QLabel(QStringLiteral("速度優先"), this);
        left_->setObjectName(QStringLiteral("LabelSpeed"));
        middle_ = new QLabel(QStringLiteral("標準値"), this);
        middle_->setObjectName(QStringLiteral("LabelStandard"));
        right_ = new QLabel(QStringLiteral("圧縮率優先"), this);
        right_->setObjectName(QStringLiteral("LabelRatio"));
        // The slider may be laid out after this row; follow it as well.
        slider_->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == slider_ &&
            (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
            place();
        }
        return QWidget::eventFilter(watched, event);
    }

    // As tall as the labels in the current font.
    QSize minimumSizeHint() const override { return {0, left_->sizeHint().height()}; }
    QSize sizeHint() const override { return minimumSizeHint(); }

protected:
    void resizeEvent(QResizeEvent *) override { place(); }
    void showEvent(QShowEvent *) override { place(); }

private:
    void place() {
        const int top = 0;
        for (QLabel *label : {left_, middle_, right_}) label->adjustSize();
        left_->move(0, top);
        right_->move(width() - right_->width(), top);
        const int handle =
            slider_->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, slider_);
        const int span = qMax(0, slider_->width() - handle);
        const int centre =
            slider_->x() - x() +
            QStyle::sliderPositionFromValue(slider_->minimum(), slider_->maximum(),
                                            marked_value_, span) +
            handle / 2;
        middle_->move(centre - middle_->width() / 2, top);
    }

    QSlider *slider_;
    int marked_value_;
    QLabel *left_;
    QLabel *middle_;
    QLabel *right_;
};

}  // namespace

TFormPref::TFormPref(QWidget *owner, const std::string &ini_file_name,
                     UserDialogs &dialogs)
    : QDialog(owner), settings_(ini_file_name), dialogs_(dialogs) {
    setObjectName(QStringLiteral("FormPref"));
    setWindowTitle(QStringLiteral("設定"));
    setModal(true);

    buildTabs();

    BitBtnOK = new QPushButton(QStringLiteral("OK"), this);
    BitBtnOK->setObjectName(QStringLiteral("BitBtnOK"));
    BitBtnOK->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtnOK->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("キャンセル"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    BitBtn2->setAutoDefault(false);
    connect(BitBtnOK, &QPushButton::clicked, this, &TFormPref::BitBtnOKClick);
    connect(BitBtn2, &QPushButton::clicked, this, &TFormPref::BitBtn2Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtnOK);
    buttons->addWidget(BitBtn2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControlPref);
    layout->addLayout(buttons);

    fitSize();

    LoadSettings();
}

void TFormPref::buildTabs() {
    PageControlPref = new QTabWidget(this);
    PageControlPref->setObjectName(QStringLiteral("PageControlPref"));

    auto *file_tab = new QWidget;
    file_tab->setObjectName(QStringLiteral("TabSheetFile"));
    CBIsUseCwd = new QCheckBox(
        QStringLiteral("カレントディレクトリを標準のディレクトリとする"), file_tab);
    CBIsUseCwd->setObjectName(QStringLiteral("CBIsUseCwd"));
    CBIsKeepAlpha = new QCheckBox(QStringLiteral("透明部分を保持する"), file_tab);
    CBIsKeepAlpha->setObjectName(QStringLiteral("CBIsKeepAlpha"));
    CBIsAllPages =
        new QCheckBox(QStringLiteral("複数ページのTIFFファイルは全ページを出力する"), file_tab);
    CBIsAllPages->setObjectName(QStringLiteral("CBIsAllPages"));
    CBIsUseOrientation =
        new QCheckBox(QStringLiteral("撮影時の向きに合わせて画像を回転する"), file_tab);
    CBIsUseOrientation->setObjectName(QStringLiteral("CBIsUseOrientation"));
    auto *file_layout = new QVBoxLayout(file_tab);
    file_layout->addWidget(CBIsUseCwd);
    file_layout->addWidget(CBIsKeepAlpha);
    file_layout->addWidget(CBIsAllPages);
    file_layout->addWidget(CBIsUseOrientation);
    file_layout->addStretch();
    PageControlPref->addTab(file_tab, QStringLiteral("ファイル関係"));

    PageControlPref->addTab(buildPaperTab(), QStringLiteral("出力用紙サイズ"));

    auto *compress_tab = new QWidget;
    compress_tab->setObjectName(QStringLiteral("TabSheetCompress"));
    auto *compress_label = new QLabel(QStringLiteral("圧縮率"), compress_tab);
    compress_label->setObjectName(QStringLiteral("LabelCompress"));
    TBPref = new QSlider(Qt::Horizontal, compress_tab);
    TBPref->setObjectName(QStringLiteral("TBPref"));
    TBPref->setRange(Settings::kMinRate, Settings::kMaxRate);
    TBPref->setSingleStep(1);
    TBPref->setPageStep(1);
    TBPref->setTickInterval(1);
    TBPref->setTickPosition(QSlider::TicksBelow);
    TBPref->setToolTip(QStringLiteral("圧縮率の標準は6です"));
    compress_label->setBuddy(TBPref);
    auto *scale = new SliderScale(TBPref, Settings::kDefaultRate, compress_tab);
    auto *compress_layout = new QVBoxLayout(compress_tab);
    compress_layout->addWidget(compress_label);
    compress_layout->addWidget(TBPref);
    compress_layout->addWidget(scale);
    compress_layout->addStretch();
    PageControlPref->addTab(compress_tab, QStringLiteral("圧縮率"));

    PageControlPref->setCurrentIndex(0);
}

namespace {

QSpinBox *MillimetreBox(const char *name, int minimum, int maximum, QWidget *parent) {
    auto *box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(minimum, maximum);
    box->setSuffix(QStringLiteral(" mm"));
    return box;
}

QLabel *BuddyLabel(const QString &text, QWidget *buddy) {
    auto *label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

}  // namespace

// The paper size, with the choices that go with it: the image's resolution
// for pages of the image's size; the custom width and height; the margin,
// the turning of the paper and the enlarging of small images on paper.
QWidget *TFormPref::buildPaperTab() {
    auto *tab = new QWidget;
    tab->setObjectName(QStringLiteral("TabSheetPaper"));
    CBPaperSize = new QComboBox(tab);
    CBPaperSize->setObjectName(QStringLiteral("CBPaperSize"));
    CBPaperSize->addItems({QStringLiteral("画像ファイルのまま"), QStringLiteral("A4"),
                           QStringLiteral("B5"), QStringLiteral("指定する")});
    auto *paper_label = BuddyLabel(QStringLiteral("サイズ"), CBPaperSize);
    paper_label->setObjectName(QStringLiteral("LabelPaperSize"));

    CBIsUseResolution = new QCheckBox(QStringLiteral("画像の解像度に合わせる"), tab);
    CBIsUseResolution->setObjectName(QStringLiteral("CBIsUseResolution"));
    EditPaperWidth = MillimetreBox("EditPaperWidth", Settings::kMinPaperSide,
                                   Settings::kMaxPaperSide, tab);
    EditPaperHeight = MillimetreBox("EditPaperHeight", Settings::kMinPaperSide,
                                    Settings::kMaxPaperSide, tab);
    EditMargin =
        MillimetreBox("EditMargin", Settings::kMinMargin, Settings::kMaxMargin, tab);
    CBIsAutoRotate =
        new QCheckBox(QStringLiteral("横長の画像では用紙を横向きにする"), tab);
    CBIsAutoRotate->setObjectName(QStringLiteral("CBIsAutoRotate"));
    CBIsNoEnlarge = new QCheckBox(QStringLiteral("小さな画像を拡大しない"), tab);
    CBIsNoEnlarge->setObjectName(QStringLiteral("CBIsNoEnlarge"));

    auto *grid = new QGridLayout(tab);
    grid->addWidget(paper_label, 0, 0);
    grid->addWidget(CBPaperSize, 0, 1, 1, 3);
    grid->addWidget(CBIsUseResolution, 1, 1, 1, 3);
    grid->addWidget(BuddyLabel(QStringLiteral("幅"), EditPaperWidth), 2, 0);
    grid->addWidget(EditPaperWidth, 2, 1);
    grid->addWidget(BuddyLabel(QStringLiteral("高さ"), EditPaperHeight), 2, 2);
    grid->addWidget(EditPaperHeight, 2, 3);
    grid->addWidget(BuddyLabel(QStringLiteral("余白"), EditMargin), 3, 0);
    grid->addWidget(EditMargin, 3, 1);
    grid->addWidget(CBIsAutoRotate, 4, 1, 1, 3);
    grid->addWidget(CBIsNoEnlarge, 5, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(6, 1);

    connect(CBPaperSize, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TFormPref::enablePaperControls);
    return tab;
}

void TFormPref::enablePaperControls() {
    const int choice = CBPaperSize->currentIndex();
    const bool on_paper = choice >= Settings::kPaperChoiceA4;
    CBIsUseResolution->setEnabled(!on_paper);
    EditPaperWidth->setEnabled(choice == Settings::kPaperChoiceCustom);
    EditPaperHeight->setEnabled(choice == Settings::kPaperChoiceCustom);
    EditMargin->setEnabled(on_paper);
    CBIsAutoRotate->setEnabled(on_paper);
    CBIsNoEnlarge->setEnabled(on_paper);
}

void TFormPref::showSettings() {
    CBIsUseCwd->setChecked(settings_.IsUseCwd());
    // -1 (no valid choice stored) leaves the box without a selection.
    CBPaperSize->setCurrentIndex(settings_.PaperSize());
    TBPref->setValue(settings_.CompressRate());
    CBIsUseResolution->setChecked(settings_.IsUseResolution());
    EditPaperWidth->setValue(settings_.PaperWidth());
    EditPaperHeight->setValue(settings_.PaperHeight());
    EditMargin->setValue(settings_.Margin());
    CBIsAutoRotate->setChecked(settings_.IsAutoRotate());
    CBIsNoEnlarge->setChecked(settings_.IsNoEnlarge());
    CBIsKeepAlpha->setChecked(settings_.IsKeepAlpha());
    CBIsAllPages->setChecked(settings_.IsAllPages());
    CBIsUseOrientation->setChecked(settings_.IsUseOrientation());
    enablePaperControls();
}

void TFormPref::takeSettings(Settings &settings) const {
    settings.SetIsUseCwd(CBIsUseCwd->isChecked());
    settings.SetPaperSize(CBPaperSize->currentIndex());
    settings.SetCompressRate(TBPref->value());
    settings.SetIsUseResolution(CBIsUseResolution->isChecked());
    settings.SetPaperWidth(EditPaperWidth->value());
    settings.SetPaperHeight(EditPaperHeight->value());
    settings.SetMargin(EditMargin->value());
    settings.SetIsAutoRotate(CBIsAutoRotate->isChecked());
    settings.SetIsNoEnlarge(CBIsNoEnlarge->isChecked());
    settings.SetIsKeepAlpha(CBIsKeepAlpha->isChecked());
    settings.SetIsAllPages(CBIsAllPages->isChecked());
    settings.SetIsUseOrientation(CBIsUseOrientation->isChecked());
}

void TFormPref::LoadSettings() {
    settings_.LoadSettings();
    showSettings();
}

bool TFormPref::IsUseCwd() const { return CBIsUseCwd->isChecked(); }

int TFormPref::PaperSize() const { return CBPaperSize->currentIndex(); }

int TFormPref::CompressRate() const { return TBPref->value(); }

void TFormPref::TakeImageChoices(BookRequest &request) const {
    request.keep_alpha = CBIsKeepAlpha->isChecked();
    request.all_pages = CBIsAllPages->isChecked();
    request.use_orientation = CBIsUseOrientation->isChecked();
}

PageSetup TFormPref::GetPageSetup() const {
    Settings shown = settings_;
    takeSettings(shown);
    return shown.GetPageSetup();
}

void TFormPref::BitBtnOKClick() {
    takeSettings(settings_);
    try {
        settings_.SaveSettings();
    } catch (const SettingsWriteError &error) {
        dialogs_.showMessage(this, QMessageBox::Critical,
                             QGuiApplication::applicationName(),
                             QString::fromUtf8(error.what()));
    }
    accept();
}

void TFormPref::BitBtn2Click() {
    try {
        LoadSettings();
    } catch (const SettingsWriteError &error) {
        dialogs_.showMessage(this, QMessageBox::Critical,
                             QGuiApplication::applicationName(),
                             QString::fromUtf8(error.what()));
    }
    reject();
}

void TFormPref::keyPressEvent(QKeyEvent *event) {
    // Esc is the Cancel button, handler included; QDialog alone would only
    // close the dialog like the title-bar button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BitBtn2->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormPref::fitSize() {
    // A fixed dialog border: the client area cannot be resized. It is the
    // designed size, or more when the fonts need more room.
    setFixedSize(QSize(kClientWidth, kClientHeight).expandedTo(layout()->sizeHint()));
}

void TFormPref::changeEvent(QEvent *event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) fitSize();
}

void TFormPref::showEvent(QShowEvent *event) {
    fitSize();
    QDialog::showEvent(event);
    // Centred on the desktop rather than over the main window.
    const QScreen *screen = this->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace bindwick
