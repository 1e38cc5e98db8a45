#include "monitor/status_log.h"

#include <cstdio>
#include <ctime>

namespace marl {

Text FormatTime(std::chrono::system_clock::time_point when, bool long_form) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return Text();
    char buffer[64];
    int length;
    if (long_form) {
        length = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                               local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    } else {
        length = std::snprintf(buffer, sizeof buffer, "%02d-%02d %02d:%02d", local.tm_mon + 1, local.tm_mday,
                               local.tm_hour, local.tm_min);
    }
    if (length < 0) return Text();
    return Text(buffer, static_cast<size_t>(length) < sizeof buffer ? length : sizeof buffer - 1);
}

Text FormatNow(const Clock& clock, bool long_form) { return FormatTime(clock.Now(), long_form); }

Text ShortTimeOf(const std::string& long_form) {
    // "yyyy-MM-dd HH:mm:ss": digits everywhere but the separators.
    static constexpr char kShape[] = "0000-00-00 00:00:00";
    if (long_form.size() != sizeof kShape - 1) return Text();
    for (size_t i = 0; i < long_form.size(); ++i) {
        const bool digit = long_form[i] >= '0' && long_form[i] <= '9';
        if (kShape[i] == '0' ? !digit : long_form[i] != kShape[i]) return Text();
    }
    return long_form.substr(5, 11);
}

Text StatusLine(const Text& stamp, const Text& message) {
    Text line;
    line.reserve(stamp.size() + message.size() + 8);
    line.append("[ ").append(stamp).append(" ] ").append(message).append("\r\n");
    return line;
}

void StatusLog(MonitorUi& ui, const Clock& clock, const Text& message) {
    ui.AppendStatus(StatusLine(FormatNow(clock, true), message));
}

}  // namespace marl
