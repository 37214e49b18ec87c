#include "Pages.h"

#include "Text.h"

#include <algorithm>
#include <array>
#include <set>

namespace sandbox::pages {

using namespace sandbox::text;

namespace {

std::vector<std::string> words(const std::string &s)
{
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == ' ') {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

std::string joined(const std::vector<std::string> &parts)
{
    std::string out;
    for (const auto &p : parts) {
        if (!out.empty())
            out += ' ';
        out += p;
    }
    return out;
}

struct Range
{
    std::uint64_t lo, hi;
};

// Google's scale; the other engines report a fixed share of it.
Range broadRange(size_t wordCount)
{
    if (wordCount <= 2)
        return {2'200'000'000ULL, 9'000'000'000ULL};
    if (wordCount == 3)
        return {10'000'000ULL, 900'000'000ULL};
    if (wordCount == 4)
        return {1'000'000ULL, 60'000'000ULL};
    return {10'000ULL, 5'000'000ULL};
}

std::uint64_t enginePercent(const std::string &engine)
{
    if (engine == "yahoo")
        return 45;
    if (engine == "msn")
        return 12;
    return 100;
}

std::string pageHead(const std::string &title, const std::string &style)
{
    return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
           "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
           "charset=ISO-8859-1\">\n<title>" +
           title + "</title>\n<style type=\"text/css\">\n" + style + "</style>\n</head>\n";
}

// Ten plausible result entries; they carry none of the count markers.
std::string resultEntries(const std::string &query, const std::string &before,
                          const std::string &after)
{
    static const std::array<const char *, 10> hosts = {
        "www.example.com",       "shop.example.net",  "en.example.org",   "www.example.co.uk",
        "reviews.example.com",   "forum.example.net", "news.example.org", "www.example.info",
        "directory.example.com", "blog.example.net"};
    std::string out;
    std::string shown = htmlEscape(query);
    for (size_t i = 0; i < hosts.size(); ++i) {
        out += before + "<a href=\"http://" + std::string(hosts[i]) + "/\">" + shown + " - " +
               hosts[i] + "</a><br>Everything about " + shown + ", page " + std::to_string(i + 1) +
               "." + after + "\n";
    }
    return out;
}

const std::array<const char *, 40> kSuffixes = {
    "reviews",   "for sale", "online",  "cheap",    "uk",        "prices",  "sale",
    "discount",  "store",    "shop",    "used",     "review",    "deals",   "accessories",
    "equipment", "guide",    "tips",    "supplies", "rental",    "lessons", "magazine",
    "forum",     "pictures", "history", "outlet",   "direct",    "catalog", "parts",
    "wholesale", "club",     "tour",    "software", "australia", "canada",  "games",
    "news",      "school",   "video",   "books",    "training"};
const std::array<const char *, 18> kPrefixes = {
    "cheap", "best",   "used",     "discount",     "free",     "buy",
    "new",   "custom", "womens",   "mens",         "kids",     "vintage",
    "top",   "online", "cheapest", "professional", "beginner", "ladies"};

struct Phrase
{
    std::string prefix, suffix; // around the seed
    std::string text(const std::string &seed) const
    {
        return (prefix.empty() ? "" : prefix + " ") + seed + (suffix.empty() ? "" : " " + suffix);
    }
    std::string html(const std::string &seed) const
    {
        return (prefix.empty() ? "" : prefix + " ") + "<b>" + seed + "</b>" +
               (suffix.empty() ? "" : " " + suffix);
    }
};

struct Row
{
    Phrase phrase;
    std::uint64_t count;
};

std::vector<Row> suggestionRows(const std::string &seed)
{
    std::vector<Row> rows;
    if (seed.empty())
        return rows;
    SplitMix64 gen{fnv1a64(seed)};

    std::vector<Phrase> candidates;
    for (const char *s : kSuffixes)
        candidates.push_back({"", s});
    for (const char *p : kPrefixes)
        candidates.push_back({p, ""});
    for (int i = 0; i < 10; ++i)
        candidates.push_back(
            {kPrefixes[gen.below(kPrefixes.size())], kSuffixes[gen.below(kSuffixes.size())]});
    for (size_t i = candidates.size() - 1; i > 0; --i)
        std::swap(candidates[i], candidates[gen.below(i + 1)]);

    const size_t total = 20 + gen.below(21);
    std::uint64_t count = 5'000 + gen.below(95'000);
    std::set<std::string> seen{seed};
    rows.push_back({Phrase{}, count});
    for (const auto &c : candidates) {
        if (rows.size() == total)
            break;
        if (!seen.insert(c.text(seed)).second)
            continue;
        count = std::max<std::uint64_t>(1, count * (78 + gen.below(21)) / 100);
        rows.push_back({c, count});
    }
    return rows;
}

} // namespace

std::uint64_t engineCountValue(const std::string &engine, const std::string &decodedQuery)
{
    std::string q = decodedQuery;
    const bool quoted = q.size() >= 2 && q.front() == '"' && q.back() == '"';
    if (quoted)
        q = q.substr(1, q.size() - 2);
    const std::vector<std::string> w = words(lowerAscii(q));
    if (w.empty())
        return 0;
    const std::string text = joined(w);
    const Range r = broadRange(w.size());
    const std::uint64_t broad =
        (r.lo + fnv1a64(engine + "|" + text) % (r.hi - r.lo)) * enginePercent(engine) / 100;
    if (!quoted)
        return broad;
    const std::uint64_t perMille = 1 + fnv1a64(engine + "|\"" + text + "\"") % 199;
    return broad * perMille / 1000;
}

std::string engineCount(const std::string &engine, const std::string &decodedQuery)
{
    return withThousands(engineCountValue(engine, decodedQuery));
}

std::string enginePage(const std::string &engine, const std::string &decodedQuery)
{
    const std::string count = engineCount(engine, decodedQuery);
    const std::string shown = htmlEscape(decodedQuery);
    const std::uint64_t h = fnv1a64(engine + decodedQuery);
    const std::string seconds = "0." + std::to_string(10 + h % 80); // two digits, 0.10 .. 0.89

    if (engine == "google") {
        return pageHead(shown + " - Google Search",
                        "body,td,div,.p,a{font-family:arial,sans-serif}\n.g{margin:1em 0}\n") +
               "<body bgcolor=#ffffff topmargin=3 marginheight=3>\n"
               "<table border=0 cellpadding=0 cellspacing=0 width=100%><tr><td "
               "bgcolor=#e5ecf9><font size=+1>&nbsp;<b>Web</b></font></td>"
               "<td bgcolor=#e5ecf9 align=right nowrap><font size=-1>Results <b>1</b> - "
               "<b>10</b> of about <b>" +
               count + "</b> for <b>" + shown + "</b>. (<b>" + seconds +
               "</b> seconds)&nbsp;</font></td></tr></table>\n<div id=res>\n" +
               resultEntries(decodedQuery, "<div class=g>", "</div>") +
               "</div>\n<center><font size=-1>Result Page: <b>1</b> 2 3 4 5 6 7 8 9 10 "
               "Next</font></center>\n</body>\n</html>\n";
    }
    if (engine == "yahoo") {
        return pageHead(shown + " - Yahoo! Search Results",
                        "body{font-family:arial,helvetica,sans-serif}\n#info{color:#666}\n") +
               "<body>\n<div id=\"hd\"><h1>Yahoo! Search</h1></div>\n<div id=\"info\"><p>"
               "1 - 10 of about <strong id=\"resultCount\">" +
               count + "</strong> for <strong>" + shown + "</strong> - " + seconds +
               " sec. (<a href=\"/about\">About this page</a>)</p></div>\n<div id=\"web\"><ol>\n" +
               resultEntries(decodedQuery, "<li><div class=\"res\">", "</div></li>") +
               "</ol></div>\n</body>\n</html>\n";
    }
    return pageHead(shown + " - MSN Search",
                    "body{font-family:verdana,sans-serif;font-size:small}\n") +
           "<body>\n<div id=\"header\"><h1>MSN Search</h1></div>\n<div id=\"results_area\">\n"
           "<div id=\"results_header\"><h5>Web Results <span id=\"count\">1-10 of " +
           count + " results</span></h5></div>\n<ul>\n" +
           resultEntries(decodedQuery, "<li><h3>", "</h3></li>") +
           "</ul>\n</div>\n</body>\n</html>\n";
}

std::string cleanSeed(const std::string &seed)
{
    std::string s = lowerAscii(seed);
    for (char &c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '"' || c == '<' || c == '>' || c == '(' || c == ')' ||
            c == '&')
            c = ' ';
    }
    return joined(words(s));
}

Suggestions suggestionsFor(const std::string &seed)
{
    const std::string clean = cleanSeed(seed);
    Suggestions out;
    for (const Row &r : suggestionRows(clean))
        out.emplace_back(r.phrase.text(clean), withThousands(r.count));
    return out;
}

namespace {
const char kSuggestStyle[] = "body{font-family:verdana,arial,sans-serif;font-size:12px}\n"
                             "table.results{border-collapse:collapse}\n"
                             "td.k{padding:2px 8px}\ntd.s{text-align:right;padding:2px 8px}\n";

std::string searchForm(const std::string &decodedSeed)
{
    return "<form action=\"/wt/\" method=\"get\" id=\"suggest\">\n"
           "<label for=\"seed\">Enter a keyword:</label>\n"
           "<input type=\"text\" name=\"seed\" id=\"seed\" size=\"30\" value=\"" +
           htmlEscape(decodedSeed) +
           "\">\n<select name=\"adult_filter\"><option value=\"remove_offensive\" "
           "selected>Remove offensive</option><option value=\"off\">Off</option></select>\n"
           "<input type=\"submit\" name=\"suggest\" value=\"Hit Me\">\n</form>\n";
}

const char kBanner[] = "<body>\n<div id=\"top\"><h1>Free Keyword Suggestion Tool</h1>\n"
                       "<p>Find the words people really type into search engines.</p></div>\n";
const char kFooter[] = "<div id=\"footer\"><p>Counts are estimates of daily searches across "
                       "the major engines.</p></div>\n</body>\n</html>\n";
} // namespace

std::string resultPage(const std::string &decodedSeed)
{
    const std::string clean = cleanSeed(decodedSeed);
    const std::vector<Row> rows = suggestionRows(clean);
    std::string page =
        pageHead("Free Keyword Suggestion Tool: " + htmlEscape(decodedSeed), kSuggestStyle) +
        kBanner + searchForm(decodedSeed) + "<p>" + std::to_string(rows.size()) +
        " suggestions for <b>" + htmlEscape(decodedSeed) +
        "</b></p>\n<table class=\"results\" cellspacing=\"0\">\n"
        "<tr><th colspan=\"2\" class=\"keyword\">Keyword</th></tr>\n";
    for (const Row &r : rows) {
        const std::string text = r.phrase.text(clean);
        page += "<tr><td class='k'>" + r.phrase.html(clean) +
                " (<a href=\"/wt/?seed=" + formEncode(text) +
                "&amp;adult_filter=remove_offensive&amp;suggest=Hit+Me\" title=\"Dig deeper\">?"
                "</a>)</td><td class='s'>" +
                withThousands(r.count) + "</td></tr>\n";
    }
    return page + "</table>\n" + kFooter;
}

std::string hiddenValue(const std::string &decoded)
{
    // As a real form writes it: the plain value, with only the quote that
    // would end the attribute escaped.
    std::string out;
    for (char c : decoded)
        out += c == '"' ? std::string("&quot;") : std::string(1, c);
    return out;
}

std::string challengePage(const std::string &random, const std::string &rawSeed,
                          const std::string &decodedSeed, const std::string &imageUrl)
{
    (void)rawSeed;
    const std::string hiddenSeed = hiddenValue(decodedSeed);
    std::string imgSrc;
    for (char c : imageUrl)
        imgSrc += c == '&' ? std::string("&amp;") : std::string(1, c);

    return pageHead("Free Keyword Suggestion Tool: security check", kSuggestStyle) + kBanner +
           "<div id=\"check\">\n<p>To keep this service free for people, we sometimes ask "
           "for a quick check before showing suggestions for <b>" +
           htmlEscape(decodedSeed) +
           "</b>.</p>\n<p>Please enter the characters in the image below, then press "
           "Continue.</p>\n<form action=\"/wt/keyword-suggestion-tool.html\" method=\"get\">\n"
           "<input type=\"hidden\" name=\"random\" value=\"" +
           random + "\">\n<input type=\"hidden\" name=\"seed\" value=\"" + hiddenSeed +
           "\">\n<p><img src=\"" + imgSrc +
           "\" width=\"200\" height=\"60\" alt=\"security image\"></p>\n"
           "<p><input type=\"text\" name=\"password\" size=\"10\" maxlength=\"10\">\n"
           "<input type=\"submit\" value=\"Continue\"></p>\n</form>\n</div>\n" +
           kFooter;
}

std::string formPage()
{
    return pageHead("Free Keyword Suggestion Tool", kSuggestStyle) + kBanner + searchForm("") +
           kFooter;
}

std::string errorPage(int status)
{
    std::string reason = status == 404   ? "Not Found"
                         : status == 403 ? "Forbidden"
                         : status >= 500 ? "Server Error"
                                         : "Error";
    const std::string title = std::to_string(status) + " " + reason;
    return "<html><head><title>" + title + "</title></head><body><h1>" + title +
           "</h1><p>The requested page could not be delivered.</p></body></html>\n";
}

} // namespace sandbox::pages
