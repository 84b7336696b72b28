// The stand-in service's strict check of a now-playing document: a JSON
// object with "tracks" (objects with string title, optional string artist,
// playedAt as YYYY-MM-DDTHH:MM:SSZ) and optional "upNext", nothing else.
// Pure; any thread.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

// Parses and checks `body`; on success fills `document` and returns no reason.
std::optional<std::string> checkDocument(const std::string& body, nlohmann::json& document);
