// Which thread every callback came from, over every object of the run: the
// queries only from the object's one worker and never from inside a call the
// host made into a plug-in, parameters declared only inside OnLoad,
// SendCommand never, nothing at all once Release has returned, and only the
// queries the plug-in is meant to make. Runs last, with a short scenario of
// its own so that it also judges something when run alone: the host calls
// every parameter operation while the worker makes its first passes.
#include <chrono>
#include <thread>

#include "checks.h"

namespace validator {

namespace {

void hostCallsDuringPasses(Context& context) {
    const std::string key = keyFor("Threads", 0);
    context.service.setReply(key, "ok");
    Instance instance = loadWithKey(context, key, steadyDeck("Threads title", "Validator"));
    if (!instance) {
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    while (millisecondsSince(start) < 6000) {
        for (int id = 0; id <= 4; ++id) {
            instance.plugin.onParameter(id);
            char text[64 + 64];
            instance.plugin.getParameterString(id, text, 64);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    context.timedRelease(instance, false, 35000);
    // Anything still to come after Release would come now.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

void runThreadChecks(Context& context) {
    hostCallsDuringPasses(context);
    const std::vector<HostFindings> all = context.findings(false);
    const HostFindings total = sumOf(all);
    const int hosts = static_cast<int>(all.size());
    const std::string over = " over " + std::to_string(hosts) + " objects";
    for (const char* check : {"threads.queries_on_worker", "threads.declare_inside_onload",
                              "threads.send_command_never", "threads.nothing_after_release"}) {
        const std::string broken = contractBroken(total, check);
        context.report(check, broken.empty() && total.queries > 0,
                       broken.empty()
                           ? "kept by " + std::to_string(total.queries) + " queries and " +
                                 std::to_string(total.declares) + " declarations" + over
                           : broken + over + " (each group's host_contract line says where)");
    }
    const bool known = total.unknownCommands == 0 && total.wrongTextSizes == 0;
    context.report("threads.known_queries", known,
                   known
                       ? std::to_string(total.queries) +
                             " queries, every one a deck, automix or sandbox query; every text "
                             "buffer 512 bytes"
                       : std::to_string(total.unknownCommands) + " unknown queries (first: \"" +
                             total.firstUnknownCommand + "\"), " +
                             std::to_string(total.wrongTextSizes) + " text buffers not 512 bytes");
}

}  // namespace

const CheckGroup kThreadGroup = {
    CheckGroup::Last,
    "threads",
    runThreadChecks,
    {{"threads.queries_on_worker", 1, kNeedsService,
      "over every object of the run: queries only from its one worker, never inside a host call"},
     {"threads.declare_inside_onload", 1, kNeedsService, "declarations only in OnLoad"},
     {"threads.send_command_never", 1, kNeedsService, "SendCommand never"},
     {"threads.nothing_after_release", 1, kNeedsService, "no callback after Release returned"},
     {"threads.known_queries", 1, kNeedsService,
      "only deck, automix and sandbox queries, with 512-byte text buffers"}}};

}  // namespace validator
