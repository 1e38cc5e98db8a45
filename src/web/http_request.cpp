#include "web/http_request.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <new>

#include "text/text_ops.h"
#include "web/host_name.h"
#include "web/http_headers.h"
#include "web/url_split.h"

namespace marl {
namespace {

using Clock = std::chrono::steady_clock;

// One cookie store for every request of the process, as a browser has. The share lives until the
// process ends: requests may still run on other threads when it does.
std::array<std::mutex, CURL_LOCK_DATA_LAST> share_locks;

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void*) {
    if (data >= 0 && data < CURL_LOCK_DATA_LAST) share_locks[data].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void*) {
    if (data >= 0 && data < CURL_LOCK_DATA_LAST) share_locks[data].unlock();
}

CURLSH* CookieShare() {
    static std::once_flag once;
    static CURLSH* share = nullptr;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) return;
        share = curl_share_init();
        if (share == nullptr) return;
        curl_share_setopt(share, CURLSHOPT_LOCKFUNC, LockShare);
        curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, UnlockShare);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    });
    return share;
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What one exchange collects, and when something last arrived.
struct Transfer {
    CURL* easy = nullptr;
    bool sized = false;  // the body has been given room for its announced length
    std::string body;
    size_t max_body = 0;
    size_t received = 0;  // header and body bytes, for the stall check
    size_t received_at_last_check = 0;
    curl_off_t sent_at_last_check = 0;
    Clock::time_point last_activity = Clock::now();
    std::chrono::milliseconds stall{0};
};

// Keeps up to max_body bytes; a shorter count than offered makes the library stop reading, which
// leaves the body as a failed read would.
size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t offered = size * count;
    transfer->received += offered;
    const size_t room = transfer->max_body - std::min(transfer->max_body, transfer->body.size());
    const size_t taken = std::min(room, offered);
    try {
        if (!transfer->sized) {
            // Growing a large body step by step costs more than the transfer itself.
            transfer->sized = true;
            curl_off_t announced = -1;
            curl_easy_getinfo(transfer->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            if (announced > 0) {
                transfer->body.reserve(std::min(static_cast<size_t>(announced), transfer->max_body));
            }
        }
        transfer->body.append(data, taken);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return taken;
}

size_t OnHeader(char*, size_t size, size_t count, void* user) {
    static_cast<Transfer*>(user)->received += size * count;
    return size * count;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
    auto* transfer = static_cast<Transfer*>(user);
    const Clock::time_point now = Clock::now();
    if (transfer->received != transfer->received_at_last_check || sent != transfer->sent_at_last_check) {
        transfer->received_at_last_check = transfer->received;
        transfer->sent_at_last_check = sent;
        transfer->last_activity = now;
        return 0;
    }
    return now - transfer->last_activity >= transfer->stall ? 1 : 0;  // non-zero aborts the transfer
}

// Blanks and control bytes cannot stand in a request line and go percent-encoded, as do bytes above
// 0x7F before the query (GBK names of pages), which the library would encode anyway. The query and
// everything else are sent as written.
std::string EscapePath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    bool in_query = false;
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        in_query = in_query || c == '?';
        if (b <= 0x20 || b == 0x7F || (b >= 0x80 && !in_query)) {
            AppendPercentEncoded(out, b);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// The address the library connects to: scheme, host, port and path exactly as the splitting rules
// give them. Empty when no connection can be made to it.
std::string ConnectionUrl(std::string_view url) {
    const bool secure = StartsWithNoCase(url, "https://");
    // An internationalised host goes in its ASCII form; what cannot name a host is not contacted.
    const Text host = ConnectionHost(UrlHost(url, false));
    const int32_t port = UrlPort(url);
    if (host.empty() || port < 0 || port > 65535) return {};
    std::string address = secure ? "https://" : "http://";
    address += host;
    if (port != 0) address += ":" + std::to_string(port);  // 0: the scheme's own port
    return address + EscapePath(UrlPath(url));
}

// A header value cannot hold a line break; the agent may, when it was taken from several lines.
std::string SingleLine(std::string_view text) {
    std::string out(text);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

HttpResponse Exchange(std::string_view url_text, HttpMethod method, std::string_view body,
                      std::string_view header_text, const HttpLimits& limits) {
    const Text headers = NormalizeHeaderNames(header_text);
    const std::string agent = SingleLine(PickAgent(headers));
    const std::string address = ConnectionUrl(url_text);
    if (address.empty()) return {};

    const RequestHeaderLines lines = ToRequestHeaderLines(CompleteHeaders(headers, url_text, method), method);
    std::unique_ptr<curl_slist, ListDeleter> list;
    for (const Text& line : lines.lines) {
        curl_slist* grown = curl_slist_append(list.get(), line.c_str());
        if (grown == nullptr) return {};
        // The grown list keeps the same head: hand its ownership over without freeing it.
        static_cast<void>(list.release());
        list.reset(grown);
    }
    Transfer transfer;
    transfer.max_body = limits.max_body;
    transfer.stall = limits.stall;
    const std::string post_body(body);

    // Made after everything it points to, so that it goes first.
    CURLSH* share = CookieShare();
    if (share == nullptr) return {};
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) return {};
    CURL* h = easy.get();
    transfer.easy = h;

    curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // Straight to the site, whatever the machine or the environment says about proxies.
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_NOPROXY, "*");
    // A new connection for every request, never kept for a later one.
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 20L);
    // Any certificate will do: expired, self-signed, for another name, weakly signed.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_CIPHER_LIST, "DEFAULT:@SECLEVEL=0");
    curl_easy_setopt(h, CURLOPT_SHARE, share);
    curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());  // unused when a User-Agent line is given
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, list.get());
    if (lines.asks_for_encoding) curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");  // decode what comes
    if (method == HttpMethod::kPost) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post_body.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, post_body.data());
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::max<int64_t>(1, limits.connect.count())));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max<int64_t>(1, limits.total.count())));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

    // The outcome is not looked at: whatever arrived is the answer, as with a read that fails.
    curl_easy_perform(h);
    long status = 0;
    if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
    return HttpResponse{std::move(transfer.body), static_cast<int>(status)};
}

}  // namespace

std::string SendRequest(const Text& url, HttpMethod method, const Text& body, const Text& header_text,
                        const HttpLimits& limits) {
    return SendRequestWithStatus(url, method, body, header_text, limits).body;
}

HttpResponse SendRequestWithStatus(const Text& url, HttpMethod method, const Text& body,
                                   const Text& header_text, const HttpLimits& limits) {
    try {
        return Exchange(UpToZero(url), method, UpToZero(body), UpToZero(header_text), limits);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace marl
