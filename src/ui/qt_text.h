#pragma once
#include <QString>

#include "text/text.h"

namespace marl::ui {

// The one crossing between the core's GBK texts and Qt's strings. Bytes that are not valid GBK come
// out as U+FFFD; characters that GBK lacks go in as "?".
QString ToQString(const Text& gbk);
Text FromQString(const QString& text);

}  // namespace marl::ui
