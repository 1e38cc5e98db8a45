#include "support/page_server.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace marl::test {

class PageServer::Impl {
  public:
    httplib::Server server;
    std::thread thread;
    std::atomic<bool> ended{false};
};

PageServer::PageServer() : impl_(std::make_unique<Impl>()) {
    auto serve = [this](const httplib::Request& request, httplib::Response& response) {
        std::unique_lock lock(mutex_);
        ++hits_[request.path];
        const auto delay = delays_.find(request.path);
        // A held-back answer gives up at once when the server is being stopped.
        if (delay != delays_.end() && stopped_.wait_for(lock, delay->second, [this] { return stopping_; }))
            return;
        auto it = pages_.find(request.path);
        const auto status = statuses_.find(request.path);
        if (status != statuses_.end()) response.status = status->second;
        if (it == pages_.end()) {
            if (status == statuses_.end()) response.status = 404;
            return;
        }
        response.set_content(it->second.body, it->second.content_type);
    };
    impl_->server.Get(".*", serve);
    impl_->server.Post(".*", serve);
    port_ = impl_->server.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("cannot listen on 127.0.0.1");
    impl_->thread = std::thread([this] {
        impl_->server.listen_after_bind();
        impl_->ended = true;
    });
    // Connections queue on the bound socket already; only stop() needs the accept loop running.
}

PageServer::~PageServer() {
    // stop() before the accept loop runs would be lost and the join would never return.
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    while (!impl_->server.is_running() && !impl_->ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    impl_->server.stop();
    if (impl_->thread.joinable()) impl_->thread.join();
}

void PageServer::SetPage(const std::string& path, std::string body, std::string content_type) {
    std::lock_guard lock(mutex_);
    pages_[path] = Page{std::move(body), std::move(content_type)};
}

void PageServer::SetStatus(const std::string& path, int status) {
    std::lock_guard lock(mutex_);
    statuses_[path] = status;
}

void PageServer::SetDelay(const std::string& path, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    delays_[path] = delay;
}

std::string PageServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int PageServer::Hits(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = hits_.find(path);
    return it == hits_.end() ? 0 : it->second;
}

}  // namespace marl::test
