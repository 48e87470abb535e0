// Starting other programs.
#pragma once

#include <windows.h>

#include <string>

#include "platform/handles.h"

namespace platform {

// CreateProcess with `commandLine` (and `application`, when given, as the
// exact file to run) in the given show state, in `workDir` (empty: ours).
// The process handle, or an empty one when it could not be started.
UniqueKernelHandle startProcess(const std::string& commandLine, int show,
                                const std::string& application = {},
                                const std::string& workDir = {});

}  // namespace platform
