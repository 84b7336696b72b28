// Reads the key saved in the user's settings file, now-playing.json in the
// Orvalink folder of the application-data folder. Read only: never creates,
// writes or keeps anything open.
//
// Thread: the worker, with no lock held.
#pragma once

#include <string>

// The file's "key" member, or empty text when there is no usable file.
std::string loadSavedKey();
