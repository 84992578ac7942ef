// The registry through the wide functions, names and text in code page 949:
// each method answers as its ANSI form does on a Korean system.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win32/text_949.h"
#include "platform/win32/win32_common.h"
#include "platform/win32/win32_platform.h"

namespace nuben {
using namespace win32;

namespace {

// The logic names the predefined roots by their numeric values; map them
// explicitly rather than trusting that a cast of the number means the root.
HKEY ToKey(KeyHandle key) {
    if (key == kHkeyCurrentUser) return HKEY_CURRENT_USER;
    if (key == kHkeyLocalMachine) return HKEY_LOCAL_MACHINE;
    return reinterpret_cast<HKEY>(key);
}

// Bytes that are no code page 949 text name no key or value.
constexpr LONG kNoSuchName = ERROR_FILE_NOT_FOUND;

bool IsText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace

long Win32Platform::OpenRegistryKey(KeyHandle base, const std::string& path, std::uint32_t access,
                                    KeyHandle* out) {
    *out = 0;
    WideName wide;
    if (!wide.Assign(path)) return kNoSuchName;
    HKEY opened = nullptr;
    const LONG rc = RegOpenKeyExW(ToKey(base), wide.get(), 0, access, &opened);
    if (rc == ERROR_SUCCESS) *out = FromPointer(opened);
    return rc;
}

// RegQueryValueExA reads text whole (every kind of string, NULs and all, an
// odd last byte dropped) and reports its size in code page 949; other types
// come as they are stored. A string whose tail 949 cannot spell comes up to
// its first NUL, which is all of it that is text.
long Win32Platform::QueryRegistryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t* size) {
    if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
    WideName wide;
    if (!wide.Assign(name)) return kNoSuchName;
    // The whole value: its type and size first, then its bytes.
    DWORD valueType = 0;
    DWORD length = 0;
    LONG rc = RegQueryValueExW(ToKey(key), wide.get(), nullptr, &valueType, nullptr, &length);
    if (rc != ERROR_SUCCESS) return rc;
    // The bytes, then room for them as code page 949, never more than in UTF-16.
    std::vector<std::uint8_t> value(2 * static_cast<std::size_t>(length));
    rc = RegQueryValueExW(ToKey(key), wide.get(), nullptr, &valueType, value.data(), &length);
    if (rc != ERROR_SUCCESS) return rc;  // ERROR_MORE_DATA: it grew in between
    const std::uint8_t* bytes = value.data();
    if (IsText(valueType)) {
        // Text that code page 949 cannot spell reads as absent: a best fit
        // ("C:\Cafe" for "C:\Café") would name another folder.
        bytes += length;
        const auto* text = reinterpret_cast<const wchar_t*>(value.data());
        const std::size_t count = length / sizeof(wchar_t);
        char* narrow = reinterpret_cast<char*>(value.data() + length);
        int converted = To949(text, count, narrow, length);
        // A string ends at its first NUL: whatever a writer left after it
        // (its whole buffer) is no part of the text and cannot make it absent.
        if (converted < 0 && valueType != REG_MULTI_SZ) {
            const wchar_t* nul = std::find(text, text + count, L'\0');
            if (nul != text + count) converted = To949(text, nul - text + 1, narrow, length);
        }
        if (converted < 0) return kNoSuchName;
        length = static_cast<DWORD>(converted);
    }
    if (type) *type = valueType;
    if (size == nullptr) return ERROR_SUCCESS;
    const std::uint32_t room = *size;
    *size = length;
    if (data == nullptr) return ERROR_SUCCESS;
    if (length > room) return ERROR_MORE_DATA;
    if (length != 0) std::memcpy(data, bytes, length);
    // As Windows does: text without its NUL gets one where there is room.
    if (IsText(valueType) && length != 0 && length < room && data[length - 1] != 0)
        data[length] = 0;
    return ERROR_SUCCESS;
}

long Win32Platform::QueryRegistryKeyInfo(KeyHandle key, std::uint32_t* subkeys,
                                         std::uint32_t* maxSubkeyLen) {
    // The longest name in UTF-16 characters, as RegQueryInfoKeyA reports it too.
    DWORD count = 0;
    DWORD longest = 0;
    const LONG rc = RegQueryInfoKeyW(ToKey(key), nullptr, nullptr, nullptr, &count, &longest,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (subkeys) *subkeys = count;
    if (maxSubkeyLen) *maxSubkeyLen = longest;
    return rc;
}

long Win32Platform::EnumRegistrySubkey(KeyHandle key, std::uint32_t index, char* name,
                                       std::uint32_t* nameLen) {
    // Key names have at most 255 characters. One that fits *nameLen bytes
    // has fewer characters than that, so asking for no more finds every
    // name the ANSI form could have given.
    wchar_t wide[256];
    DWORD length = *nameLen < 256 ? *nameLen : 256;
    const LONG rc =
        RegEnumKeyExW(ToKey(key), index, wide, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    char narrow[2 * 256];
    const int bytes = To949(wide, length, narrow, sizeof narrow);
    // Never a lookalike: a name code page 949 cannot spell is skipped.
    if (bytes < 0) return ERROR_NO_UNICODE_TRANSLATION;
    // The ANSI form's rule: the name and its NUL must fit.
    if (static_cast<std::uint32_t>(bytes) >= *nameLen) return ERROR_MORE_DATA;
    std::memcpy(name, narrow, static_cast<std::size_t>(bytes));
    name[bytes] = '\0';
    *nameLen = static_cast<std::uint32_t>(bytes);
    return ERROR_SUCCESS;
}

long Win32Platform::DeleteRegistryKey(KeyHandle base, const std::string& path) {
    WideName wide;
    if (!wide.Assign(path)) return kNoSuchName;
    return RegDeleteKeyW(ToKey(base), wide.get());
}

long Win32Platform::CloseRegistryKey(KeyHandle key) {
    return RegCloseKey(ToKey(key));
}

}  // namespace nuben
