#include "ui/qt_text.h"

#include "text/gbk_codec.h"

namespace marl::ui {

QString ToQString(const Text& gbk) {
    const std::u16string utf16 = GbkToUtf16(gbk);
    return QString::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size()));
}

Text FromQString(const QString& text) {
    return Utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                          static_cast<size_t>(text.size())));
}

}  // namespace marl::ui
