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
// empty when the host did not answer. A cut never leaves half a character.
std::string hostText(IVdjPlugin8& plugin, const std::string& command);
