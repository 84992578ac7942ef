#include "platform/win32/text_949.h"

#include <windows.h>

#include <cstring>

namespace nuben::win32 {
namespace {

constexpr UINT kCodePage = 949;

}  // namespace

bool WideText::Assign(const char* text, std::size_t maxChars) {
    heap_.reset();
    local_[0] = L'\0';
    const int bytes = static_cast<int>(std::strlen(text));
    if (bytes == 0) return true;
    // MB_ERR_INVALID_CHARS: a lone lead byte or an unassigned pair names
    // nothing; without it, it would become "?", a wildcard to FindFirstFile.
    const int chars = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text, bytes, nullptr, 0);
    if (chars <= 0) return false;
    if (maxChars != 0 && static_cast<std::size_t>(chars) > maxChars) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (static_cast<std::size_t>(chars) > kAnsiPathChars) heap_.reset(new wchar_t[chars + 1]);
    wchar_t* out = data();
    if (MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text, bytes, out, chars) != chars)
        return false;
    out[chars] = L'\0';
    return true;
}

bool To949(const wchar_t* text, std::size_t count, std::string* out) {
    out->clear();
    if (count == 0) return true;
    const int chars = static_cast<int>(count);
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, chars, nullptr, 0,
                                          nullptr, &lossy);
    if (bytes <= 0 || lossy) return false;
    out->resize(static_cast<std::size_t>(bytes));
    if (WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, chars, &(*out)[0], bytes,
                            nullptr, &lossy) != bytes ||
        lossy) {
        out->clear();
        return false;
    }
    return true;
}

bool To949(const wchar_t* text, std::string* out) {
    return To949(text, std::wcslen(text), out);
}

bool To949Within(const wchar_t* text, std::size_t bufferBytes, std::string* out) {
    if (To949(text, out) && out->size() < bufferBytes) return true;
    out->clear();
    return false;
}

}  // namespace nuben::win32
