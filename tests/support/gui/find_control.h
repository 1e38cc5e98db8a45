#pragma once
#include <QObject>
#include <QString>

namespace marl::test {

// The control named `utf8_name` (its template name) below `root`; nullptr when there is none.
template <typename T = QWidget>
T* Control(const QObject* root, const char* utf8_name) {
    return root->findChild<T*>(QString::fromUtf8(utf8_name));
}

}  // namespace marl::test
