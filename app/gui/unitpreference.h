// TFormPref: the preferences dialog. Its controls are the settings in effect
// for the whole run of the program; the settings file is read into them when
// the dialog is created and by Cancel, and written from them only by OK.
// Closing the dialog with the title-bar button keeps the controls as they
// are, stored or not.
#pragma once

#include <QDialog>
#include <string>

#include "book_writer.h"
#include "settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace bindwick {

class UserDialogs;

class TFormPref : public QDialog {
    Q_OBJECT

public:
    // Builds the dialog and reads the settings file at `ini_file_name`,
    // creating it when missing. Throws SettingsWriteError when a missing
    // file cannot be created. `dialogs` shows the message of a failed OK
    // and must outlive the dialog.
    TFormPref(QWidget *owner, const std::string &ini_file_name,
              UserDialogs &dialogs);

    // Reads the settings file into the controls (creating the file when it
    // is missing). Throws SettingsWriteError like the constructor.
    void LoadSettings();

    // The settings in effect, as the controls show them.
    bool IsUseCwd() const;
    int PaperSize() const;     // the selected item, -1 when none
    int CompressRate() const;  // the track bar position, 0..9
    // Puts the image choices of the file tab into the next book's request.
    void TakeImageChoices(BookRequest &request) const;
    // The page choices of the paper-size tab, for the next book.
    PageSetup GetPageSetup() const;

    const std::string &IniFileName() const { return settings_.IniFileName(); }

    // The controls, named as their objectName.
    QTabWidget *PageControlPref = nullptr;
    QCheckBox *CBIsUseCwd = nullptr;
    QCheckBox *CBIsKeepAlpha = nullptr;
    QCheckBox *CBIsAllPages = nullptr;
    QCheckBox *CBIsUseOrientation = nullptr;  // not CBIsAutoRotate: that turns the paper
    QComboBox *CBPaperSize = nullptr;
    QCheckBox *CBIsUseResolution = nullptr;
    QSpinBox *EditPaperWidth = nullptr;   // millimetres
    QSpinBox *EditPaperHeight = nullptr;  // millimetres
    QSpinBox *EditMargin = nullptr;       // millimetres
    QCheckBox *CBIsAutoRotate = nullptr;
    QCheckBox *CBIsNoEnlarge = nullptr;
    QSlider *TBPref = nullptr;
    QPushButton *BitBtnOK = nullptr;
    QPushButton *BitBtn2 = nullptr;

public slots:
    // OK: writes the controls to the settings file, then closes the dialog.
    // A failed write is reported; the dialog closes all the same and the
    // controls keep their values.
    void BitBtnOKClick();
    // Cancel: puts the stored values back into the controls, then closes
    // the dialog.
    void BitBtn2Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The fixed size: the designed one, grown to what the contents need.
    void fitSize();
    void buildTabs();
    QWidget *buildPaperTab();
    // Enables the paper-size tab's controls that the chosen size uses.
    void enablePaperControls();
    // Copies the settings model into the controls and back.
    void showSettings();
    void takeSettings(Settings &settings) const;

    Settings settings_;
    UserDialogs &dialogs_;
};

}  // namespace bindwick
