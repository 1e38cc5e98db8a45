#include "ui/open_link.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "web/browsable_address.h"

namespace marl::ui {

bool OpenWebAddress(const Text& stored) {
    const auto address = BrowsableAddress(stored);
    if (!address) return false;
    // Tolerant parsing: page links may hold spaces or characters that are not percent-encoded.
    const QUrl url(QString::fromStdString(*address), QUrl::TolerantMode);
    if (!url.isValid()) return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace marl::ui
