#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "store/article_reader.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace marl::feeds {

// "ADDR:PORT" ("[v6]:PORT" for IPv6) split into its parts; none when malformed or the port is
// not 0-65535.
struct ListenAddress {
    std::string host;
    int port = 0;
};
std::optional<ListenAddress> ParseListenAddress(const std::string& text);
// The other way round: "ADDR:PORT", with brackets around an IPv6 address.
std::string ListenAddressText(const ListenAddress& address);
inline constexpr char kDefaultListen[] = "127.0.0.1:8765";

// The read-only feed server: "/" an index of the plans and their feeds, "/feeds/all.atom",
// "/feeds/ID.atom", "/feeds.opml"; every other path 404. The database is opened read-only for every
// request, so it serves beside a program recording into the same file: while another connection
// holds the write lock, or the file stays busy past a short wait, the answer is 503 with
// Retry-After, never a feed read halfway. ETag and Last-Modified make conditional requests 304.
class FeedServer {
  public:
    struct Options {
        // Connections served at once (a keep-alive connection keeps its thread while it lasts);
        // more connections wait their turn.
        size_t threads = 64;
        std::chrono::milliseconds busy_timeout{250};
        int limit = 50;  // entries per feed
    };

    explicit FeedServer(std::string database_path);
    FeedServer(std::string database_path, Options options);
    ~FeedServer();
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    // Binds the address (port 0: any free port). False when it cannot be bound.
    bool Bind(const ListenAddress& address);
    int port() const { return port_; }
    // Serves on a thread of its own until Stop.
    void Start();
    // Serves on the calling thread until Stop (from another thread) or a failure.
    bool Serve();
    void Stop();

  private:
    struct Version {
        std::string etag;
        std::chrono::system_clock::time_point since;
    };
    enum class Kind { kIndex, kOpml, kAllFeed, kPlanFeed };
    void Answer(const httplib::Request& request, httplib::Response& response, Kind kind,
                std::optional<int32_t> plan_id);
    // When the content tagged `etag` was first served at `key` (now for a new one).
    std::chrono::system_clock::time_point VersionSince(const std::string& key, const std::string& etag);

    std::string database_path_;
    Options options_;
    std::unique_ptr<httplib::Server> server_;
    std::string host_;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> finished_{false};  // the listening thread has returned
    std::mutex versions_mutex_;
    std::map<std::string, Version> versions_;
    // Open read-only connections, one per request at a time, kept for the next requests with the
    // answers each has made.
    struct Reader;
    std::unique_ptr<Reader> TakeReader();
    void GiveBack(std::unique_ptr<Reader> reader);
    std::mutex readers_mutex_;
    std::vector<std::unique_ptr<Reader>> readers_;
};

}  // namespace marl::feeds
