#pragma once
#include <chrono>
#include <string>

#include "monitor/clock.h"
#include "monitor/monitor_ui.h"
#include "text/text.h"

namespace marl {

// Local time as text. Long form "yyyy-MM-dd HH:mm:ss" stamps the status lines; short form
// "MM-dd HH:mm" is the article list's time column.
Text FormatTime(std::chrono::system_clock::time_point when, bool long_form);
Text FormatNow(const Clock& clock, bool long_form);
// The short form of a recording time stored in the long form ("2024-03-05 07:08:09" gives
// "03-05 07:08"); empty for anything else (older rows have no time).
Text ShortTimeOf(const std::string& long_form);

// One status line: "[ " + stamp + " ] " + message + CR LF.
Text StatusLine(const Text& stamp, const Text& message);

// Appends the status line for `message`, stamped with the clock's current time.
void StatusLog(MonitorUi& ui, const Clock& clock, const Text& message);

}  // namespace marl
