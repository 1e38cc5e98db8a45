#pragma once
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace marl::test {

// A small web site on 127.0.0.1 (any free port) serving fixed pages by path, for the monitor's tests
// and benchmarks. Unknown paths answer 404 with an empty body.
class PageServer {
  public:
    PageServer();
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    void SetPage(const std::string& path, std::string body,
                 std::string content_type = "text/html; charset=utf-8");
    // Answers `path` with this status code (its page, if any, as the body): an error page.
    void SetStatus(const std::string& path, int status);
    // Holds every answer for `path` back by `delay` before sending it (a slow site).
    void SetDelay(const std::string& path, std::chrono::milliseconds delay);
    // "http://127.0.0.1:PORT" + path.
    std::string Url(const std::string& path) const;
    int port() const { return port_; }
    // How many requests reached `path`.
    int Hits(const std::string& path) const;

  private:
    struct Page {
        std::string body, content_type;
    };
    class Impl;
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::map<std::string, Page> pages_;
    std::map<std::string, int> hits_;
    std::map<std::string, std::chrono::milliseconds> delays_;
    std::map<std::string, int> statuses_;
};

}  // namespace marl::test
