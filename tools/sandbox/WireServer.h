#pragma once
// A small HTTP/1.1 server on raw sockets, on 127.0.0.1 only, for the ways a
// real server can end or spoil an answer that a library server will not
// produce: a body ended by closing the connection, a server that ignores
// "Connection: close" and keeps the connection open, a slow trickle, a
// connection dropped in the middle of the body, a server that never answers.
// It records every connection: the client's port, each request read on it,
// and whether the client closed it.
//
// Every GET is answered with a text page naming its request target, padded
// to bodySize bytes; the mode decides how the body is framed and sent.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sandbox {

enum class WireMode {
    Length,          // Content-Length, then the server half-closes
    Chunked,         // chunked, then the server half-closes
    Close,           // no length, not chunked: the server's close ends the body
    IgnoresClose,    // Content-Length, and the connection stays open for more requests
    TooManyRequests, // 429 with Retry-After: retryAfter
    Trickle,         // Content-Length; trickleBytes every trickleMs
    DropMidBody,     // Content-Length; half the body, then a reset
    Silent,          // reads the request's head, then the rest slowly; never answers
    Status,          // answers status with a small page
};

struct WireConnection
{
    int remotePort = 0;
    std::vector<std::string> targets;           // request targets read on it, in order
    std::vector<std::string> connectionHeaders; // the Connection header of each
    bool clientClosed = false;                  // the client ended the connection (EOF or reset)
    long long bytesAfterHead = 0; // Silent: what arrived after the first request's head
};

struct WireSettings
{
    WireMode mode = WireMode::Length;
    int bodySize = 2000;
    std::string retryAfter = "120";
    int trickleBytes = 100;
    int trickleMs = 50;
    int status = 404;
    // How long the server waits for the client to close after the answer.
    int lingerMs = 5000;
};

class WireServer
{
public:
    WireServer();
    ~WireServer();
    WireServer(const WireServer &) = delete;
    WireServer &operator=(const WireServer &) = delete;

    bool start(); // ephemeral port on 127.0.0.1
    void stop();  // prompt; ends every connection
    int port() const;
    std::string baseUrl() const; // "http://127.0.0.1:<port>"

    void setSettings(const WireSettings &settings);
    WireSettings settings() const;

    // Connections accepted so far; those still open show what was seen up to now.
    std::vector<WireConnection> connections() const;
    // Connections whose handling has ended (closed by either side).
    int finishedConnections() const;
    void clear();

    // The body every GET of target gets, whatever the framing.
    static std::string bodyFor(const std::string &target, int bodySize);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sandbox
