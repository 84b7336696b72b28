// A hostile service, on loopback only: for each broken reply the stand-in
// can give, all at once, one object per key.
//   keep:    verified by the stand-in's own answer, then its first play meets the
//            broken reply; afterwards the service is whole again, and a play
//            the outcome kept must arrive.
//   release: Release comes while the broken exchange is in flight; it must
//            return within the exchange deadline (30 s) and 50 ms.
// A redirect is an answer like any other: the play is kept, never taken as
// sent, and nothing, so no key, reaches the origin the redirect names (the
// stand-in by another name: the verification is the one GET bearing the key).
// And a build whose service presents an untrusted certificate: the key is
// never taken as verified, and Release is prompt.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "checks.h"
#include "expected_texts.h"

namespace validator {

namespace {

constexpr double kReleaseBoundMs = 30050;
constexpr double kDeadlineMs = 30000;

const char* const kBrokenReplies[] = {"silence",          "status-then-silence", "body-trickle",
                                      "reset-mid-body",   "megabyte-body",       "garbage-status",
                                      "http10-no-length", "redirect-loop",       "redirect-away"};

struct Outcome {
    std::string keepText;
    bool keepOk = false;
    double releaseMs = -1;
    // When Release returned against the exchange's deadline (negative:
    // before it), the exchange taken to start when we first saw it at the
    // stand-in, which is no earlier than it did.
    double pastDeadlineMs = -kDeadlineMs;
};

std::string accountFor(const std::string& reply) {
    return "Hostile " + reply;
}

bool accountHas(Context& context, const std::string& account, const std::string& title) {
    const nlohmann::json accounts = context.service.accounts();
    if (!accounts.is_object() || !accounts.contains(account)) {
        return false;
    }
    for (const auto& play : accounts[account]["history"]) {
        if (play.value("title", "") == title) {
            return true;
        }
    }
    return false;
}

// The play meets the broken reply; a play the outcome keeps must arrive later.
void keep(Context& context, const std::string& reply, int number, Outcome& outcome) {
    const std::string key = keyFor("Keep", number);
    const std::string account = accountFor(reply);
    const std::string title = "Kept through " + reply;
    context.service.addAccount(key, account);
    Instance instance = loadWithKey(context, key, steadyDeck(title, "Validator"));
    if (!instance) {
        outcome.keepText = "the factory gave no object";
        return;
    }
    const std::string connected = expected::kConnectedAs + account;
    if (waitFor([&] { return statusOf(instance) == connected; }, 15000) < 0) {
        outcome.keepText = "not connected in 15 s: \"" + statusOf(instance) + "\"";
        context.timedRelease(instance, false, 35000);
        return;
    }
    context.service.setReply(key, reply);
    // The play counts 20 s after it was first seen, then meets the reply.
    waitFor([&] { return statusOf(instance) != connected; }, 90000);
    const std::string after = statusOf(instance);
    context.service.setReply(key, "forward");
    const bool taken = after.find(expected::kSent) != std::string::npos;
    const bool redirect = reply.compare(0, 8, "redirect") == 0;
    const size_t gets = redirect ? context.service.requests(key, "GET").size() : 1;
    if (redirect && (taken || gets != 1)) {
        outcome.keepText = "the redirect was followed: \"" + after + "\", " + std::to_string(gets) +
                           " GETs bearing the key reached the stand-in";
    } else if (taken) {
        outcome.keepOk = true;
        outcome.keepText = "taken as sent";
    } else {
        const double arrivedMs =
            waitFor([&] { return accountHas(context, account, title); }, 40000);
        outcome.keepOk = arrivedMs >= 0;
        outcome.keepText = "\"" + after + "\", " +
                           (arrivedMs >= 0 ? "the play arrived " + formatMs(arrivedMs) +
                                                 " after the service came back"
                                           : "the play never arrived");
    }
    if (context.timedRelease(instance, false, 35000) < 0) {
        outcome.keepOk = false;
        outcome.keepText += "; Release never returned";
    }
}

// Release while the broken exchange is in flight.
void release(Context& context, const std::string& reply, int number, Outcome& outcome) {
    const std::string key = keyFor("Release", number);
    context.service.setReply(key, reply);
    auto random = context.random("service.release." + reply);
    Instance instance = loadWithKey(context, key, steadyDeck("Released", "Validator"));
    if (!instance || waitFor([&] { return context.service.requestsWithKey(key) > 0; }, 10000) < 0) {
        outcome.releaseMs = -1;
        return;
    }
    const auto seen = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 2000));
    const double calledMs = millisecondsSince(seen);
    outcome.releaseMs = context.timedRelease(instance, false, 35000);
    outcome.pastDeadlineMs = calledMs + outcome.releaseMs - kDeadlineMs;
}

