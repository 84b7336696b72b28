// Fuzz target: any bytes as a JSON text and a member name must give a text,
// no longer than the input, with no read outside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "service/json_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte chooses how much of the input is the member name.
    const size_t nameLength = size == 0 ? 0 : data[0] % 8;
    const size_t rest = size == 0 ? 0 : size - 1;
    const std::string name(reinterpret_cast<const char*>(data) + (size ? 1 : 0),
                           nameLength < rest ? nameLength : rest);
    const std::string json(reinterpret_cast<const char*>(data) + (size ? 1 : 0) + name.size(),
                           rest - name.size());
    const std::string value = jsonStringField(json, name);
    jsonStringField(json, "name");
    jsonStringField(json, "key");
    // Every escape is at least as long as the bytes it stands for.
    if (value.size() > json.size()) {
        std::abort();
    }
    return 0;
}
