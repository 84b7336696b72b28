// What a host judges of the factory and the two records the plug-in fills,
// shared by the ABI tests and the validator: each judgement is empty when
// all is as the contract says, else what is wrong. Pure functions of their
// arguments; any thread.
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

}  // namespace harness
