// A host whose answers are hostile: result codes at random, values NaN,
// infinite, negative, exactly 0.5 or huge, texts of random bytes, full
// buffers with no NUL, invalid UTF-8; sandbox and automix flapping, decks
// appearing and vanishing. For its first 32 s deck 1 holds one track made of
// such bytes, so that a play is counted and sent. The object must live
// through it, every POST body must be strict JSON, and no query may fall
// outside the deck, automix and sandbox queries.
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#include "checks.h"

namespace validator {

namespace {

// Bytes no UTF-8 decoder takes, with quotes, backslashes and controls.
const std::string kHostileTitle =
    "Caf\xE9 \"Live\" \\ \x01\x1F \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xE2\x82 end \xF0\x9F\x8E";

struct Fuzzer {
    std::mutex mutex;
    std::mt19937_64 random;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    long answers = 0;

    bool stablePhase() const { return millisecondsSince(start) < 32000; }

    double value() {
        const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(),
                                 -1,
                                 0.5,
                                 1e308,
                                 0,
                                 1,
                                 -0.0,
                                 std::numeric_limits<double>::denorm_min()};
        return values[random() % 10];
    }

    int32_t number(const std::string& command, double* result) {
        std::lock_guard lock(mutex);
        ++answers;
        if (stablePhase() && (command == "deck 1 loaded" || command == "deck 1 is_audible")) {
            *result = 1;
            return 0;
        }
        if (stablePhase() && command == "sandbox") {
            *result = 0;
            return 0;
        }
        const int32_t codes[] = {0, 0, 0, 1, -1, static_cast<int32_t>(0x80004005u)};
        *result = value();
        return codes[random() % 6];
    }

    int32_t text(const std::string& command, char* buffer, int32_t size) {
        std::lock_guard lock(mutex);
        ++answers;
        if (stablePhase() && (command == "deck 1 get_loaded_song 'title'" ||
                              command == "deck 1 get_loaded_song 'artist'")) {
            return answerText(kHostileTitle, buffer, size);
        }
        switch (random() % 5) {
            case 0:  // the whole buffer, no NUL anywhere
                for (int32_t i = 0; i < size; ++i) {
                    buffer[i] = static_cast<char>(0x80 + random() % 0x80);
                }
                return 0;
            case 1: {  // random bytes, NUL-terminated
                std::string bytes(random() % 600, '\0');
                for (char& byte : bytes) {
                    byte = static_cast<char>(1 + random() % 255);
                }
                return answerText(bytes, buffer, size);
            }
            case 2:
                return answerText(kHostileTitle, buffer, size);
            case 3:  // a failure code over a written buffer
                answerText("written but failed", buffer, size);
                return 1 + static_cast<int32_t>(random() % 3);
            default:
                return answerText("", buffer, size);
        }
    }
};

void runHostAnswerChecks(Context& context) {
    const int seconds = 35 + context.scaled(10, 60);
    const std::string key = keyFor("Fuzz", 0);
    context.service.addAccount(key, "Fuzz DJ");
    auto fuzzer = std::make_shared<Fuzzer>();
    fuzzer->random = context.random("host_answers");
    HostScript script;
    script.number = [fuzzer](const std::string& command, double* value) {
        return fuzzer->number(command, value);
    };
    script.text = [fuzzer](const std::string& command, char* buffer, int32_t size) {
        return fuzzer->text(command, buffer, size);
    };
    Instance instance = loadWithKey(context, key, script);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const std::string status = instance ? statusOf(instance) : "";
    const double releaseMs = instance ? context.timedRelease(instance, false, 35000) : -1;
    long answers = 0;
    {
        std::lock_guard lock(fuzzer->mutex);
        answers = fuzzer->answers;
    }
    context.report("host_answers.object_lives", releaseMs >= 0 && answers > 0,
                   std::to_string(answers) + " hostile answers over " + std::to_string(seconds) +
                       " s; status \"" + status + "\"; released in " + formatMs(releaseMs));

    int posts = 0, strict = 0;
    for (const auto& request : context.service.requests(key, "POST")) {
        ++posts;
        const nlohmann::json body =
            nlohmann::json::parse(request.value("body", ""), nullptr, false);
        strict += request.value("bodyIsJson", false) && body.is_object() &&
                  body.contains("tracks") && body["tracks"].is_array();
    }
    context.report("host_answers.post_bodies_strict", posts > 0 && strict == posts,
                   posts == 0 ? "no POST reached the service"
                              : std::to_string(strict) + " of " + std::to_string(posts) +
                                    " POST bodies strict JSON with a tracks list");
    const HostFindings found =
        instance.host != nullptr ? instance.host->findings() : HostFindings{};
    context.report("host_answers.known_queries", found.unknownCommands == 0 && found.queries > 0,
                   found.unknownCommands == 0
                       ? std::to_string(found.queries) + " queries, all deck, automix or sandbox"
                       : "unknown query \"" + found.firstUnknownCommand + "\"");
}

}  // namespace

const CheckGroup kHostAnswerGroup = {
    CheckGroup::Beside,
    "host_answers",
    runHostAnswerChecks,
    {{"host_answers.object_lives", 3, kNeedsService,
      "hostile host answers (NaN, infinities, random bytes, full buffers, flapping decks): the "
      "object lives and is released"},
     {"host_answers.post_bodies_strict", 3, kNeedsService,
      "every document it sends is strict JSON"},
     {"host_answers.known_queries", 3, kNeedsService, "only deck, automix and sandbox queries"},
     hostContract("host_answers", 3, kNeedsService)}};

}  // namespace validator
