// Eight objects loaded at once, each with its own host, deck and account:
// every account gets exactly its own play, and every host hears only from
// its own object's worker.
#include <set>

#include "checks.h"

namespace validator {

namespace {

constexpr int kObjects = 8;

std::string titleOf(int i) {
    return "Instance " + std::to_string(i) + " title";
}

std::string accountOf(int i) {
    return "Validator DJ " + std::to_string(i);
}

// Whether the account's history is exactly the object's own one play.
bool hasOnlyOwnPlay(const nlohmann::json& accounts, int i) {
    const auto account = accounts.find(accountOf(i));
    if (account == accounts.end()) {
        return false;
    }
    const nlohmann::json& history = (*account)["history"];
    return history.size() == 1 && history[0].value("title", "") == titleOf(i) &&
           history[0].value("count", 0) == 1;
}

std::string ownPlaysFault(const nlohmann::json& accounts, double tookMs, int released) {
    if (tookMs < 0) {
        return "not every account got a play within 60 s";
    }
    int own = 0;
    for (int i = 0; i < kObjects; ++i) {
        own += accounts.is_object() && hasOnlyOwnPlay(accounts, i);
    }
    if (own < kObjects) {
        return std::to_string(kObjects - own) + " accounts got other plays than their own";
    }
    if (released < kObjects) {
        return std::to_string(kObjects - released) + " objects not released within 35 s";
    }
    return {};
}

void runInstanceChecks(Context& context) {
    std::vector<Instance> instances;
    for (int i = 0; i < kObjects; ++i) {
        const std::string key = keyFor("Instance", i);
        context.service.addAccount(key, accountOf(i));
        instances.push_back(loadWithKey(context, key, steadyDeck(titleOf(i), "Validator")));
    }
    nlohmann::json accounts;
    const auto allPlayed = [&] {
        accounts = context.service.accounts();
        if (!accounts.is_object()) {
            return false;
        }
        for (int i = 0; i < kObjects; ++i) {
            if (!accounts.contains(accountOf(i))) {
                return false;
            }
        }
        return true;
    };
    const double tookMs = waitFor(allPlayed, 60000);
    // A late second play would show a fault too: look once more after a pass.
    waitFor([] { return false; }, 2500);
    accounts = context.service.accounts();
    int released = 0;
    for (Instance& instance : instances) {
        released += instance && context.timedRelease(instance, false, 35000) >= 0;
    }
    context.reportFault("instances.own_plays", ownPlaysFault(accounts, tookMs, released),
                        std::to_string(kObjects) +
                            " objects at once; each account got exactly its own play, the last "
                            "after " +
                            formatMs(tookMs) + "; all released");

    std::set<uint64_t> workers;
    int queries = 0, strays = 0;
    for (const Instance& instance : instances) {
        if (instance.host != nullptr) {
            const HostFindings found = instance.host->findings();
            queries += found.queries;
            strays += found.queriesFromOtherThreads;
            workers.insert(found.worker);
        }
    }
    const bool separate = strays == 0 && workers.size() == kObjects;
    context.report("instances.own_callbacks", separate,
                   separate ? std::to_string(queries) +
                                  " queries to 8 hosts from 8 distinct worker "
                                  "threads, none reached another object's host"
                            : std::to_string(workers.size()) + " distinct workers for 8 objects, " +
                                  std::to_string(strays) + " queries from another thread");
}

}  // namespace

const CheckGroup kInstanceGroup = {
    CheckGroup::Beside,
    "instances",
    runInstanceChecks,
    {{"instances.own_plays", 3, kNeedsService,
      "8 objects at once, 8 accounts: each account gets exactly its own play"},
     {"instances.own_callbacks", 3, kNeedsService,
      "each object queries its own host from its own worker"},
     hostContract("instances", 3, kNeedsService)}};

}  // namespace validator
