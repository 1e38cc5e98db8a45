#include "ui/open_link.h"

#include <QDesktopServices>
#include <QUrl>

#include "ui/qt_text.h"
#include "web/browsable_address.h"

namespace marl::ui {

bool OpenWebAddress(const Text& stored) {
    const auto address = BrowsableAddress(stored);
    if (!address) return false;
    // Tolerant parsing: page links may hold spaces or characters that are not percent-encoded.
    const QUrl url(ToQString(*address), QUrl::TolerantMode);
    if (!url.isValid()) return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace marl::ui
