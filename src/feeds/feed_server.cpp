#include "feeds/feed_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <cctype>
#include <climits>
#include <cstdio>

#include "feeds/atom_feed.h"
#include "feeds/feed_directory.h"
#include "feeds/http_date.h"
#include "store/article_reader.h"

namespace marl::feeds {
namespace {

using TimePoint = std::chrono::system_clock::time_point;

// Versions remembered per path and host; a server asked for endless host names forgets them all.
constexpr size_t kMaxVersions = 4096;
// Answers each connection keeps, the same way.
constexpr size_t kMaxKeptAnswers = 32;

std::string ContentTag(const std::string& kind, const ArticleSnapshot& snapshot, const std::string& base) {
    // FNV-1a over every value the answer is made of, each ended by a zero byte.
    uint64_t hash = 0xcbf29ce484222325ULL;
    const auto mix = [&hash](const std::string& value) {
        for (const char c : value) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 0x100000001b3ULL;
        }
        hash ^= 0;
        hash *= 0x100000001b3ULL;
    };
    mix(kind);
    mix(base);
    for (const RecordedPlan& plan : snapshot.plans) {
        mix(std::to_string(plan.id));
        mix(plan.name);
    }
    for (const RecordedArticle& article : snapshot.articles) {
        mix(std::to_string(article.article));
        mix(article.title);
        mix(article.url);
        mix(article.addtime);
        mix(article.plan_id ? std::to_string(*article.plan_id) : std::string("-"));
    }
    char tag[24];
    std::snprintf(tag, sizeof tag, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return tag;
}

// Whether If-None-Match names `etag` (weak comparison, as RFC 9110 asks for GET).
bool TagListed(const std::string& header, const std::string& etag) {
    size_t at = 0;
    while (at < header.size()) {
        size_t end = header.find(',', at);
        if (end == std::string::npos) end = header.size();
        std::string item = header.substr(at, end - at);
        const size_t first = item.find_first_not_of(" \t");
        const size_t last = item.find_last_not_of(" \t");
        item = first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
        if (item.rfind("W/", 0) == 0) item.erase(0, 2);
        if (item == "*" || item == etag) return true;
        at = end + 1;
    }
    return false;
}

std::string BaseOf(const httplib::Request& request, const std::string& host, int port) {
    std::string authority = request.get_header_value("Host");
    // A Host header that could break out of the address is not taken.
    bool usable = !authority.empty();
    for (const char c : authority) {
        const bool allowed = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ||
                             c == ':' || c == '[' || c == ']' || c == '_';
        usable = usable && allowed;
    }
    if (!usable) {
        authority = host.find(':') != std::string::npos ? "[" + host + "]" : host;
        authority += ":" + std::to_string(port);
    }
    return "http://" + authority;
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(const std::string& text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return std::nullopt;
    std::string host = text.substr(0, colon);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') return std::nullopt;
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        return std::nullopt;  // an IPv6 address needs its brackets
    }
    const std::string digits = text.substr(colon + 1);
    if (digits.size() > 5) return std::nullopt;
    int port = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port > 65535) return std::nullopt;
    return ListenAddress{host, port};
}

std::string ListenAddressText(const ListenAddress& address) {
    const std::string host =
        address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
    return host + ":" + std::to_string(address.port);
}

// One read-only connection and the answers made from it, by path and base address. An answer
// stands while the connection sees the file at the version it was made from: a request that has
// been answered before costs one look at the file's version, not a read and a rendering.
struct FeedServer::Reader {
    explicit Reader(const std::string& path) : feed(path) {}
    struct Kept {
        ArticleVersion version;
        std::string etag;
        TimePoint since;
        std::string body;
        const char* type = "";
    };
    ArticleReader feed;
    std::map<std::string, Kept> answers;
};

FeedServer::FeedServer(std::string database_path) : FeedServer(std::move(database_path), Options{}) {}

FeedServer::FeedServer(std::string database_path, Options options)
    : database_path_(std::move(database_path)),
      options_(options),
      server_(std::make_unique<httplib::Server>()) {
    const size_t threads = options_.threads == 0 ? 1 : options_.threads;
    server_->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    // A keep-alive connection holds its thread while it lasts: with more threads than the readers
    // polling at once, none waits for another's connection to end. Past that, connections take turns.
    server_->set_keep_alive_max_count(100);
    server_->set_keep_alive_timeout(5);
    server_->set_tcp_nodelay(true);
    server_->Get("/",
                 [this](const httplib::Request& q, httplib::Response& r) { Answer(q, r, Kind::kIndex, {}); });
    server_->Get("/feeds.opml",
                 [this](const httplib::Request& q, httplib::Response& r) { Answer(q, r, Kind::kOpml, {}); });
    server_->Get("/feeds/all.atom", [this](const httplib::Request& q, httplib::Response& r) {
        Answer(q, r, Kind::kAllFeed, {});
    });
    server_->Get(R"(/feeds/([0-9]{1,10})\.atom)", [this](const httplib::Request& q, httplib::Response& r) {
        const long long id = std::stoll(q.matches[1].str());
        if (id > INT32_MAX) {
            r.status = 404;
            return;
        }
        Answer(q, r, Kind::kPlanFeed, static_cast<int32_t>(id));
    });
}

FeedServer::~FeedServer() { Stop(); }

bool FeedServer::Bind(const ListenAddress& address) {
    host_ = address.host;
    // The library listens with a backlog of 5: readers that connect at the same moment beyond that
    // would have their connections dropped and retried after a second or more. Its socket is taken
    // as it is made, to listen again with the system's full backlog once bound.
    int listening = -1;
    server_->set_socket_options([&listening](socket_t socket) {
        httplib::default_socket_options(socket);
        listening = socket;
    });
    bool bound = false;
    if (address.port == 0) {
        port_ = server_->bind_to_any_port(address.host);
        bound = port_ > 0;
    } else {
        port_ = address.port;
        bound = server_->bind_to_port(address.host, address.port);
    }
    server_->set_socket_options(httplib::default_socket_options);
    if (bound && listening >= 0) ::listen(listening, SOMAXCONN);
    return bound;
}

void FeedServer::Start() {
    thread_ = std::thread([this] {
        server_->listen_after_bind();
        finished_ = true;
    });
    // The library's stop only reaches a server that has begun to listen: wait for that moment (a
    // few milliseconds, once), so that a Stop right after Start cannot be lost.
    while (!server_->is_running() && !finished_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool FeedServer::Serve() { return server_->listen_after_bind(); }

void FeedServer::Stop() {
    server_->stop();
    if (thread_.joinable()) thread_.join();
}

TimePoint FeedServer::VersionSince(const std::string& key, const std::string& etag) {
    std::lock_guard<std::mutex> lock(versions_mutex_);
    auto found = versions_.find(key);
    if (found != versions_.end() && found->second.etag == etag) return found->second.since;
    if (versions_.size() >= kMaxVersions) versions_.clear();
    // Whole seconds: Last-Modified cannot say more, and If-Modified-Since compares with it.
    const TimePoint now =
        std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now());
    versions_[key] = Version{etag, now};
    return now;
}

std::unique_ptr<FeedServer::Reader> FeedServer::TakeReader() {
    {
        std::lock_guard<std::mutex> lock(readers_mutex_);
        if (!readers_.empty()) {
            std::unique_ptr<Reader> reader = std::move(readers_.back());
            readers_.pop_back();
            return reader;
        }
    }
    return std::make_unique<Reader>(database_path_);
}

void FeedServer::GiveBack(std::unique_ptr<Reader> reader) {
    std::lock_guard<std::mutex> lock(readers_mutex_);
    readers_.push_back(std::move(reader));
}

void FeedServer::Answer(const httplib::Request& request, httplib::Response& response, Kind kind,
                        std::optional<int32_t> plan_id) {
    ArticleQuery query;
    query.plan_id = plan_id;
    query.limit = kind == Kind::kIndex || kind == Kind::kOpml ? 0 : options_.limit;
    query.busy_timeout = options_.busy_timeout;
    query.refuse_while_writing = true;
    const std::string base = BaseOf(request, host_, port_);
    const std::string key = request.path + "\n" + base;

    std::unique_ptr<Reader> reader = TakeReader();
    const Reader::Kept* answer = nullptr;
    ArticleReadResult read = ArticleReadResult::kOk;
    auto kept = reader->answers.find(key);
    if (kept != reader->answers.end()) {
        // The same state of the file as when it was made (and nobody writing now): it stands.
        ArticleVersion now;
        read = reader->feed.ReadVersion(query, now);
        if (read == ArticleReadResult::kOk && now == kept->second.version) answer = &kept->second;
    }
    if (answer == nullptr && read == ArticleReadResult::kOk) {
        if (kept != reader->answers.end()) reader->answers.erase(kept);
        ArticleSnapshot snapshot;
        read = reader->feed.Read(query, snapshot);
        if (read == ArticleReadResult::kOk) {
            const std::string kind_name = kind == Kind::kIndex     ? "index"
                                          : kind == Kind::kOpml    ? "opml"
                                          : kind == Kind::kAllFeed ? "all"
                                                                   : "plan " + std::to_string(*plan_id);
            Reader::Kept made;
            made.version = snapshot.version;
            made.etag = ContentTag(kind_name, snapshot, base);
            made.since = VersionSince(key, made.etag);
            switch (kind) {
                case Kind::kIndex:
                    made.body = IndexPage(snapshot, base);
                    made.type = "text/html; charset=utf-8";
                    break;
                case Kind::kOpml:
                    made.body = OpmlDocument(snapshot, base);
                    made.type = "text/x-opml; charset=utf-8";
                    break;
                case Kind::kAllFeed:
                case Kind::kPlanFeed:
                    // Articles without a time of their own take the moment this version was first
                    // served, so that one ETag always stands for the same bytes.
                    made.body = AtomDocument(snapshot, plan_id, made.since, base + request.path);
                    made.type = "application/atom+xml; charset=utf-8";
                    break;
            }
            if (reader->answers.size() >= kMaxKeptAnswers) reader->answers.clear();
            answer = &(reader->answers[key] = std::move(made));
        }
    }

    switch (read) {
        case ArticleReadResult::kOk:
            break;
        case ArticleReadResult::kUnknownPlan:
            GiveBack(std::move(reader));
            response.status = 404;
            response.set_content("no such plan\n", "text/plain; charset=utf-8");
            return;
        case ArticleReadResult::kBusy:
        case ArticleReadResult::kUnavailable:
        case ArticleReadResult::kNoSearch:  // feeds search no words
            GiveBack(std::move(reader));
            response.status = 503;
            response.set_header("Retry-After", "5");
            response.set_content("the database is busy; try again shortly\n", "text/plain; charset=utf-8");
            return;
    }

    response.set_header("ETag", answer->etag);
    response.set_header("Last-Modified", HttpDate(answer->since));
    response.set_header("Cache-Control", "no-cache");
    bool unchanged = false;
    if (request.has_header("If-None-Match")) {
        unchanged = TagListed(request.get_header_value("If-None-Match"), answer->etag);
    } else if (request.has_header("If-Modified-Since")) {
        const auto asked = ParseHttpDate(request.get_header_value("If-Modified-Since"));
        unchanged = asked && answer->since <= *asked;
    }
    if (unchanged) {
        response.status = 304;
    } else {
        response.set_content(answer->body, answer->type);
    }
    // The answer belongs to the reader: copied out above before another request may take it.
    GiveBack(std::move(reader));
}

}  // namespace marl::feeds
