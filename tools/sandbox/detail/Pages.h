#pragma once
// The HTML the emulated services answer with. Pure functions of their input.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sandbox::pages {

using Suggestions = std::vector<std::pair<std::string, std::string>>;

std::uint64_t engineCountValue(const std::string &engine, const std::string &decodedQuery);
std::string engineCount(const std::string &engine, const std::string &decodedQuery);
// engine is "google", "yahoo" or "msn".
std::string enginePage(const std::string &engine, const std::string &decodedQuery);

std::string cleanSeed(const std::string &seed);
Suggestions suggestionsFor(const std::string &seed);
std::string resultPage(const std::string &decodedSeed);
// The hidden seed input holds the decoded seed (see hiddenValue); rawSeed is
// unused. imageUrl must be absolute.
// Value of the hidden seed input for a decoded seed.
std::string hiddenValue(const std::string &decoded);
std::string challengePage(const std::string &random, const std::string &rawSeed,
                          const std::string &decodedSeed, const std::string &imageUrl);
// The plain form the service shows without a seed.
std::string formPage();

std::string errorPage(int status);

} // namespace sandbox::pages
