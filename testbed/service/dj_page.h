// The DJ page of one account: the track now playing, the history with times,
// and up next, refreshing itself. Plain HTML and CSS. Pure.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

// `account` holds "history" (title, artist, playedAt, count) and "upNext".
std::string renderDjPage(const std::string& accountName, const nlohmann::json& account);
