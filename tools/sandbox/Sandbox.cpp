#include "Sandbox.h"

#include "detail/CaptchaImage.h"
#include "detail/News.h"
#include "detail/NewsPicture.h"
#include "detail/Pages.h"
#include "detail/Site.h"
#include "detail/Text.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

namespace sandbox {

namespace {

// httplib would decode multipart bodies itself (losing the raw bytes and the
// field order) and gzip answers for clients that accept it. Hiding these
// headers from it keeps bodies raw both ways; the record restores them.
const std::string kHiddenPrefix = "X-Sandbox-Hidden-";
const char *const kHiddenHeaders[] = {"Content-Type", "Accept-Encoding"};

// Added by httplib to every request; no client sent them.
bool isServerAddedHeader(const std::string &name)
{
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

bool startsWith(const std::string &s, const std::string &prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool equalNoCase(const std::string &a, const std::string &b)
{
    return text::lowerAscii(a) == text::lowerAscii(b);
}

void hideHeader(httplib::Headers &headers, const std::string &name)
{
    std::vector<std::pair<std::string, std::string>> found;
    auto range = headers.equal_range(name);
    for (auto it = range.first; it != range.second; ++it)
        found.emplace_back(it->first, it->second);
    headers.erase(range.first, range.second);
    for (auto &[key, value] : found)
        headers.emplace(kHiddenPrefix + key, value);
}

// Raw (undecoded) value of a query key.
std::string rawValue(const std::string &query, const std::string &key)
{
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        std::string item = query.substr(pos, amp == std::string::npos ? amp : amp - pos);
        if (startsWith(item, key + "="))
            return item.substr(key.size() + 1);
        if (amp == std::string::npos)
            break;
        pos = amp + 1;
    }
    return {};
}

std::string cookieValue(const std::string &cookieHeader, const std::string &name)
{
    size_t pos = 0;
    while (pos < cookieHeader.size()) {
        size_t end = cookieHeader.find(';', pos);
        std::string item = cookieHeader.substr(pos, end == std::string::npos ? end : end - pos);
        size_t start = item.find_first_not_of(' ');
        if (start != std::string::npos && startsWith(item.substr(start), name + "="))
            return item.substr(start + name.size() + 1);
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return {};
}

void fitBody(std::string &body, size_t size)
{
    if (body.size() >= size) {
        body.resize(size);
        return;
    }
    static const std::string filler = "<!-- padding -->\n";
    while (size - body.size() >= filler.size())
        body += filler;
    body.append(size - body.size(), ' ');
}

struct Reply
{
    int status = 200;
    std::string contentType = "text/html";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// A request as the services see it.
struct Incoming
{
    std::string method, path, query, cookie, contentType, body;
};

void splitTarget(const std::string &target, std::string &path, std::string &query)
{
    const size_t q = target.find('?');
    path = target.substr(0, q);
    query = q == std::string::npos ? std::string() : target.substr(q + 1);
}

} // namespace

static Reply faultReply(const Fault &f)
{
    Reply reply{f.status, "text/html", pages::errorPage(f.status), {}};
    if (!f.retryAfter.empty())
        reply.headers.emplace_back("Retry-After", f.retryAfter);
    return reply;
}

struct Sandbox::Impl
{
    mutable std::mutex mu;
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<int> port{0};

    ChallengeMode mode = ChallengeMode::Never;
    news::Accounts accounts{{{kDefaultPublisherId, kDefaultProdCode}}};
    std::vector<NewsItem> newsItems;
    std::optional<std::string> newsOverride;
    std::string version = "2.01";
    std::optional<std::string> updateOverride;
    std::vector<Fault> faults;
    std::vector<RecordedRequest> record;

    struct Challenge
    {
        std::string session, answer, seed;
    };
    struct Session
    {
        bool passed = false;
        std::string current; // random value of the challenge it must answer
    };
    std::map<std::string, Session> sessions;
    std::map<std::string, Challenge> challenges; // by random value
    std::string lastRandom;
    struct Chain
    {
        Fault fault;
        std::string target;
    };
    std::map<std::string, Chain> chains;
    std::mt19937_64 entropy{std::random_device{}()};

    std::string base() const { return "http://127.0.0.1:" + std::to_string(port.load()); }

    // Sleeps in small slices so that stop() never waits for a long delay.
    bool pause(int ms)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            if (stopping)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return !stopping;
    }

    void handle(const httplib::Request &req, httplib::Response &res);
    std::optional<Fault> takeFault(const std::string &path);
    void redirect(httplib::Response &res, int hop, const std::string &chain);
    void redirectHop(const Incoming &in, httplib::Response &res);
    void deliver(Reply reply, const Fault *fault, httplib::Response &res);
    Reply dispatch(const Incoming &in);
    Reply suggest(const Incoming &in);
    Reply image(const Incoming &in);
    Reply newsScript(const Incoming &in, const std::string &script);
    std::string newChallenge(const std::string &session, const std::string &rawSeed,
                             const std::string &seed); // under mu
};

void Sandbox::Impl::handle(const httplib::Request &req, httplib::Response &res)
{
    RecordedRequest rec;
    rec.method = req.method;
    rec.target = req.target;
    splitTarget(req.target, rec.path, rec.query);
    rec.body = req.body;
    rec.remotePort = req.remote_port;
    rec.remoteAddress = req.remote_addr;
    Incoming in{req.method, rec.path, rec.query, {}, {}, req.body};
    for (const auto &[key, value] : req.headers) {
        if (isServerAddedHeader(key))
            continue;
        const std::string name =
            startsWith(key, kHiddenPrefix) ? key.substr(kHiddenPrefix.size()) : key;
        rec.headers.emplace(name, value);
        if (equalNoCase(name, "Cookie"))
            in.cookie += (in.cookie.empty() ? "" : "; ") + value;
        else if (equalNoCase(name, "Content-Type"))
            in.contentType = value;
    }
    {
        std::lock_guard lock(mu);
        record.push_back(std::move(rec));
    }

    if (startsWith(in.path, "/sandbox/redirect/")) {
        redirectHop(in, res);
        return;
    }
    const std::optional<Fault> fault = takeFault(in.path);
    if (fault && fault->delayBeforeMs > 0 && !pause(fault->delayBeforeMs)) {
        res.status = 503;
        return;
    }
    if (fault && fault->redirects > 0) {
        std::string id;
        {
            std::lock_guard lock(mu);
            id = std::to_string(chains.size() + 1);
            chains[id] = Chain{*fault, req.target};
        }
        redirect(res, 1, id);
        return;
    }
    Reply reply = fault && fault->status ? faultReply(*fault) : dispatch(in);
    deliver(std::move(reply), fault ? &*fault : nullptr, res);
}

std::optional<Fault> Sandbox::Impl::takeFault(const std::string &path)
{
    std::lock_guard lock(mu);
    for (Fault &f : faults) {
        if (f.times == 0 || !startsWith(path, f.pathPrefix))
            continue;
        if (f.times > 0)
            --f.times;
        return f;
    }
    return std::nullopt;
}

void Sandbox::Impl::redirect(httplib::Response &res, int hop, const std::string &chain)
{
    res.status = 302;
    res.set_header("Location",
                   base() + "/sandbox/redirect/" + std::to_string(hop) + "?chain=" + chain);
    res.set_content("redirect-body-" + std::to_string(hop), "text/html");
}

void Sandbox::Impl::redirectHop(const Incoming &in, httplib::Response &res)
{
    const std::string hopText = in.path.substr(std::string("/sandbox/redirect/").size());
    const std::string id = text::value(text::parseQuery(in.query), "chain");
    std::optional<Chain> chain;
    {
        std::lock_guard lock(mu);
        if (auto it = chains.find(id); it != chains.end())
            chain = it->second;
    }
    const int hop = std::atoi(hopText.c_str());
    if (!chain || hop < 1 || hop > chain->fault.redirects) {
        deliver(Reply{404, "text/html", pages::errorPage(404), {}}, nullptr, res);
        return;
    }
    if (hop < chain->fault.redirects) {
        redirect(res, hop + 1, id);
        return;
    }
    // The last hop serves the page first asked for, as the GET a redirect turns it into.
    Incoming original{"GET", {}, {}, in.cookie, {}, {}};
    splitTarget(chain->target, original.path, original.query);
    const Fault &f = chain->fault;
    Reply reply = f.status ? faultReply(f) : dispatch(original);
    deliver(std::move(reply), &f, res);
}

void Sandbox::Impl::deliver(Reply reply, const Fault *fault, httplib::Response &res)
{
    res.status = reply.status;
    for (const auto &[key, value] : reply.headers)
        res.set_header(key, value);
    if (fault && fault->pageSize > 0)
        fitBody(reply.body, size_t(fault->pageSize));

    const bool cut = fault && fault->cutOff;
    const bool chunked = fault && fault->noContentLength;
    const bool closing = fault && fault->closeDelimited;
    const int during = fault ? fault->delayDuringMs : 0;
    if ((!cut && !chunked && !closing && during <= 0) || reply.body.size() < 2) {
        res.set_content(reply.body, reply.contentType);
        return;
    }

    auto body = std::make_shared<const std::string>(std::move(reply.body));
    auto paused = std::make_shared<bool>(false);
    const size_t half = body->size() / 2;
    auto step = [this, body, paused, half, cut, during](size_t offset,
                                                        httplib::DataSink &sink) -> bool {
        if (offset < half)
            return sink.write(body->data() + offset, half - offset);
        if (cut)
            return false; // httplib closes the connection short of the announced length
        if (offset >= body->size()) {
            sink.done();
            return true;
        }
        if (during > 0 && !*paused) {
            *paused = true;
            if (!pause(during))
                return false;
        }
        return sink.write(body->data() + offset, body->size() - offset);
    };
    if (chunked) {
        res.set_chunked_content_provider(reply.contentType, step);
    } else if (closing) {
        // Neither a length nor chunks: the server closes the connection to
        // end the body.
        res.set_content_provider(reply.contentType, step);
    } else {
        res.set_content_provider(
            body->size(), reply.contentType,
            [step](size_t offset, size_t, httplib::DataSink &sink) { return step(offset, sink); });
    }
}

Reply Sandbox::Impl::dispatch(const Incoming &in)
{
    const std::string &p = in.path;
    if (p == "/wt" || p == "/wt/" || p == "/wt/keyword-suggestion-tool.html")
        return suggest(in);
    if (p == "/wt/image.php")
        return image(in);
    if (p == "/google/search")
        return {200,
                "text/html",
                pages::enginePage("google", text::value(text::parseQuery(in.query), "q")),
                {}};
    if (p == "/yahoo/search")
        return {200,
                "text/html",
                pages::enginePage("yahoo", text::value(text::parseQuery(in.query), "p")),
                {}};
    if (p == "/msn/results.aspx")
        return {200,
                "text/html",
                pages::enginePage("msn", text::value(text::parseQuery(in.query), "q")),
                {}};
    if (p == "/news/getlastnews.php")
        return newsScript(in, "getlastnews.php");
    if (p == "/news/getnewsdetails.php")
        return newsScript(in, "getnewsdetails.php");
    if (p.rfind("/site/", 0) == 0) {
        site::Page page = site::page(p.substr(6), in.query);
        return {page.status, page.contentType, std::move(page.body), {}};
    }
    if (startsWith(p, "/news/pictures/") && p.size() > 19 && p.substr(p.size() - 4) == ".png")
        return {200, "image/png", news::picturePng(p.substr(15)), {}};
    if (p == "/liveupdate/tarnwick/mainappupdate.inf") {
        std::lock_guard lock(mu);
        if (updateOverride)
            return {200, "text/plain", *updateOverride, {}};
        return {
            200, "text/plain", "[APPLICATION]\r\nName=Tarnwick\r\nVersion=" + version + "\r\n", {}};
    }
    return {404, "text/html", pages::errorPage(404), {}};
}

Reply Sandbox::Impl::suggest(const Incoming &in)
{
    const text::Fields q = text::parseQuery(in.query);
    const std::string seed = text::value(q, "seed");
    const std::string rawSeed = rawValue(in.query, "seed");
    const bool answering = in.path == "/wt/keyword-suggestion-tool.html";

    Reply reply;
    std::lock_guard lock(mu);
    std::string sid = cookieValue(in.cookie, "wtsession");
    const bool known = sessions.count(sid) > 0;
    if (!known) {
        char buf[17];
        std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(entropy()));
        sid = buf;
        sessions[sid] = Session{};
        reply.headers.emplace_back("Set-Cookie", "wtsession=" + sid + "; Path=/");
    }
    Session &session = sessions[sid];

    if (!answering && pages::cleanSeed(seed).empty()) {
        reply.body = pages::formPage();
        return reply;
    }
    bool challenge = false;
    if (answering) {
        const std::string random = text::value(q, "random");
        auto it = challenges.find(random);
        const bool right =
            known && it != challenges.end() && it->second.session == sid &&
            session.current == random &&
            (it->second.seed == seed || pages::hiddenValue(it->second.seed) == seed) &&
            equalNoCase(text::value(q, "password"), it->second.answer);
        if (right) {
            session.passed = true;
            session.current.clear();
        }
        challenge = !right;
    } else {
        challenge =
            mode == ChallengeMode::Always || (mode == ChallengeMode::FirstTime && !session.passed);
    }
    reply.body = challenge ? newChallenge(sid, rawSeed, seed) : pages::resultPage(seed);
    return reply;
}

std::string Sandbox::Impl::newChallenge(const std::string &session, const std::string &rawSeed,
                                        const std::string &seed)
{
    std::string random;
    do {
        random = std::to_string(1'000'000'000ULL + entropy() % 9'000'000'000ULL);
    } while (challenges.count(random));
    challenges[random] = Challenge{session, captcha::randomAnswer(entropy()), seed};
    sessions[session].current = random;
    lastRandom = random;
    const std::string imageUrl = base() + "/wt/image.php?random=" + random + "&session=" + session;
    return pages::challengePage(random, rawSeed, seed, imageUrl);
}

Reply Sandbox::Impl::image(const Incoming &in)
{
    const std::string random = text::value(text::parseQuery(in.query), "random");
    const std::string sid = cookieValue(in.cookie, "wtsession");
    std::string answer;
    {
        std::lock_guard lock(mu);
        auto it = challenges.find(random);
        if (it == challenges.end() || sid.empty() || it->second.session != sid)
            return {403, "text/html", pages::errorPage(403), {}};
        answer = it->second.answer;
    }
    return {200, "image/png", captcha::renderPng(answer, text::fnv1a64(random)), {}};
}

Reply Sandbox::Impl::newsScript(const Incoming &in, const std::string &script)
{
    // Every request is read as a strict server reads it, a canned reply or
    // not: a content type or body it cannot parse is refused.
    text::Fields fields;
    if (!text::parseMultipart(in.contentType, in.body, fields))
        return {400, "text/html", pages::errorPage(400), {}};
    // The tier code must be one the service knows.
    const std::string tier = text::value(fields, "prodtype");
    if (tier != "BM" && tier != "BP" && tier != "BG")
        return {200, "text/html", "CONNECTIONFAIL", {}};
    news::Accounts acc;
    std::vector<NewsItem> items;
    {
        std::lock_guard lock(mu);
        if (newsOverride)
            return {200, "text/html", *newsOverride, {}};
        acc = accounts;
        items = newsItems;
    }
    return {200, "text/html", news::reply(script, fields, acc, items), {}};
}

// ---- public interface

Sandbox::Sandbox() : d(std::make_unique<Impl>()) {}

Sandbox::~Sandbox()
{
    stop();
}

bool Sandbox::start(int port)
{
    if (d->server)
        return false;
    auto svr = std::make_unique<httplib::Server>();
    svr->new_task_queue = [] { return new httplib::ThreadPool(16); };
    // One request per connection: an idle keep-alive connection would hold
    // stop() for the whole keep-alive timeout.
    svr->set_keep_alive_max_count(1);
    svr->set_keep_alive_timeout(1);
    svr->set_tcp_nodelay(true);
    svr->set_address_family(AF_INET);
    svr->set_pre_routing_handler([](const httplib::Request &creq, httplib::Response &) {
        // The server owns a mutable request; only this callback sees it const.
        auto &req = const_cast<httplib::Request &>(creq);
        for (const char *name : kHiddenHeaders)
            hideHeader(req.headers, name);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    Impl *impl = d.get();
    auto handler = [impl](const httplib::Request &req, httplib::Response &res) {
        impl->handle(req, res);
    };
    svr->Get(R"([\s\S]*)", handler);
    svr->Post(R"([\s\S]*)", handler);

    int bound = port;
    if (port == 0)
        bound = svr->bind_to_any_port("127.0.0.1");
    else if (!svr->bind_to_port("127.0.0.1", port))
        bound = -1;
    if (bound <= 0)
        return false;

    d->port = bound;
    d->stopping = false;
    httplib::Server *raw = svr.get();
    d->thread = std::thread([raw] { raw->listen_after_bind(); });
    // stop() is a no-op until the accept loop runs, so wait for it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!raw->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    d->server = std::move(svr);
    return d->server->is_running();
}

void Sandbox::stop()
{
    if (!d->server)
        return;
    d->stopping = true;
    d->server->stop();
    if (d->thread.joinable())
        d->thread.join();
    d->server.reset();
    d->stopping = false;
}

bool Sandbox::isRunning() const
{
    return d->server && d->server->is_running();
}

int Sandbox::port() const
{
    return d->port;
}

std::string Sandbox::baseUrl() const
{
    return d->base();
}
std::string Sandbox::suggestBase() const
{
    return baseUrl() + "/wt";
}
std::string Sandbox::googleBase() const
{
    return baseUrl() + "/google";
}
std::string Sandbox::yahooBase() const
{
    return baseUrl() + "/yahoo";
}
std::string Sandbox::msnBase() const
{
    return baseUrl() + "/msn";
}
std::string Sandbox::newsBase() const
{
    return baseUrl() + "/news/";
}
std::string Sandbox::liveUpdateBase() const
{
    return baseUrl() + "/liveupdate/tarnwick/";
}

std::string Sandbox::siteBase() const
{
    return baseUrl() + "/site/";
}

void Sandbox::setChallengeMode(ChallengeMode mode)
{
    std::lock_guard lock(d->mu);
    d->mode = mode;
}

std::string Sandbox::expectedAnswer(const std::string &randomValue) const
{
    std::lock_guard lock(d->mu);
    auto it = d->challenges.find(randomValue);
    return it == d->challenges.end() ? std::string() : it->second.answer;
}

std::string Sandbox::lastChallengeRandom() const
{
    std::lock_guard lock(d->mu);
    return d->lastRandom;
}

std::string Sandbox::engineCount(const std::string &engine, const std::string &decodedQuery)
{
    return pages::engineCount(engine, decodedQuery);
}

std::vector<std::pair<std::string, std::string>> Sandbox::suggestionsFor(const std::string &seed)
{
    return pages::suggestionsFor(seed);
}

void Sandbox::setNewsItems(std::vector<NewsItem> items)
{
    std::lock_guard lock(d->mu);
    d->newsItems = std::move(items);
}

void Sandbox::setNewsReply(const std::string &rawReplyOverride)
{
    std::lock_guard lock(d->mu);
    d->newsOverride = rawReplyOverride;
}

void Sandbox::clearNewsReply()
{
    std::lock_guard lock(d->mu);
    d->newsOverride.reset();
}

void Sandbox::setValidPublisher(const std::string &publId, const std::string &prodCode)
{
    std::lock_guard lock(d->mu);
    d->accounts.publishers = {{publId, prodCode}};
}

void Sandbox::addValidPublisher(const std::string &publId, const std::string &prodCode)
{
    std::lock_guard lock(d->mu);
    d->accounts.publishers.emplace_back(publId, prodCode);
}

void Sandbox::setPublishedVersion(const std::string &version)
{
    std::lock_guard lock(d->mu);
    d->version = version;
}

void Sandbox::setUpdateDescription(const std::string &rawIniText)
{
    std::lock_guard lock(d->mu);
    d->updateOverride = rawIniText;
}

void Sandbox::clearUpdateDescription()
{
    std::lock_guard lock(d->mu);
    d->updateOverride.reset();
}

std::string Sandbox::dollarHex(const std::string &bytes)
{
    return text::dollarHex(bytes);
}

void Sandbox::addFault(const Fault &fault)
{
    std::lock_guard lock(d->mu);
    d->faults.push_back(fault);
}

void Sandbox::clearFaults()
{
    std::lock_guard lock(d->mu);
    d->faults.clear();
}

std::vector<RecordedRequest> Sandbox::requests() const
{
    std::lock_guard lock(d->mu);
    return d->record;
}

void Sandbox::clearRequests()
{
    std::lock_guard lock(d->mu);
    d->record.clear();
}

} // namespace sandbox
