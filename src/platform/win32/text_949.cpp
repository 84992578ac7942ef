#include "platform/win32/text_949.h"

#include <windows.h>

#include <cstring>

namespace nuben::win32 {
namespace {

constexpr UINT kCodePage = 949;

}  // namespace

int ToWide(const char* text, std::size_t size, wchar_t* out, std::size_t capacity) {
    out[0] = L'\0';
    if (size == 0) return 0;
    // MB_ERR_INVALID_CHARS: without it, bytes that are no character would
    // become "?", a wildcard to FindFirstFile.
    const int chars = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text,
                                          static_cast<int>(size), out, static_cast<int>(capacity));
    if (chars <= 0) {
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) SetLastError(ERROR_FILENAME_EXCED_RANGE);
        out[0] = L'\0';
        return -1;
    }
    out[chars] = L'\0';
    return chars;
}

bool ToWide(const std::string& text, wchar_t* out, std::size_t capacity) {
    return ToWide(text.c_str(), std::strlen(text.c_str()), out, capacity) >= 0;
}

int To949(const wchar_t* text, std::size_t count, char* out, std::size_t room, unsigned codePage) {
    if (count == 0) return 0;
    BOOL lossy = FALSE;
    const int bytes =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(count), out,
                            static_cast<int>(room), nullptr, &lossy);
    return bytes > 0 && !lossy ? bytes : -1;
}

std::string AnsiPath(const wchar_t* path, std::size_t length, std::size_t room) {
    char narrow[kAnsiPathChars];
    const int bytes = To949(path, length, narrow, room < sizeof narrow ? room : sizeof narrow);
    return bytes > 0 ? std::string(narrow, static_cast<std::size_t>(bytes)) : std::string();
}

std::string AnsiFolderOrAbove(const wchar_t* path, std::size_t length, std::size_t room) {
    for (;;) {
        std::string spelled = AnsiPath(path, length, room);
        if (!spelled.empty() || length <= 3) return spelled;
        // Up one element; a drive root keeps its backslash.
        do --length;
        while (length > 3 && path[length] != L'\\');
    }
}

}  // namespace nuben::win32
