// Starting other programs.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/handles.h"

namespace platform {

// CreateProcess with `commandLine` (and `application`, when given, as the
// exact file to run) in the given show state, in `workDir` (empty: ours).
// The process handle, or an empty one when it could not be started.
UniqueKernelHandle startProcess(const std::string& commandLine, int show,
                                const std::string& application = {},
                                const std::string& workDir = {});

// Whether a process runs now whose program file is named one of `names`
// (ASCII case ignored), from a snapshot of the system's processes. False
// when no snapshot can be taken.
bool isProgramRunning(std::initializer_list<std::string_view> names);

}  // namespace platform
