#include "WireServer.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace sandbox {

namespace {

std::string lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

const char *phrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

struct WireServer::Impl
{
    mutable std::mutex mu;
    int listenFd = -1;
    std::atomic<int> port{0};
    std::atomic<bool> stopping{false};
    std::thread acceptor;
    std::vector<std::thread> workers;
    WireSettings settings;
    std::vector<WireConnection> record;
    int finished = 0;

    // Waits for the socket to become readable; false on stop or time-out.
    bool waitReadable(int fd, int ms)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stopping) {
            pollfd p{fd, POLLIN, 0};
            const int r = ::poll(&p, 1, 20);
            if (r > 0)
                return true;
            if (r < 0 && errno != EINTR)
                return false;
            if (std::chrono::steady_clock::now() >= until)
                return false;
        }
        return false;
    }

    bool pause(int ms)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            if (stopping)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return !stopping;
    }

    static bool sendAll(int fd, const std::string &data)
    {
        size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            sent += size_t(n);
        }
        return true;
    }

    void markClosed(size_t index)
    {
        std::lock_guard lock(mu);
        record[index].clientClosed = true;
    }

    // Reads up to the end of one request's head (and its body, if any).
    // 1: a request, 0: the client closed, -1: stop, time-out or error.
    int readRequest(int fd, std::string &pending, std::string &target, std::string &connection,
                    int waitMs, bool readBody)
    {
        for (;;) {
            const size_t end = pending.find("\r\n\r\n");
            if (end != std::string::npos) {
                const std::string head = pending.substr(0, end);
                size_t bodyLength = 0;
                size_t lineEnd = head.find("\r\n");
                const std::string requestLine = head.substr(0, lineEnd);
                const size_t a = requestLine.find(' ');
                const size_t b = requestLine.find(' ', a + 1);
                target =
                    a == std::string::npos ? std::string() : requestLine.substr(a + 1, b - a - 1);
                connection.clear();
                while (lineEnd != std::string::npos) {
                    const size_t next = head.find("\r\n", lineEnd + 2);
                    const std::string line =
                        head.substr(lineEnd + 2, next == std::string::npos ? std::string::npos
                                                                           : next - lineEnd - 2);
                    const size_t colon = line.find(':');
                    if (colon != std::string::npos) {
                        const std::string name = lower(line.substr(0, colon));
                        std::string value = line.substr(colon + 1);
                        while (!value.empty() && value.front() == ' ')
                            value.erase(0, 1);
                        if (name == "connection")
                            connection = value;
                        else if (name == "content-length")
                            bodyLength = size_t(std::atol(value.c_str()));
                    }
                    lineEnd = next;
                }
                if (!readBody) {
                    pending.clear();
                    return 1;
                }
                // The body of a POST is read and dropped.
                while (pending.size() < end + 4 + bodyLength) {
                    if (!waitReadable(fd, waitMs))
                        return -1;
                    char buf[4096];
                    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                    if (n <= 0)
                        return n == 0 ? 0 : -1;
                    pending.append(buf, size_t(n));
                }
                pending.erase(0, end + 4 + bodyLength);
                return 1;
            }
            if (!waitReadable(fd, waitMs))
                return -1;
            char buf[4096];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n == 0)
                return 0;
            if (n < 0)
                return errno == ECONNRESET ? 0 : -1;
            pending.append(buf, size_t(n));
        }
    }

    // Sends the answer; false when the connection is gone or must end now.
    bool answer(int fd, const WireSettings &s, const std::string &target, size_t index)
    {
        const std::string body = WireServer::bodyFor(target, s.bodySize);
        const std::string type = "Content-Type: text/html\r\n";
        switch (s.mode) {
        case WireMode::Length:
        case WireMode::IgnoresClose:
            return sendAll(fd, "HTTP/1.1 200 OK\r\n" + type + "Content-Length: " +
                                   std::to_string(body.size()) + "\r\n\r\n" + body);
        case WireMode::Chunked: {
            const size_t half = body.size() / 2;
            auto chunk = [](const std::string &part) {
                char size[32];
                std::snprintf(size, sizeof size, "%zx\r\n", part.size());
                return std::string(size) + part + "\r\n";
            };
            return sendAll(fd, "HTTP/1.1 200 OK\r\n" + type + "Transfer-Encoding: chunked\r\n\r\n" +
                                   chunk(body.substr(0, half)) + chunk(body.substr(half)) +
                                   "0\r\n\r\n");
        }
        case WireMode::Close:
            return sendAll(fd, "HTTP/1.1 200 OK\r\n" + type + "\r\n" + body);
        case WireMode::TooManyRequests: {
            const std::string page = "<html><body>Too many requests</body></html>\n";
            return sendAll(
                fd, "HTTP/1.1 429 Too Many Requests\r\n" + type + "Retry-After: " + s.retryAfter +
                        "\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page);
        }
        case WireMode::Status: {
            const std::string page =
                "<html><body>Error " + std::to_string(s.status) + "</body></html>\n";
            return sendAll(fd, "HTTP/1.1 " + std::to_string(s.status) + " " + phrase(s.status) +
                                   "\r\n" + type + "Content-Length: " +
                                   std::to_string(page.size()) + "\r\n\r\n" + page);
        }
        case WireMode::Trickle: {
            if (!sendAll(fd, "HTTP/1.1 200 OK\r\n" + type +
                                 "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n"))
                return false;
            const size_t step = size_t(std::max(1, s.trickleBytes));
            for (size_t at = 0; at < body.size(); at += step) {
                if (!pause(s.trickleMs))
                    return false;
                if (!sendAll(fd, body.substr(at, step))) {
                    markClosed(index);
                    return false;
                }
            }
            return true;
        }
        case WireMode::DropMidBody: {
            sendAll(fd, "HTTP/1.1 200 OK\r\n" + type +
                            "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                            body.substr(0, body.size() / 2));
            pause(20);
            // A reset, not an orderly close.
            linger hard{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            return false;
        }
        case WireMode::Silent:
            // Nothing ever comes back; the client gives up or the test
            // stops. What the client sends beyond the request's head is read
            // slowly, so that an upload takes seconds, and counted.
            while (!stopping) {
                pollfd p{fd, POLLIN | POLLRDHUP, 0};
                if (::poll(&p, 1, 20) <= 0)
                    continue;
                if (p.revents & POLLIN) {
                    char buf[64 * 1024];
                    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                    if (n > 0) {
                        std::lock_guard lock(mu);
                        record[index].bytesAfterHead += n;
                    }
                    if (n > 0) {
                        pause(5);
                        continue;
                    }
                    markClosed(index);
                    return false;
                }
                if (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) {
                    markClosed(index);
                    return false;
                }
            }
            return false;
        }
        return false;
    }

    void serve(int fd, size_t index)
    {
        const WireSettings s = [this] {
            std::lock_guard lock(mu);
            return settings;
        }();
        std::string pending;
        bool answered = false;
        for (;;) {
            std::string target, connection;
            const int got = readRequest(fd, pending, target, connection,
                                        answered ? s.lingerMs : 10000, s.mode != WireMode::Silent);
            if (got == 0) {
                markClosed(index);
                break;
            }
            if (got < 0)
                break;
            {
                std::lock_guard lock(mu);
                record[index].targets.push_back(target);
                record[index].connectionHeaders.push_back(connection);
            }
            // A second request where the server has closed its side cannot
            // be answered; it is only recorded.
            if (answered && s.mode != WireMode::IgnoresClose)
                continue;
            answered = true;
            if (!answer(fd, s, target, index))
                break;
            // Every mode but one ends its side after the answer; the client
            // still has to close its own.
            if (s.mode != WireMode::IgnoresClose)
                ::shutdown(fd, SHUT_WR);
        }
        ::close(fd);
        std::lock_guard lock(mu);
        ++finished;
    }

    void acceptLoop()
    {
        while (!stopping) {
            pollfd p{listenFd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            sockaddr_in peer{};
            socklen_t len = sizeof peer;
            const int fd = ::accept(listenFd, reinterpret_cast<sockaddr *>(&peer), &len);
            if (fd < 0)
                continue;
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            size_t index;
            {
                std::lock_guard lock(mu);
                WireConnection c;
                c.remotePort = ntohs(peer.sin_port);
                record.push_back(c);
                index = record.size() - 1;
                workers.emplace_back([this, fd, index] { serve(fd, index); });
            }
        }
    }
};

WireServer::WireServer() : d(std::make_unique<Impl>()) {}

WireServer::~WireServer()
{
    stop();
}

bool WireServer::start()
{
    if (d->listenFd >= 0)
        return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        ::close(fd);
        return false;
    }
    d->listenFd = fd;
    d->port = ntohs(addr.sin_port);
    d->stopping = false;
    d->acceptor = std::thread([this] { d->acceptLoop(); });
    return true;
}

void WireServer::stop()
{
    if (d->listenFd < 0)
        return;
    d->stopping = true;
    if (d->acceptor.joinable())
        d->acceptor.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(d->mu);
        workers.swap(d->workers);
    }
    for (std::thread &t : workers)
        t.join();
    ::close(d->listenFd);
    d->listenFd = -1;
    d->stopping = false;
}

int WireServer::port() const
{
    return d->port;
}

std::string WireServer::baseUrl() const
{
    return "http://127.0.0.1:" + std::to_string(d->port.load());
}

void WireServer::setSettings(const WireSettings &settings)
{
    std::lock_guard lock(d->mu);
    d->settings = settings;
}

WireSettings WireServer::settings() const
{
    std::lock_guard lock(d->mu);
    return d->settings;
}

std::vector<WireConnection> WireServer::connections() const
{
    std::lock_guard lock(d->mu);
    return d->record;
}

int WireServer::finishedConnections() const
{
    std::lock_guard lock(d->mu);
    return d->finished;
}

void WireServer::clear()
{
    // Threads of earlier connections keep their index; only finished ones
    // may go, so wait for them first.
    for (int i = 0; i < 500; ++i) {
        {
            std::lock_guard lock(d->mu);
            if (d->finished == int(d->record.size()))
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(d->mu);
        workers.swap(d->workers);
    }
    for (std::thread &t : workers)
        t.join();
    std::lock_guard lock(d->mu);
    d->record.clear();
    d->finished = 0;
}

std::string WireServer::bodyFor(const std::string &target, int bodySize)
{
    std::string body = "<html><body><p>" + target + "</p>\n";
    static const std::string filler = "<!-- filler line of the wire server -->\n";
    while (body.size() + filler.size() + 15 <= size_t(std::max(0, bodySize)))
        body += filler;
    body += "</body></html>\n";
    if (bodySize > 0 && body.size() < size_t(bodySize))
        body.insert(body.size() - 15, size_t(bodySize) - body.size(), ' ');
    return body;
}

} // namespace sandbox
