// The engine's two host queries, reaching the host's callback object through
// the plug-in's base each time they are called.
//
// Thread: the worker, with no lock held.
#pragma once

#include <string>

#include "plugin/host_interface.h"

// GetInfo; true exactly when the host's result code is 0.
bool hostNumber(IVdjPlugin8& plugin, const std::string& command, double& result);

// GetStringInfo into 512 bytes: the answer up to its NUL, at most 511 bytes;
// empty when the host did not answer. The answer enters the engine as valid
// UTF-8, since it goes into every document sent: a cut never leaves half a
// character, and each ill-formed sequence becomes U+FFFD.
std::string hostText(IVdjPlugin8& plugin, const std::string& command);
