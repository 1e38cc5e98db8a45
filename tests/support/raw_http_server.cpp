#include "support/raw_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace marl::test {
namespace {

constexpr size_t kMaxHead = 1 << 20;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool NameIs(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':') return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (Lower(line[i]) != Lower(name[i])) return false;
    }
    return true;
}

std::shared_ptr<void> MakeTlsContext(const TlsIdentity& identity) {
    SSL_CTX* raw = SSL_CTX_new(TLS_server_method());
    if (raw == nullptr) throw std::runtime_error("cannot make a TLS context");
    std::shared_ptr<void> context(raw, [](void* c) { SSL_CTX_free(static_cast<SSL_CTX*>(c)); });
    BIO* cert_bio = BIO_new_mem_buf(identity.cert_pem.data(), static_cast<int>(identity.cert_pem.size()));
    BIO* key_bio = BIO_new_mem_buf(identity.key_pem.data(), static_cast<int>(identity.key_pem.size()));
    X509* cert = cert_bio ? PEM_read_bio_X509(cert_bio, nullptr, nullptr, nullptr) : nullptr;
    EVP_PKEY* key = key_bio ? PEM_read_bio_PrivateKey(key_bio, nullptr, nullptr, nullptr) : nullptr;
    const bool ok =
        cert && key && SSL_CTX_use_certificate(raw, cert) == 1 && SSL_CTX_use_PrivateKey(raw, key) == 1;
    X509_free(cert);
    EVP_PKEY_free(key);
    BIO_free(cert_bio);
    BIO_free(key_bio);
    if (!ok) throw std::runtime_error("cannot load the test certificate");
    return context;
}

// Reads some bytes; 0 or less when the connection ended, failed or timed out.
long ReceiveSome(int fd, void* tls, char* buffer, size_t size) {
    if (tls != nullptr) return SSL_read(static_cast<SSL*>(tls), buffer, static_cast<int>(size));
    return ::recv(fd, buffer, size, 0);
}

}  // namespace

std::string RawRequest::RequestLine() const { return head.substr(0, head.find("\r\n")); }

std::vector<std::string> RawRequest::HeaderLines() const {
    std::vector<std::string> lines;
    size_t start = head.find("\r\n");
    while (start != std::string::npos) {
        start += 2;
        const size_t end = head.find("\r\n", start);
        if (end == std::string::npos || end == start) break;
        lines.push_back(head.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string RawRequest::Header(std::string_view name) const {
    for (const std::string& line : HeaderLines()) {
        if (!NameIs(line, name)) continue;
        const size_t value = line.find_first_not_of(" \t", name.size() + 1);
        return value == std::string::npos ? std::string() : line.substr(value);
    }
    return {};
}

bool RawRequest::HasHeader(std::string_view name) const {
    for (const std::string& line : HeaderLines()) {
        if (NameIs(line, name)) return true;
    }
    return false;
}

bool RawReply::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (Stopping()) return false;
        long sent = 0;
        if (tls_ != nullptr) {
            sent = SSL_write(static_cast<SSL*>(tls_), bytes.data(), static_cast<int>(bytes.size()));
        } else {
            sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        }
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

bool RawReply::Pause(std::chrono::milliseconds wait) {
    std::unique_lock lock(server_.mutex_);
    return !server_.changed_.wait_for(lock, wait, [this] { return server_.stopping_; });
}

bool RawReply::Stopping() const {
    std::lock_guard lock(server_.mutex_);
    return server_.stopping_;
}

RawHttpServer::RawHttpServer(RawHandler handler, const TlsIdentity* tls) : handler_(std::move(handler)) {
    std::signal(SIGPIPE, SIG_IGN);
    if (tls != nullptr) tls_context_ = MakeTlsContext(*tls);
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listen_fd_ < 0) throw std::runtime_error("cannot make a socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_fd_, 64) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listen_fd_);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::RawHttpServer(std::string canned_response, const TlsIdentity* tls)
    : RawHttpServer(
          [canned = std::move(canned_response)](const RawRequest&, RawReply& reply) { reply.Send(canned); },
          tls) {}

RawHttpServer::~RawHttpServer() { Stop(); }

std::string RawHttpServer::Url(std::string_view path) const {
    return std::string(tls_context_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
           std::string(path);
}

std::vector<RawRequest> RawHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

size_t RawHttpServer::RequestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

RawRequest RawHttpServer::LastRequest() const {
    std::lock_guard lock(mutex_);
    return requests_.empty() ? RawRequest{} : requests_.back();
}

bool RawHttpServer::WaitForRequests(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

void RawHttpServer::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ && listen_fd_ < 0) return;
        stopping_ = true;
        // Wake handlers blocked in a read or a write.
        for (const int fd : open_fds_) ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
        for (const int fd : open_fds_) ::shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : connections) t.join();
    if (listen_fd_ >= 0) ::close(listen_fd_);
    listen_fd_ = -1;
}

void RawHttpServer::AcceptLoop() {
    for (;;) {
        pollfd waiting{listen_fd_, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, 50);
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        if (ready <= 0) continue;
        const int fd = ::accept(listen_fd_, nullptr, nullptr);
        if (fd < 0) continue;
        open_fds_.push_back(fd);
        connections_.emplace_back([this, fd] { Serve(fd); });
    }
}

void RawHttpServer::Serve(int fd) {
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    SSL* tls = nullptr;
    bool ready = true;
    if (tls_context_) {
        tls = SSL_new(static_cast<SSL_CTX*>(tls_context_.get()));
        ready = tls != nullptr && SSL_set_fd(tls, fd) == 1 && SSL_accept(tls) == 1;
    }
    RawRequest request;
    if (ready && ReadRequest(fd, tls, request)) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        changed_.notify_all();
        RawReply reply(*this, fd, tls);
        handler_(request, reply);
    }
    if (tls != nullptr) {
        if (ready) SSL_shutdown(tls);
        SSL_free(tls);
    }
    ::shutdown(fd, SHUT_WR);
    std::lock_guard lock(mutex_);
    std::erase(open_fds_, fd);
    ::close(fd);
}

bool RawHttpServer::ReadRequest(int fd, void* tls, RawRequest& request) {
    std::string& bytes = request.bytes;
    char buffer[16384];
    size_t head_end = std::string::npos;
    while ((head_end = bytes.find("\r\n\r\n")) == std::string::npos) {
        if (bytes.size() > kMaxHead) return false;
        const long got = ReceiveSome(fd, tls, buffer, sizeof buffer);
        if (got <= 0) return false;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    request.head = bytes.substr(0, head_end + 2);
    const std::string length_text = request.Header("Content-Length");
    size_t length = 0;
    for (const char c : length_text) {
        if (c < '0' || c > '9' || length > kMaxHead * 1024) break;
        length = length * 10 + static_cast<size_t>(c - '0');
    }
    const size_t body_start = head_end + 4;
    while (bytes.size() < body_start + length) {
        const long got = ReceiveSome(fd, tls, buffer, sizeof buffer);
        if (got <= 0) return false;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    request.body = bytes.substr(body_start, length);
    bytes.resize(body_start + length);
    return true;
}

std::string RawHttpServer::Response(int status, std::string_view body, std::string_view extra_headers) {
    const char* reason = status == 200   ? "OK"
                         : status == 404 ? "Not Found"
                         : status < 400  ? "Found"
                                         : "Error";
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += "Connection: close\r\n";
    out += extra_headers;
    out += "\r\n";
    out += body;
    return out;
}

}  // namespace marl::test
