// What a host judges of the factory, the two records the plug-in fills and
// its parameter texts, shared by the ABI tests and the validator: each
// judgement is empty when all is as the contract says, else what is wrong.
// Any thread.
#pragma once

#include <string>

#include "plugin_object.h"

namespace harness {

// Whether the factory refuses the pair with "class not available" and
// leaves whatever was in the output slot untouched.
bool refusedCleanly(Factory factory, const void* classId, const void* interfaceId);

// The information record: the four texts, a null pointer field, a zero int field.
std::string informationFault(const InfoRecord& info);

// The interface record: kind 1, XML that begins with "<Skin ", and a whole
// PNG: its signature, an 8-bit RGB, non-interlaced 400 x 780 header, and
// chunks that end with IEND exactly at the length the record gives.
std::string interfaceFault(const InterfaceRecord& skin);

// One OnGetParameterString call into a buffer of `size` bytes with guard
// bytes on both sides: the text it gave, and what is wrong: a byte written
// outside the size; for an id not declared (1 to 3) or a size below 1,
// anything written or a result other than "not implemented"; else a result
// other than 0, or bytes after the text that are not NUL.
struct ParameterText {
    std::string shown;
    std::string fault;
};
ParameterText guardedParameterString(PluginObject& plugin, int32_t id, int32_t size);

}  // namespace harness
