// The score site's pages: the front page, the two boards, a player's page
// and the score code check. Every text from outside is escaped.
#pragma once

#include "scores/site.h"

#include <functional>

// What the site says of a score code alone.
constexpr const char* SCORE_CODE_NOTE =
    "A score code only shows that the number came from the game's formula, which is public: "
    "it is not verified. Only runs on the boards were played again by this site.";

void addPages(httplib::Server& http, Store& store, const SiteConfig& config,
              std::function<int64_t()> now);
