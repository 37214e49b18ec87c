#pragma once
// Plays every outside service the program talks to, on 127.0.0.1 only: the
// keyword suggestion service with its security image, the three search
// engines, the reseller's news scripts, the reseller's own site (help,
// affiliate and banner pages, the welcome picture) and the live-update folder. One port
// serves them all, each under its own path prefix. Tests start it in-process;
// the tarnwick-sandbox program runs it for the demo.
//
// Engine counts (engineCount): the query is split into words at spaces after
// stripping one pair of surrounding double quotes; the words are ASCII
// lower-cased and joined with single spaces. h = FNV-1a 64 of
// engine + "|" + words. The broad count is drawn from h in a range chosen by
// the number of words (Google: 1-2 words 2,200,000,000..8,999,999,999;
// 3 words 10,000,000..899,999,999; 4 words 1,000,000..59,999,999; more
// 10,000..4,999,999), scaled by 45% for Yahoo and 12% for MSN. A quoted
// query takes 0.1%..19.9% of the broad count (picked by FNV-1a of the quoted
// text), so it is always smaller. An empty query counts 0.
//
// Security image: the first contact gets a session cookie (wtsession); a
// challenge belongs to that session, its image is served only with that
// cookie (403 otherwise), and only the session's newest challenge can be
// answered. Answers compare without regard to letter case. Anything else gets
// a new challenge.
//
// Suggestions (suggestionsFor): the seed is lower-cased, bytes the result
// table cannot carry ('"', '<', '>', '(', ')', '&', control bytes) become
// spaces and spaces are collapsed. The first row is the seed itself; 19..39
// more rows combine it with a fixed vocabulary, picked and ordered by a
// generator seeded with FNV-1a 64 of the cleaned seed. Counts fall from the
// first row downwards.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sandbox {

enum class ChallengeMode { Never, Always, FirstTime }; // FirstTime: once per session cookie

struct RecordedRequest
{
    std::string method;
    std::string path;   // raw, undecoded, without the query
    std::string query;  // raw, undecoded, without the '?'
    std::string target; // raw request target as sent
    std::multimap<std::string, std::string> headers;
    std::string body;
    int remotePort = 0;        // the client's end of the connection: one port, one connection
    std::string remoteAddress; // the client's address (a proxy's, when one is used)
};

// Applies to requests whose raw path starts with pathPrefix; the first fault
// added that matches (and has uses left) wins. Redirect hops go to the
// absolute address <base>/sandbox/redirect/<k>?chain=<id>; the last hop
// serves the page first asked for (as a GET) with the fault's other body
// settings applied.
struct Fault
{
    std::string pathPrefix;
    int delayBeforeMs = 0;        // before any byte of the answer
    int delayDuringMs = 0;        // after the first half of the body, before the rest
    int status = 0;               // answer this status with a small error page body
    int redirects = 0;            // N 302 hops (bodies "redirect-body-<k>"), then the page
    bool cutOff = false;          // announce Content-Length, send about half, close
    bool noContentLength = false; // chunked body, no Content-Length
    int pageSize = 0;             // > 0: body padded or cut to exactly this many bytes
    int times = -1;               // how many requests it applies to (-1 = all)
    bool closeDelimited = false;  // no length, not chunked: the body ends when the server closes
    std::string retryAfter = {};  // with status: sent as the Retry-After header
};

struct NewsItem
{
    int id = 0;
    std::string title, date, html;
};

// News accounts accepted until the test sets its own.
inline constexpr const char *kDefaultPublisherId = "PUB1001";
inline constexpr const char *kDefaultProdCode = "TARNWICK";

class Sandbox
{
public:
    Sandbox();
    ~Sandbox(); // stops the server and joins its threads

    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    // 0 = ephemeral; 127.0.0.1 only; returns once listening. False when the
    // port is taken or the server already runs. Restartable after stop().
    bool start(int port = 0);
    void stop(); // prompt even while answers are held by a delay fault
    bool isRunning() const;
    int port() const;

    std::string baseUrl() const;     // "http://127.0.0.1:<port>"
    std::string suggestBase() const; // baseUrl() + "/wt"
    std::string googleBase() const;  // baseUrl() + "/google"
    std::string yahooBase() const;   // baseUrl() + "/yahoo"
    std::string msnBase() const;     // baseUrl() + "/msn"
    std::string newsBase() const;    // baseUrl() + "/news/"; pictures under "pictures/<name>.png"
    std::string liveUpdateBase() const; // baseUrl() + "/liveupdate/tarnwick/"
    std::string siteBase() const;       // baseUrl() + "/site/"

    // Suggestion service. Default mode: Never.
    void setChallengeMode(ChallengeMode);
    std::string expectedAnswer(const std::string &randomValue) const; // "" if unknown
    std::string lastChallengeRandom() const;

    static std::string engineCount(const std::string &engine, const std::string &decodedQuery);
    static std::vector<std::pair<std::string, std::string>> suggestionsFor(const std::string &seed);

    // News and update.
    void setNewsItems(std::vector<NewsItem>);
    void setNewsReply(const std::string &rawReplyOverride); // every news request answers this
    void clearNewsReply();
    void setValidPublisher(const std::string &publId, const std::string &prodCode); // replaces
    void addValidPublisher(const std::string &publId, const std::string &prodCode);
    void setPublishedVersion(const std::string &version); // default "2.01"
    // mainappupdate.inf answers exactly this text instead of the usual one.
    void setUpdateDescription(const std::string &rawIniText);
    void clearUpdateDescription();
    // The escaped form a details reply carries for one item's HTML.
    static std::string dollarHex(const std::string &bytes);

    // Faults and the request record.
    void addFault(const Fault &);
    void clearFaults();
    std::vector<RecordedRequest> requests() const;
    void clearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sandbox
