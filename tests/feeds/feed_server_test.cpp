// The feed server over loopback HTTP, on a real database file.
#include "feeds/feed_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <pugixml.hpp>
#include <vector>

#include "feed_store.h"
#include "store/raw_sqlite.h"

namespace marl {
namespace {

using feeds::FeedServer;

class FeedServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        news_ = store_.AddPlan("新闻");
        store_.AddPlan("Blog");
        store_.Record(news_, {{"第一篇", "http://news.test/1"}, {"Second", "http://news.test/2"}});
        ASSERT_TRUE(server_.Bind({"127.0.0.1", 0}));
        server_.Start();
    }

    test::FeedStore store_;
    int32_t news_ = 0;
    FeedServer server_{store_.path()};
};

// The client needs the server's port, known only once it is bound.
class ServedFeeds : public FeedServerTest {
  protected:
    void SetUp() override {
        FeedServerTest::SetUp();
        http_ = std::make_unique<httplib::Client>("127.0.0.1", server_.port());
    }
    httplib::Result Get(const std::string& path, const httplib::Headers& headers = {}) {
        return http_->Get(path, headers);
    }
    std::unique_ptr<httplib::Client> http_;
};

TEST_F(ServedFeeds, FeedsIndexAndOpmlAnswer200AndParse) {
    const struct {
        const char* path;
        const char* type;
        const char* root;
    } cases[] = {
        {"/feeds/all.atom", "application/atom+xml; charset=utf-8", "feed"},
        {"/feeds/1.atom", "application/atom+xml; charset=utf-8", "feed"},
        {"/feeds.opml", "text/x-opml; charset=utf-8", "opml"},
        {"/", "text/html; charset=utf-8", "html"},
    };
    for (const auto& c : cases) {
        const auto result = Get(c.path);
        ASSERT_TRUE(result) << c.path;
        EXPECT_EQ(result->status, 200) << c.path;
        EXPECT_EQ(result->get_header_value("Content-Type"), c.type);
        EXPECT_FALSE(result->get_header_value("ETag").empty());
        EXPECT_FALSE(result->get_header_value("Last-Modified").empty());
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_string(result->body.c_str())) << c.path;
        EXPECT_TRUE(doc.child(c.root)) << c.path;
    }
    pugi::xml_document feed;
    feed.load_string(Get("/feeds/1.atom")->body.c_str());
    EXPECT_STREQ(feed.child("feed").child_value("title"), "新闻");
    EXPECT_STREQ(feed.child("feed").child("entry").child_value("title"), "Second");

    // The OPML lists every plan's feed under the address the reader used.
    pugi::xml_document opml;
    opml.load_string(Get("/feeds.opml")->body.c_str());
    std::vector<std::string> urls;
    for (pugi::xml_node outline : opml.child("opml").child("body").children("outline")) {
        urls.push_back(outline.attribute("xmlUrl").value());
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(server_.port());
    EXPECT_EQ(urls, (std::vector<std::string>{base + "/feeds/all.atom", base + "/feeds/1.atom",
                                              base + "/feeds/2.atom"}));
}

TEST_F(ServedFeeds, ConditionalRequestsAnswer304UntilSomethingNewArrives) {
    const auto first = Get("/feeds/all.atom");
    ASSERT_TRUE(first);
    const std::string etag = first->get_header_value("ETag");
    const std::string modified = first->get_header_value("Last-Modified");

    const auto by_tag = Get("/feeds/all.atom", {{"If-None-Match", etag}});
    ASSERT_TRUE(by_tag);
    EXPECT_EQ(by_tag->status, 304);
    EXPECT_TRUE(by_tag->body.empty());
    const auto by_list = Get("/feeds/all.atom", {{"If-None-Match", "\"other\", W/" + etag}});
    EXPECT_EQ(by_list->status, 304);
    const auto by_date = Get("/feeds/all.atom", {{"If-Modified-Since", modified}});
    ASSERT_TRUE(by_date);
    EXPECT_EQ(by_date->status, 304);
    // The same bytes for the same tag.
    EXPECT_EQ(Get("/feeds/all.atom")->body, first->body);

    store_.Record(news_, {{"Third", "http://news.test/3"}});
    const auto changed = Get("/feeds/all.atom", {{"If-None-Match", etag}});
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->status, 200);
    EXPECT_NE(changed->get_header_value("ETag"), etag);
    EXPECT_NE(changed->body.find("Third"), std::string::npos);
    EXPECT_EQ(Get("/feeds/all.atom", {{"If-None-Match", "\"stale\""}})->status, 200);
}

