#include "News.h"

namespace sandbox::news {

namespace {
const char kSep = '\xAF';

bool namesAre(const text::Fields &fields, const std::vector<std::string> &names)
{
    if (fields.size() != names.size())
        return false;
    for (size_t i = 0; i < names.size(); ++i)
        if (fields[i].first != names[i])
            return false;
    return true;
}

std::string record(const NewsItem &item)
{
    return std::to_string(item.id) + "^" + item.title + "^" + item.date;
}

// Empty when the account is fine, else the error code.
std::string checkAccount(const text::Fields &fields, const Accounts &accounts)
{
    const std::string publ = text::value(fields, "memusername");
    const std::string prod = text::value(fields, "prodcode");
    bool knownPublisher = false;
    for (const auto &[id, code] : accounts.publishers) {
        if (id != publ)
            continue;
        knownPublisher = true;
        if (code == prod)
            return {};
    }
    return knownPublisher ? "INVALIDPRODUCT" : "INVALIDUSER";
}
} // namespace

std::string reply(const std::string &script, const text::Fields &fields, const Accounts &accounts,
                  const std::vector<NewsItem> &items)
{
    const bool details = script == "getnewsdetails.php";
    const std::vector<std::string> expected =
        details ? std::vector<std::string>{"memusername", "prodcode",   "prodtype",
                                           "newsid",      "newstarget", "something"}
                : std::vector<std::string>{"memusername", "prodcode",   "prodtype",
                                           "conttype",    "newstarget", "something"};
    if (!namesAre(fields, expected) || text::value(fields, "newstarget") != "UA" ||
        !text::value(fields, "something").empty())
        return "CONNECTIONFAIL";
    const std::string conttype = text::value(fields, "conttype");
    if (!details && conttype != "all" && conttype != "lastcode")
        return "CONNECTIONFAIL";

    if (std::string error = checkAccount(fields, accounts); !error.empty())
        return error;

    if (details) {
        const std::string id = text::value(fields, "newsid");
        for (const NewsItem &item : items)
            if (std::to_string(item.id) == id)
                return text::dollarHex(item.html) + kSep + "OK";
        return "INVALIDNEWS";
    }
    if (conttype == "lastcode") {
        const NewsItem *newest = nullptr;
        for (const NewsItem &item : items)
            if (!newest || item.id > newest->id)
                newest = &item;
        return newest ? record(*newest) + kSep + "OK" : std::string("OK");
    }
    std::string out;
    for (const NewsItem &item : items)
        out += record(item) + kSep;
    return out + "OK";
}

} // namespace sandbox::news
