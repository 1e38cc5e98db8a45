#pragma once
#include <QObject>
#include <QUrl>
#include <vector>

namespace marl::test {

// Takes the place of the web browser (and of every other handler for file: and javascript:) for its
// lifetime, through Qt's own URL-handler seam, and records what the program asked to open.
class BrowserStandIn : public QObject {
    Q_OBJECT
  public:
    BrowserStandIn();
    ~BrowserStandIn() override;

    std::vector<QUrl> opened;

  public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

}  // namespace marl::test
