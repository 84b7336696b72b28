// Keeps the plug-in library loaded for the rest of the host process once it
// has made an object. The Windows build carries its own copy of the thread
// library, which takes per-process slots (a thread-local storage index, and
// records of the host's threads) when the library loads and never gives them
// back when it is freed: a host that loads and frees the library often would
// run out of them, and the thread library then aborts the host. Kept loaded,
// the library is set up once, and no code of ours can be unmapped under a
// thread that still runs it.
//
// Thread: any; called from the class factory. No state of ours.
#pragma once

// Pins the library that holds this function; later frees leave it loaded.
// Off Windows the C++ runtime and thread library are the system's shared
// ones, which freeing the plug-in leaves whole, so there it does nothing.
void pinLibrary();
