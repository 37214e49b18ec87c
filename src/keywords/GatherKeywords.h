#pragma once
// Gather Keywords: asks the suggestion service about the main keyword, passes
// its security image check with the user's help and lists what it suggests.

#include "base/Pacer.h"
#include "keywords/SuggestionPage.h"

#include <QByteArray>

struct TCommandContext;

// Marks a page that asks for the security image instead of suggestions.
inline constexpr const char *ChallengeText = SecurityImageText;

// The whole command. Refused quietly while another web command runs.
void GatherKeywords(TCommandContext &ctx, const QByteArray &mainKeyword);
