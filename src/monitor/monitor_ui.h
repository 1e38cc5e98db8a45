#pragma once
#include <cstdint>

#include "text/text.h"

namespace marl {

// Everything the monitor does to controls goes through this port. Each call completes before it
// returns and calls take effect in the order they are made: the desktop program runs them on the
// UI thread and blocks the worker until they are done, the headless runner and the tests act at
// once. All texts are GBK.
class MonitorUi {
  public:
    virtual ~MonitorUi() = default;

    // Appends one whole status line (it already ends in CR LF) to the status box.
    virtual void AppendStatus(const Text& line) = 0;

    // Inserts a row at the top of the article list. `position` is the plan's position in the plan
    // list; the desktop list does not show it, the headless runner reports it.
    virtual void InsertArticleRow(int32_t position, const Text& plan_name, const Text& title,
                                  const Text& address, const Text& short_time) = 0;

    // Hands a new article to the notification popup.
    virtual void ShowArticle(const Text& title, const Text& address) = 0;

    // The text of the frequency box, read afresh at every call.
    virtual Text FrequencyText() = 0;

    // The start button: its caption ("监控", "停止", "正在停止") and whether it can be clicked.
    virtual Text StartCaption() = 0;
    virtual void SetStartCaption(const Text& caption) = 0;
    virtual void SetStartEnabled(bool enabled) = 0;

    // Replaces the clipboard's content with `text`.
    virtual void SetClipboard(const Text& text) = 0;

    // A modal message box with an OK button and the default caption.
    virtual void ShowMessage(const Text& text) = 0;

    // True once something shown may not have reached the user: the headless runner's output could
    // not be written. The articles shown since the recording last committed are then taken back,
    // so that the next pass shows them again. The windows cannot fail this way.
    virtual bool OutputFailed() { return false; }
};

}  // namespace marl
