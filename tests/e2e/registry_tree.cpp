#include "registry_tree.h"

namespace e2e {
namespace {

// Code page 949 names as UTF-16, whatever the code page this runs under.
std::wstring Wide(const std::string& bytes) {
    std::wstring wide(bytes.size(), L'\0');
    const int chars = MultiByteToWideChar(949, 0, bytes.data(), static_cast<int>(bytes.size()),
                                          &wide[0], static_cast<int>(wide.size()));
    wide.resize(chars > 0 ? static_cast<std::size_t>(chars) : 0);
    return wide;
}

bool DeleteWideKeyTree(HKEY root, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
        wchar_t name[256];  // names are up to 255 characters
        for (;;) {
            DWORD length = sizeof name / sizeof name[0];
            if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            // A child left in place would come back at index 0 forever.
            if (!DeleteWideKeyTree(root, path + L"\\" + std::wstring(name, length), view)) break;
        }
        RegCloseKey(key);
    }
    return RegDeleteKeyExW(root, path.c_str(), view, 0) == ERROR_SUCCESS;
}

}  // namespace

bool DeleteKeyTree(HKEY root, const std::string& path, REGSAM view) {
    return DeleteWideKeyTree(root, Wide(path), view);
}

}  // namespace e2e
