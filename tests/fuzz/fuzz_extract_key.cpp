// Fuzz target: any bytes give either no key or a 38-byte well-formed key
// that stands in the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "account/key_form.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string key = extractKey(text);
    if (!key.empty() && (key.size() != kKeyLength || text.find(key) == std::string::npos ||
                         key.compare(0, 6, kKeyPrefix) != 0)) {
        std::abort();
    }
    return 0;
}
