// How one exchange behaves towards servers: TLS, redirects, cookies, failures and limits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "support/loopback_tls.h"
#include "support/raw_http_server.h"
#include "web/http_request.h"

namespace marl {
namespace {

using namespace std::chrono_literals;
using test::RawHttpServer;
using test::RawReply;
using test::RawRequest;

// Small limits so that a request that does not end by itself ends within a few seconds.
HttpLimits ShortLimits() {
    HttpLimits limits;
    limits.connect = 2s;
    limits.stall = 1s;
    limits.total = 3s;
    return limits;
}

std::string Get(const std::string& url, const std::string& header_text = "", const HttpLimits& limits = {}) {
    return SendRequest(url, HttpMethod::kGet, "", header_text, limits);
}

// A port on 127.0.0.1 that nothing listens on.
int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "no free port on 127.0.0.1";
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

// A gzip member holding `data` in stored (uncompressed) deflate blocks, so no compressor is needed.
std::string GzipMember(std::string_view data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    const uint32_t length = static_cast<uint32_t>(data.size());
    std::string out("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\xFF", 10);
    do {
        const size_t n = std::min<size_t>(data.size(), 65535);
        out.push_back(n == data.size() ? 1 : 0);  // last block?
        for (const size_t v : {n, ~n}) {
            out.push_back(static_cast<char>(v));
            out.push_back(static_cast<char>(v >> 8));
        }
        out.append(data.substr(0, n));
        data.remove_prefix(n);
    } while (!data.empty());
    for (const uint32_t v : {~crc, length}) {
        for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(v >> shift));
    }
    return out;
}

TEST(HttpTransport, AnyCertificateIsAccepted) {
    for (const bool expired : {false, true}) {
        SCOPED_TRACE(expired ? "expired" : "self-signed for another name");
        const test::TlsIdentity identity = test::MakeSelfSignedIdentity("some.other.name", expired);
        RawHttpServer server(RawHttpServer::Response(200, "secure page"), &identity);
        EXPECT_EQ(Get(server.Url("/s"), "", ShortLimits()), "secure page");
        EXPECT_EQ(server.LastRequest().RequestLine(), "GET /s HTTP/1.1");
    }
}

TEST(HttpTransport, RedirectsAreFollowedBetweenHttpAndHttps) {
    const test::TlsIdentity identity = test::MakeSelfSignedIdentity("localhost");
    std::string plain_url;  // set once the plain server knows its port
    RawHttpServer secure(
        [&plain_url](const RawRequest&, RawReply& reply) {
            reply.Send(RawHttpServer::Response(302, "", "Location: " + plain_url + "/final\r\n"));
        },
        &identity);
    RawHttpServer plain([&secure](const RawRequest& request, RawReply& reply) {
        if (request.RequestLine().starts_with("GET /start ")) {
            reply.Send(RawHttpServer::Response(301, "moved", "Location: " + secure.Url("/hop") + "\r\n"));
        } else {
            reply.Send(RawHttpServer::Response(200, "final page"));
        }
    });
    plain_url = plain.Url("");
    EXPECT_EQ(Get(plain.Url("/start"), "", ShortLimits()), "final page");
    EXPECT_EQ(secure.RequestCount(), 1u);
    EXPECT_EQ(plain.RequestCount(), 2u);
}

TEST(HttpTransport, CookiesSetByOneRequestGoWithTheNextOnAnotherThread) {
    RawHttpServer server([](const RawRequest& request, RawReply& reply) {
        const bool set = request.RequestLine().starts_with("GET /cookie-test/set ");
        reply.Send(RawHttpServer::Response(200, "c",
                                           set ? "Set-Cookie: marl_sid=abc123; Path=/cookie-test\r\n" : ""));
    });
    Get(server.Url("/cookie-test/set"));
    std::thread other([&server] { Get(server.Url("/cookie-test/check"), "Cookie: own=1"); });
    other.join();
    const RawRequest check = server.LastRequest();
    // The stored cookie and the plan's own Cookie line both go out.
    EXPECT_NE(check.head.find("marl_sid=abc123"), std::string::npos) << check.head;
    EXPECT_NE(check.head.find("Cookie: own=1\r\n"), std::string::npos) << check.head;
    // Paths outside the cookie's path do not get it.
    Get(server.Url("/elsewhere"));
    EXPECT_FALSE(server.LastRequest().HasHeader("Cookie"));
}

TEST(HttpTransport, FailuresGiveAnEmptyBody) {
    // A label longer than 63 bytes fails name lookup on this machine without asking any DNS server.
    EXPECT_EQ(Get("http://" + std::string(70, 'n') + ".invalid/", "", ShortLimits()), "");
    EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/", "", ShortLimits()), "");
    // Hosts that would let the address mean another place are not connected to.
    RawHttpServer server(RawHttpServer::Response(200, "page"));
    EXPECT_EQ(Get("http://user@127.0.0.1:" + std::to_string(server.port()) + "/"), "");
    EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(server.port() + 65536) + "/"), "");
    EXPECT_EQ(server.RequestCount(), 0u);
    // A server that closes without answering.
    RawHttpServer mute([](const RawRequest&, RawReply&) {});
    EXPECT_EQ(Get(mute.Url("/"), "", ShortLimits()), "");
    EXPECT_EQ(mute.RequestCount(), 1u);
}

