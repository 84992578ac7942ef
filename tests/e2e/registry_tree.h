// Deleting a registry key with everything under it, for the test programs
// that set up and clear real registries: the end-to-end helpers and the
// Win32 contract environment (RegDeleteTree is not on every Windows the
// program targets).
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// Deletes `path` below `root` and its subtree, children first, in `view`
// (KEY_WOW64_32KEY, KEY_WOW64_64KEY, or 0 for the process's own). Stops at
// a child that cannot be deleted. True when `path` itself was deleted.
bool DeleteKeyTree(HKEY root, const std::string& path, REGSAM view);

}  // namespace e2e
