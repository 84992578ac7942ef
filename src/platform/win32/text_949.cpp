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

int PathTo949(const wchar_t* text, std::size_t count, char* out, std::size_t room) {
    const int whole = To949(text, count, out, room);
    if (whole >= 0) return whole;
    std::size_t used = 0;
    for (std::size_t i = 0; i < count; ++i) {
        char spelled[5];
        int bytes = To949(&text[i], 1, spelled, 2);
        if (bytes < 0) {
            static const char kHex[] = "0123456789ABCDEF";
            const unsigned unit = static_cast<unsigned>(text[i]) & 0xFFFFu;
            spelled[0] = '?';
            for (int digit = 0; digit < 4; ++digit)
                spelled[1 + digit] = kHex[(unit >> (12 - 4 * digit)) & 0xFu];
            bytes = 5;
        }
        if (used + static_cast<std::size_t>(bytes) > room) return -1;
        std::memcpy(out + used, spelled, static_cast<std::size_t>(bytes));
        used += static_cast<std::size_t>(bytes);
    }
    return static_cast<int>(used);
}

namespace {

// The unit that "?" and four upper-case hex digits at `text` write, if code
// page 949 cannot spell it: only PathTo949's own form is read back, so no
// other spelling of a name ("Caf?0065" for "Cafe") reaches the system.
bool EscapedUnit(const char* text, wchar_t* unit) {
    unsigned value = 0;
    for (int i = 1; i <= 4; ++i) {
        const char c = text[i];
        const bool digit = c >= '0' && c <= '9';
        if (!digit && !(c >= 'A' && c <= 'F')) return false;
        value = value * 16 + static_cast<unsigned>(digit ? c - '0' : c - 'A' + 10);
    }
    *unit = static_cast<wchar_t>(value);
    char spelled[2];
    return To949(unit, 1, spelled, sizeof spelled) < 0;
}

}  // namespace

int PathToWide(const char* text, std::size_t size, wchar_t* out, std::size_t capacity) {
    // "?" is never the second byte of a 949 character: every one is an escape or itself.
    std::size_t written = 0;
    std::size_t from = 0;
    for (std::size_t i = 0; i + 5 <= size; ++i) {
        wchar_t unit;
        if (text[i] != '?' || !EscapedUnit(text + i, &unit)) continue;
        const int run = ToWide(text + from, i - from, out + written, capacity - written);
        written += run < 0 ? capacity : static_cast<std::size_t>(run);
        if (written >= capacity) {
            if (run >= 0) SetLastError(ERROR_FILENAME_EXCED_RANGE);
            out[0] = L'\0';
            return -1;
        }
        out[written++] = unit;
        i += 4;
        from = i + 1;
    }
    const int run = ToWide(text + from, size - from, out + written, capacity - written);
    if (run < 0) {
        out[0] = L'\0';
        return -1;
    }
    return static_cast<int>(written) + run;
}

std::string AnsiPath(const wchar_t* path, std::size_t length, std::size_t room) {
    char narrow[kAnsiPathChars];
    const int bytes = PathTo949(path, length, narrow, room < sizeof narrow ? room : sizeof narrow);
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
