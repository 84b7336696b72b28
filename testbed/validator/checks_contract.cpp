// The factory and the two records: identifiers refused without touching the
// output slot, fresh objects, and records that stay put whoever asks.
#include <cstring>
#include <set>
#include <thread>

#include "checks.h"
#include "record_faults.h"

namespace validator {

namespace {

void randomIdentifiers(Context& context) {
    auto random = context.random("factory.random");
    const int pairs = 1000;
    int wrong = 0;
    for (int i = 0; i < pairs; ++i) {
        unsigned char classId[16], interfaceId[16];
        for (int b = 0; b < 16; ++b) {
            classId[b] = static_cast<unsigned char>(random());
            interfaceId[b] = static_cast<unsigned char>(random());
        }
        // A third keep the true class, a third the true interface.
        if (i % 3 == 1) {
            std::memcpy(classId, kClassId, 16);
        } else if (i % 3 == 2) {
            std::memcpy(interfaceId, kInterfaceId, 16);
        }
        wrong += !refusedCleanly(context.factory, classId, interfaceId);
    }
    context.report("factory.random_identifiers", wrong == 0,
                   wrong == 0 ? std::to_string(pairs) +
                                    " random pairs refused with 0x80040111, output slot untouched"
                              : std::to_string(wrong) + " of " + std::to_string(pairs) +
                                    " random pairs not refused cleanly");
}

void oneBitFlips(Context& context) {
    int wrong = 0;
    for (int bit = 0; bit < 128; ++bit) {
        unsigned char classId[16], interfaceId[16];
        std::memcpy(classId, kClassId, 16);
        std::memcpy(interfaceId, kInterfaceId, 16);
        classId[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        wrong += !refusedCleanly(context.factory, classId, kInterfaceId);
        interfaceId[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        wrong += !refusedCleanly(context.factory, kClassId, interfaceId);
    }
    context.report("factory.one_bit_flips", wrong == 0,
                   wrong == 0
                       ? "256 identifiers one bit off refused, output slot untouched"
                       : std::to_string(wrong) + " of 256 one-bit flips not refused cleanly");
}

void freshObjects(Context& context) {
    std::vector<Instance> instances;
    std::set<void*> seen;
    for (int i = 0; i < 16; ++i) {
        Instance instance = context.create();
        if (instance) {
            seen.insert(instance.plugin.address());
            instances.push_back(instance);
        }
    }
    int released = 0;
    for (Instance& instance : instances) {
        released += context.timedRelease(instance, false, 1000) >= 0;
    }
    const bool ok = seen.size() == 16 && released == 16;
    context.report("factory.fresh_objects", ok,
                   ok ? "16 calls gave 16 distinct objects, each released unloaded"
                      : std::to_string(seen.size()) + " distinct objects of 16, " +
                            std::to_string(released) + " released");
}

// Calls `read` from 4 threads 100 times each and counts answers unlike `first`.
template <typename Record, typename Same>
int disagreements(Instance& instance, const Record& first, int32_t (PluginObject::*read)(Record*),
                  Same same) {
    std::atomic<int> differing{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                Record record;
                std::memset(&record, 0xAB, sizeof record);
                if ((instance.plugin.*read)(&record) != 0 || !same(record, first)) {
                    ++differing;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    return differing;
}

bool sameInfo(const InfoRecord& a, const InfoRecord& b) {
    return a.name == b.name && a.author == b.author && a.description == b.description &&
           a.version == b.version && a.pointerField == b.pointerField && a.intField == b.intField;
}

bool sameInterface(const InterfaceRecord& a, const InterfaceRecord& b) {
    return a.kind == b.kind && a.xml == b.xml && a.image == b.image && a.imageSize == b.imageSize;
}

// A record check's fault: its own, else calls that gave other pointers.
std::string recordFault(const std::string& fault, int differ) {
    if (!fault.empty() || differ == 0) {
        return fault;
    }
    return std::to_string(differ) + " of 800 calls gave other pointers";
}

void records(Context& context) {
    Instance instance = context.create();
    if (!instance) {
        context.report("records.information", false, "the factory gave no object");
        return;
    }
    InfoRecord info;
    std::memset(&info, 0xAB, sizeof info);
    InterfaceRecord skin;
    std::memset(&skin, 0xAB, sizeof skin);
    const int32_t infoResult = instance.plugin.getPluginInfo(&info);
    const int32_t skinResult = instance.plugin.getUserInterface(&skin);
    int infoDiffer = disagreements(instance, info, &PluginObject::getPluginInfo, sameInfo);
    int skinDiffer = disagreements(instance, skin, &PluginObject::getUserInterface, sameInterface);
    instance.plugin.onLoad();
    infoDiffer += disagreements(instance, info, &PluginObject::getPluginInfo, sameInfo);
    skinDiffer += disagreements(instance, skin, &PluginObject::getUserInterface, sameInterface);
    context.timedRelease(instance, false, 2000);

    context.reportFault(
        "records.information",
        recordFault(infoResult == 0 ? informationFault(info) : "no information record", infoDiffer),
        "800 calls from 4 threads, before and after OnLoad: the same pointers and values");
    const std::string skinFault = skinResult == 0 ? interfaceFault(skin) : "no interface record";
    context.reportFault("records.interface", recordFault(skinFault, skinDiffer),
                        skinFault.empty()
                            ? "800 calls, same pointers; PNG of " + std::to_string(skin.imageSize) +
                                  " bytes ends with IEND at that length; XML of " +
                                  std::to_string(std::strlen(skin.xml)) + " bytes, NUL-terminated"
                            : "");
}

void factoryChecks(Context& context) {
    randomIdentifiers(context);
    oneBitFlips(context);
    freshObjects(context);
}

}  // namespace

const CheckGroup kFactoryGroup = {
    CheckGroup::Foreground,
    "factory",
    factoryChecks,
    {{"factory.random_identifiers", 1, 0,
      "random class and interface identifiers are refused, the out slot left alone"},
     {"factory.one_bit_flips", 1, 0, "every one-bit change of either identifier is refused"},
     {"factory.fresh_objects", 1, 0, "each call makes a new object with its own table and fields"},
     hostContract("factory", 1, 0)}};

const CheckGroup kRecordGroup = {
    CheckGroup::Foreground,
    "records",
    records,
    {{"records.information", 1, 0,
      "the information record's six fields, the same from 4 threads before and after OnLoad"},
     {"records.interface", 1, 0,
      "the interface record: skin XML and a whole PNG, the same from every call"},
     hostContract("records", 1, 0)}};

}  // namespace validator
