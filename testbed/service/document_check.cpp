#include "document_check.h"

#include <set>

namespace {

// YYYY-MM-DDTHH:MM:SSZ with every field in its range.
bool isUtcTimestamp(const std::string& text) {
    const std::string form = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != form.size()) {
        return false;
    }
    for (size_t i = 0; i < form.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (form[i] == 'd' ? !digit : text[i] != form[i]) {
            return false;
        }
    }
    const auto field = [&](size_t at) { return std::stoi(text.substr(at, 2)); };
    return field(5) >= 1 && field(5) <= 12 && field(8) >= 1 && field(8) <= 31 && field(11) <= 23 &&
           field(14) <= 59 && field(17) <= 60;
}

std::optional<std::string> checkMembers(const nlohmann::json& object,
                                        const std::set<std::string>& allowed,
                                        const std::string& where) {
    if (!object.is_object()) {
        return where + " is not an object";
    }
    for (const auto& [name, value] : object.items()) {
        if (allowed.count(name) == 0) {
            return where + " has an unexpected member \"" + name + "\"";
        }
    }
    return std::nullopt;
}

std::optional<std::string> checkEntry(const nlohmann::json& entry, const std::string& where,
                                      bool withPlayedAt) {
    std::set<std::string> allowed = {"title", "artist"};
    if (withPlayedAt) {
        allowed.insert("playedAt");
    }
    if (auto reason = checkMembers(entry, allowed, where)) {
        return reason;
    }
    if (!entry.contains("title") || !entry["title"].is_string()) {
        return where + ".title must be a string";
    }
    if (entry.contains("artist") && !entry["artist"].is_string()) {
        return where + ".artist must be a string";
    }
    if (withPlayedAt && (!entry.contains("playedAt") || !entry["playedAt"].is_string() ||
                         !isUtcTimestamp(entry["playedAt"]))) {
        return where + ".playedAt must be a UTC timestamp like 2023-11-14T22:13:20Z";
    }
    return std::nullopt;
}

std::optional<std::string> checkList(const nlohmann::json& document, const std::string& name,
                                     bool withPlayedAt) {
    if (!document[name].is_array()) {
        return name + " must be an array";
    }
    for (size_t i = 0; i < document[name].size(); ++i) {
        if (auto reason =
                checkEntry(document[name][i], name + "[" + std::to_string(i) + "]", withPlayedAt)) {
            return reason;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> checkDocument(const std::string& body, nlohmann::json& document) {
    document = nlohmann::json::parse(body, nullptr, false);
    if (document.is_discarded()) {
        return std::string("the body is not JSON");
    }
    if (auto reason = checkMembers(document, {"tracks", "upNext"}, "the document")) {
        return reason;
    }
    if (!document.contains("tracks")) {
        return std::string("tracks is missing");
    }
    if (auto reason = checkList(document, "tracks", true)) {
        return reason;
    }
    if (document.contains("upNext")) {
        return checkList(document, "upNext", false);
    }
    return std::nullopt;
}
