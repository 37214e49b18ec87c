#pragma once
// How the one HTTP client reaches the network: proxy and time-outs. Kept per
// user (never in the reseller's settings file); the defaults are a direct
// connection without a read time-out.

#include <QString>

struct TProxyOptions
{
    enum class Kind {
        None,   // direct, whatever the environment says
        System, // the proxy variables of the environment (http_proxy, ...)
        Http,
        Https,
        Socks5, // host names resolved by the proxy
    };
    Kind What = Kind::None;
    QString Host;
    int Port = 0;
    QString User;
    QString Password;

    bool operator==(const TProxyOptions &) const = default;
};

struct TNetworkOptions
{
    TProxyOptions Proxy;
    int ConnectTimeoutMs = 30000;
    int ReadTimeoutMs = 0; // 0: wait as long as the server keeps the connection open

    bool operator==(const TNetworkOptions &) const = default;
};