TEST_F(ServedFeeds, UnknownPathsAndPlansAnswer404AndNothingChangesAnything) {
    for (const char* path : {"/nope", "/feeds/99.atom", "/feeds/abc.atom", "/feeds/99999999999.atom",
                             "/feeds/all.rss", "/feeds/1.atom/x"}) {
        const auto result = Get(path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 404) << path;
    }
    const auto posted = http_->Post("/feeds/all.atom", "x", "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_NE(posted->status, 200);
    const auto deleted = http_->Delete("/feeds/1.atom");
    ASSERT_TRUE(deleted);
    EXPECT_NE(deleted->status, 200);
}

TEST_F(ServedFeeds, WriteLockHeldElsewhereGives503NeverAHalfFeed) {
    test::RawSqlite writer(store_.path());
    writer.Exec("BEGIN IMMEDIATE");
    writer.Exec("INSERT INTO info (classid, title, url, addtime) VALUES ('1', 'half', 'http://x/h', '')");
    const auto busy = Get("/feeds/all.atom");
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->status, 503);
    EXPECT_EQ(busy->get_header_value("Retry-After"), "5");
    writer.Exec("COMMIT");
    const auto after = Get("/feeds/all.atom");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
    EXPECT_NE(after->body.find("half"), std::string::npos);
}

// An answer made once is kept for the next requests; every commit of any kind (articles, a plan
// renamed or deleted) and a writer holding the file are seen at once all the same.
TEST_F(ServedFeeds, KeptAnswersFollowEveryCommit) {
    const auto plan = Get("/feeds/1.atom");
    ASSERT_TRUE(plan);
    const std::string etag = plan->get_header_value("ETag");
    ASSERT_EQ(Get("/feeds/2.atom")->status, 200);
    ASSERT_EQ(Get("/feeds/1.atom", {{"If-None-Match", etag}})->status, 304);

    test::RawSqlite other(store_.path());
    other.Exec("UPDATE rule SET name = 'Renamed' WHERE id = 1");
    const auto renamed = Get("/feeds/1.atom", {{"If-None-Match", etag}});
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->status, 200);
    pugi::xml_document feed;
    feed.load_string(renamed->body.c_str());
    EXPECT_STREQ(feed.child("feed").child_value("title"), "Renamed");
    const std::string renamed_etag = renamed->get_header_value("ETag");
    EXPECT_NE(renamed_etag, etag);

    other.Exec("DELETE FROM rule WHERE id = 2");
    EXPECT_EQ(Get("/feeds/2.atom")->status, 404);
    // The plan list is part of every answer: the feed of plan 1 changed with it.
    const auto after_delete = Get("/feeds/1.atom", {{"If-None-Match", renamed_etag}});
    ASSERT_TRUE(after_delete);
    EXPECT_EQ(after_delete->status, 200);
    const std::string current = after_delete->get_header_value("ETag");

    other.Exec("BEGIN IMMEDIATE");
    EXPECT_EQ(Get("/feeds/1.atom", {{"If-None-Match", current}})->status, 503);
    other.Exec("ROLLBACK");
    EXPECT_EQ(Get("/feeds/1.atom", {{"If-None-Match", current}})->status, 304);

    // Another host name: links under that address, so a tag of its own.
    const auto other_host = Get("/feeds/1.atom", {{"Host", "feeds.example:8080"}});
    ASSERT_TRUE(other_host);
    EXPECT_NE(other_host->get_header_value("ETag"), current);
    EXPECT_NE(other_host->body.find("http://feeds.example:8080/feeds/1.atom"), std::string::npos);
}

// Readers that connect at the same moment are all taken in by the system, even before the server
// has accepted any of them: none has its connection attempt dropped and retried seconds later.
TEST(FeedServerListening, ManyReadersConnectingAtOnceAreAllTakenIn) {
    test::FeedStore store;
    FeedServer server(store.path());
    ASSERT_TRUE(server.Bind({"127.0.0.1", 0}));  // bound and listening, not yet accepting
    constexpr int kReaders = 50;
    std::vector<int> sockets;
    for (int i = 0; i < kReaders; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ASSERT_GE(fd, 0);
        sockets.push_back(fd);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(server.port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int started = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ASSERT_TRUE(started == 0 || errno == EINPROGRESS) << errno;
    }
    // The handshake is the kernel's own on loopback; the wait only bounds attempts that were dropped.
    std::vector<pollfd> pending;
    for (const int fd : sockets) pending.push_back({fd, POLLOUT, 0});
    int connected = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!pending.empty() && std::chrono::steady_clock::now() < give_up) {
        if (poll(pending.data(), pending.size(), 100) < 0) break;
        std::vector<pollfd> still;
        for (const pollfd& entry : pending) {
            if (entry.revents == 0) {
                still.push_back({entry.fd, POLLOUT, 0});
                continue;
            }
            int error = -1;
            socklen_t length = sizeof error;
            if (getsockopt(entry.fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) ++connected;
        }
        pending = std::move(still);
    }
    for (const int fd : sockets) close(fd);
    EXPECT_EQ(connected, kReaders);
}

TEST(ListenAddress, LoopbackByDefaultAndStrictParsing) {
    const auto standard = feeds::ParseListenAddress(feeds::kDefaultListen);
    ASSERT_TRUE(standard);
    EXPECT_EQ(standard->host, "127.0.0.1");
    EXPECT_EQ(standard->port, 8765);
    const auto v6 = feeds::ParseListenAddress("[::1]:80");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    for (const char* bad : {"", "8765", ":8765", "127.0.0.1:", "127.0.0.1:65536", "127.0.0.1:8x", "::1:80",
                            "[::1:80", "127.0.0.1:123456"}) {
        EXPECT_FALSE(feeds::ParseListenAddress(bad)) << bad;
    }
}

}  // namespace
}  // namespace marl
