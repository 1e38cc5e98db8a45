#include "support/gui/browser_stand_in.h"

#include <QDesktopServices>

namespace marl::test {
namespace {

constexpr const char* kSchemes[] = {"http", "https", "file", "javascript"};

}  // namespace

BrowserStandIn::BrowserStandIn() {
    for (const char* scheme : kSchemes) QDesktopServices::setUrlHandler(scheme, this, "Open");
}

BrowserStandIn::~BrowserStandIn() {
    for (const char* scheme : kSchemes) QDesktopServices::unsetUrlHandler(scheme);
}

}  // namespace marl::test
