#include "registry_tree.h"

namespace e2e {

bool DeleteKeyTree(HKEY root, const std::string& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
        // Names are up to 255 characters, two bytes each in a double-byte code page.
        char name[1024];
        for (;;) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            // A child left in place would come back at index 0 forever.
            if (!DeleteKeyTree(root, path + "\\" + std::string(name, length), view)) break;
        }
        RegCloseKey(key);
    }
    return RegDeleteKeyExA(root, path.c_str(), view, 0) == ERROR_SUCCESS;
}

}  // namespace e2e
