// The system facts the logic's text rules stand on. The logic's texts are
// code page 949 whatever the system's ANSI code page, so the facts about
// text are those of a Korean system.
#include "platform/win32/text_949.h"
#include "platform/win32/win32_common.h"
#include "platform/win32/win32_platform.h"

namespace nuben {
using namespace win32;

namespace {

constexpr UINT kCodePage = 949;

}  // namespace

bool Win32Platform::IsWindowsNt() {
    if (windowsNt_ < 0) {
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        windowsNt_ = GetVersionExW(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
    }
    return windowsNt_ == 1;
}

// What GetSystemMetrics(SM_DBCSENABLED) answers on a Korean system: code
// page 949 is double-byte, whatever the system's own code page is.
bool Win32Platform::IsDbcsEnabled() {
    return true;
}

bool Win32Platform::IsLeadByte(std::uint8_t byte) {
    return IsDBCSLeadByteEx(kCodePage, byte) != FALSE;
}

// LCMapStringA(LOCALE_SYSTEM_DEFAULT) converts with the system's code page;
// here 949 in and out, in the form paths take.
std::string Win32Platform::UpperCaseText(const std::string& text) {
    // Upper case keeps the length, and LCMapStringW may map in place. The
    // logic folds paths, in their own form; longer text has no answer.
    wchar_t wide[kNameChars + 1];
    char upper[5 * kNameChars];
    const int length = PathToWide(text.data(), text.size(), wide, kNameChars);
    const int bytes = length > 0 && LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, wide,
                                                 length, wide, length) == length
                          ? PathTo949(wide, static_cast<std::size_t>(length), upper, sizeof upper)
                          : -1;
    return bytes > 0 ? std::string(upper, static_cast<std::size_t>(bytes)) : std::string();
}

}  // namespace nuben
