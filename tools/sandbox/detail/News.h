#pragma once
// The reseller's news scripts: field checks and the 0xAF-framed replies.

#include "../Sandbox.h"
#include "Text.h"

#include <string>
#include <utility>
#include <vector>

namespace sandbox::news {

struct Accounts
{
    std::vector<std::pair<std::string, std::string>> publishers; // (publisher id, product code)
};

// script is "getlastnews.php" or "getnewsdetails.php"; fields in the order posted.
std::string reply(const std::string &script, const text::Fields &fields, const Accounts &accounts,
                  const std::vector<NewsItem> &items);

} // namespace sandbox::news