TEST(HttpTransport, ErrorStatusStillGivesItsBody) {
    RawHttpServer server(RawHttpServer::Response(404, "<h1>not here</h1>"));
    EXPECT_EQ(Get(server.Url("/missing")), "<h1>not here</h1>");
    RawHttpServer failing(RawHttpServer::Response(500, "oops"));
    EXPECT_EQ(Get(failing.Url("/")), "oops");
}

TEST(HttpTransport, SilentServerEndsAfterTheStallLimit) {
    RawHttpServer server([](const RawRequest&, RawReply& reply) { reply.Pause(60s); });
    EXPECT_EQ(Get(server.Url("/"), "", ShortLimits()), "");
}

TEST(HttpTransport, TricklingServerEndsAtTheTotalLimitWithWhatArrived) {
    RawHttpServer server([](const RawRequest&, RawReply& reply) {
        if (!reply.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000000\r\n\r\n")) return;
        while (reply.Send("x") && reply.Pause(100ms)) {
        }
    });
    const std::string body = Get(server.Url("/"), "", ShortLimits());
    EXPECT_FALSE(body.empty());
    EXPECT_EQ(body, std::string(body.size(), 'x'));
    EXPECT_LT(body.size(), 100u);
}

TEST(HttpTransport, EndlessBodyIsCutAtTheSizeLimit) {
    RawHttpServer server([](const RawRequest&, RawReply& reply) {
        if (!reply.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")) return;
        const std::string chunk(65536, 'y');
        while (reply.Send(chunk)) {
        }
    });
    HttpLimits limits = ShortLimits();
    limits.max_body = 1000000;
    const std::string body = Get(server.Url("/"), "", limits);
    EXPECT_EQ(body.size(), limits.max_body);
    EXPECT_EQ(body.find_first_not_of('y'), std::string::npos);
}

TEST(HttpTransport, CompressedBodyIsDecodedOnlyWhenTheHeaderTextAsksForIt) {
    const std::string page = "<html>" + std::string(100000, 'z') + "</html>";
    RawHttpServer server([&page](const RawRequest&, RawReply& reply) {
        reply.Send(RawHttpServer::Response(200, GzipMember(page), "Content-Encoding: gzip\r\n"));
    });
    EXPECT_EQ(Get(server.Url("/"), "accept-encoding: gzip, deflate"), page);
    EXPECT_NE(server.LastRequest().head.find("\r\nAccept-Encoding: gzip, deflate\r\n"), std::string::npos);
    EXPECT_EQ(server.LastRequest().head.find("Accept-Encoding", 0),
              server.LastRequest().head.rfind("Accept-Encoding"));
    // Without such a line nothing is asked for and the bytes arrive as sent.
    EXPECT_EQ(Get(server.Url("/")), GzipMember(page));
    EXPECT_FALSE(server.LastRequest().HasHeader("Accept-Encoding"));
}

TEST(HttpTransport, ChunkedTransferCodingIsRemoved) {
    RawHttpServer server(
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
        "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n");
    EXPECT_EQ(Get(server.Url("/")), "hello world");
}

TEST(HttpTransport, ProxyEnvironmentIsIgnored) {
    const char* names[] = {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY", "ALL_PROXY"};
    for (const char* name : names) ::setenv(name, "http://127.0.0.1:9", 1);
    const test::TlsIdentity identity = test::MakeSelfSignedIdentity("localhost");
    RawHttpServer plain(RawHttpServer::Response(200, "direct"));
    RawHttpServer secure(RawHttpServer::Response(200, "direct too"), &identity);
    const std::string plain_body = Get(plain.Url("/"), "", ShortLimits());
    const std::string secure_body = Get(secure.Url("/"), "", ShortLimits());
    for (const char* name : names) ::unsetenv(name);
    EXPECT_EQ(plain_body, "direct");
    EXPECT_EQ(secure_body, "direct too");
}

TEST(HttpTransport, ConcurrentRequestsEachGetTheirOwnBody) {
    RawHttpServer server([](const RawRequest& request, RawReply& reply) {
        reply.Pause(20ms);
        reply.Send(RawHttpServer::Response(200, "body of " + request.RequestLine()));
    });
    std::vector<std::string> bodies(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < bodies.size(); ++i) {
        threads.emplace_back([&, i] { bodies[i] = Get(server.Url("/p" + std::to_string(i))); });
    }
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < bodies.size(); ++i) {
        EXPECT_EQ(bodies[i], "body of GET /p" + std::to_string(i) + " HTTP/1.1");
    }
}

}  // namespace
}  // namespace marl