void untrusted(Context& context) {
    const std::string key = keyFor("Untrusted", 0);
    Instance instance = loadWithKey(context, key, steadyDeck("Untrusted", "Validator"), true);
    if (!instance) {
        context.report("service.untrusted_https", false, "the factory gave no object");
        return;
    }
    const std::string refused = expected::kCantReach;
    const double refusedMs =
        waitFor([&] { return statusOf(instance).compare(0, refused.size(), refused) == 0; }, 20000);
    const std::string status = statusOf(instance);
    const double releaseMs = context.timedRelease(instance, false, 35000);
    const bool ok = refusedMs >= 0 && releaseMs >= 0 && releaseMs <= kReleaseBoundMs;
    context.report("service.untrusted_https", ok,
                   "status \"" + status + "\" after " + formatMs(refusedMs) +
                       ", key never taken as verified; Release " + formatMs(releaseMs));
}

void runServiceChecks(Context& context) {
    const int count = sizeof kBrokenReplies / sizeof *kBrokenReplies;
    std::vector<Outcome> outcomes(count);
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        const std::string reply = kBrokenReplies[i];
        const bool line = context.wants("service." + reply);
        if (line) {
            threads.emplace_back([&, i, reply] { keep(context, reply, i, outcomes[i]); });
        }
        if (line || context.wants("service.release_bound")) {
            threads.emplace_back([&, i, reply] { release(context, reply, i, outcomes[i]); });
        }
    }
    if (context.wants("service.untrusted_https") && context.untrustedFactory != nullptr) {
        threads.emplace_back([&] { untrusted(context); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    double slowest = 0;
    double latest = -kDeadlineMs;
    bool allBounded = true;
    for (int i = 0; i < count; ++i) {
        const Outcome& outcome = outcomes[i];
        const bool bounded = outcome.releaseMs >= 0 && outcome.releaseMs <= kReleaseBoundMs;
        allBounded = allBounded && bounded;
        slowest = std::max(slowest, outcome.releaseMs < 0 ? 1e9 : outcome.releaseMs);
        latest = std::max(latest, outcome.pastDeadlineMs);
        context.report(
            std::string("service.") + kBrokenReplies[i], outcome.keepOk && bounded,
            "play: " + outcome.keepText + "; Release during the exchange " +
                (outcome.releaseMs < 0 ? "never returned" : "in " + formatMs(outcome.releaseMs)));
    }
    context.report("service.release_bound", allBounded,
                   allBounded
                       ? "the slowest Release during a broken exchange took " + formatMs(slowest) +
                             " (bound 30.05 s); the latest came " + formatMs(std::abs(latest)) +
                             (latest >= 0 ? " after" : " before") + " its exchange's deadline"
                       : "a Release during a broken exchange took longer than 30.05 s or "
                         "never returned");
}

std::vector<Check> serviceChecks() {
    std::vector<Check> checks;
    for (const char* reply : kBrokenReplies) {
        checks.push_back({std::string("service.") + reply, 4, kNeedsService,
                          std::string("a play meets the \"") + reply +
                              "\" reply: no crash, a play the outcome keeps arrives later"});
    }
    checks.push_back({"service.release_bound", 4, kNeedsService,
                      "Release during each broken exchange: within the 30-s deadline and 50 ms"});
    checks.push_back({"service.untrusted_https", 4, kNeedsService | kNeedsUntrustedBuild,
                      "an untrusted certificate: the key is never taken as verified"});
    checks.push_back(hostContract("service", 4, kNeedsService));
    return checks;
}

}  // namespace

const CheckGroup kServiceGroup = {CheckGroup::Beside, "service", runServiceChecks, serviceChecks()};

}  // namespace validator
