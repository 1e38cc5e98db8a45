#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/loopback_tls.h"

namespace marl::test {

// One request exactly as it arrived on the wire.
struct RawRequest {
    std::string bytes;  // request line, header lines, blank line and body, byte for byte
    std::string head;   // request line and header lines, each ending in CR LF
    std::string body;   // as many bytes as Content-Length announced

    std::string RequestLine() const;
    std::vector<std::string> HeaderLines() const;  // in order, without CR LF
    // The value (leading blanks removed) of the first header with this name, any letter case.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
};

class RawHttpServer;

// The answering side of one connection, handed to the handler.
class RawReply {
  public:
    // Writes the bytes; false when the client has gone or the server is stopping.
    bool Send(std::string_view bytes);
    // Waits, but returns false at once when the server stops; true after the full wait.
    bool Pause(std::chrono::milliseconds wait);
    bool Stopping() const;

  private:
    friend class RawHttpServer;
    RawReply(RawHttpServer& server, int fd, void* tls) : server_(server), fd_(fd), tls_(tls) {}
    RawHttpServer& server_;
    int fd_;
    void* tls_;  // SSL* when the server speaks TLS
};

// Called once per request, on the connection's own thread; the connection closes when it returns.
using RawHandler = std::function<void(const RawRequest&, RawReply&)>;

// An HTTP (or, with an identity, HTTPS) server on 127.0.0.1 at a free port, built on plain sockets so
// that tests see the exact bytes a client sends, header order included. Each connection carries one
// request and runs on its own thread. Requests are recorded before the handler runs. SIGPIPE is
// ignored in the test process from the first server on.
class RawHttpServer {
  public:
    explicit RawHttpServer(RawHandler handler, const TlsIdentity* tls = nullptr);
    // Answers every request with the same bytes, for instance Response(200, "page").
    explicit RawHttpServer(std::string canned_response, const TlsIdentity* tls = nullptr);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" (or https) followed by the path.
    std::string Url(std::string_view path = "/") const;

    std::vector<RawRequest> Requests() const;
    size_t RequestCount() const;
    RawRequest LastRequest() const;  // an empty request when none came
    // Waits until at least `count` requests arrived; false on time-out.
    bool WaitForRequests(size_t count, std::chrono::milliseconds timeout) const;

    // Closes the listening socket, wakes every handler and joins all threads. Idempotent.
    void Stop();

    // "HTTP/1.1 <status> <reason>" with Content-Length and "Connection: close", then the extra header
    // lines (each ending in CR LF), a blank line and the body.
    static std::string Response(int status, std::string_view body, std::string_view extra_headers = "");

  private:
    friend class RawReply;
    void AcceptLoop();
    void Serve(int fd);
    bool ReadRequest(int fd, void* tls, RawRequest& request);

    RawHandler handler_;
    std::shared_ptr<void> tls_context_;  // SSL_CTX*
    int listen_fd_ = -1;
    int port_ = 0;
    std::thread acceptor_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    std::vector<RawRequest> requests_;
    std::vector<int> open_fds_;
    std::vector<std::thread> connections_;
};

}  // namespace marl::test
