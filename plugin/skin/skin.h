// The panel skin handed to the host: the XML layout (NUL-terminated) and the
// PNG with its exact length. Constant data of the library; any thread.
#pragma once

#include <cstddef>

extern const unsigned char kSkinXml[];  // NUL-terminated
extern const size_t kSkinXmlSize;       // without the NUL
extern const unsigned char kSkinPng[];
extern const size_t kSkinPngSize;
