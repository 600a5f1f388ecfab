// Qt's own texts (the buttons of message boxes, the file dialogs) in
// Japanese, like the rest of the program.
#pragma once

class QCoreApplication;

namespace bindwick {

// Loads Qt's Japanese translations from Qt's translation folder and
// installs them in `app`. False when they are not installed on this system
// (the standard dialogs then speak English).
bool InstallQtTranslations(QCoreApplication &app);

}  // namespace bindwick
