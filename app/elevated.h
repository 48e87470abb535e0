// The one step of Kelvora that runs as administrator, in an instance of its
// own that the window starts with "runas" (or a deployment script starts
// elevated). See elevated.cpp for everything it trusts.
#pragma once

#include "app/command_line.h"

namespace app {

// Runs `verb` (SetEnglish, SetChinese or Update; anything else is refused
// at once) and returns the process exit code. UI thread of its own process.
int runElevatedStep(Verb verb);

// Said by the elevated update, which then ends with kUpdateFailed having
// written nothing, when its own exe or folder is reached through a link,
// junction or mount point (or cannot be opened to tell)...
inline constexpr char kRunFolderLinkedText[] =
    "无法确认程序所在的文件夹不经过链接、连接点或挂载点，不能以管理员身份更新。";
// ...or when its folder's name has no exact form in the ANSI code page.
inline constexpr char kRunFolderNameText[] =
    "程序所在文件夹的名称含有本机代码页无法表示的字符，不能以管理员身份更新。";

}  // namespace app
