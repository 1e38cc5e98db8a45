#pragma once

class QCoreApplication;
class QTranslator;

namespace marl::ui {

// Loads Qt's own Chinese texts (standard buttons, the edit boxes' context menus) from the system's Qt
// translations, so that nothing Qt draws by itself reads English in this Chinese program. Returns the
// installed translator (owned by `app`), or null when the translation is not installed; the message
// boxes caption their buttons themselves either way.
QTranslator* InstallQtChineseTranslation(QCoreApplication& app);

}  // namespace marl::ui
