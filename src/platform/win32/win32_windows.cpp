// Top-level windows and message boxes (user32, loaded late); class names,
// titles and box texts in code page 949.
#include <cstring>

#include "platform/win32/text_949.h"
#include "platform/win32/win32_common.h"
#include "platform/win32/win32_platform.h"

namespace nuben {
using namespace win32;

namespace {

LateImport g_GetDesktopWindow(L"user32.dll", "GetDesktopWindow");
LateImport g_GetWindow(L"user32.dll", "GetWindow");
LateImport g_IsWindow(L"user32.dll", "IsWindow");
LateImport g_GetClassNameW(L"user32.dll", "GetClassNameW");
LateImport g_GetWindowTextW(L"user32.dll", "GetWindowTextW");
LateImport g_PostMessageW(L"user32.dll", "PostMessageW");
LateImport g_MessageBoxW(L"user32.dll", "MessageBoxW");

using FetchFn = int(WINAPI*)(HWND, LPWSTR, int);

// GetClassNameA and GetWindowTextA: at most size - 1 characters fetched,
// then the text in code page 949 (or `codePage`) cut to size - 1 bytes,
// never inside a double-byte character, with its NUL. 0 for a window that
// is gone, and for a text that the code page cannot spell: a best fit could
// match the product's class and title where the window's own do not.
int FetchAnsi(FetchFn fetch, HWND window, char* buffer, int size, UINT codePage = 949) {
    if (size <= 0) return 0;
    buffer[0] = '\0';
    // The logic fetches into MAX_PATH bytes; no more characters than that can
    // fill them.
    wchar_t wide[MAX_PATH + 1];
    const int length = fetch ? fetch(window, wide, size < MAX_PATH + 1 ? size : MAX_PATH + 1) : 0;
    char text[2 * (MAX_PATH + 1)];
    const int bytes =
        length > 0 ? To949(wide, static_cast<std::size_t>(length), text, sizeof text, codePage)
                   : -1;
    if (bytes <= 0) return 0;
    int cut = 0;
    for (int step = 1; cut < bytes; cut += step) {
        step = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[cut])) ? 2 : 1;
        if (cut + step > size - 1) break;
    }
    std::memcpy(buffer, text, static_cast<std::size_t>(cut));
    buffer[cut] = '\0';
    return cut;
}

}  // namespace

WindowHandle Win32Platform::DesktopWindow() {
    auto getDesktopWindow = g_GetDesktopWindow.Get<decltype(&GetDesktopWindow)>();
    return getDesktopWindow ? FromPointer(getDesktopWindow()) : 0;
}

WindowHandle Win32Platform::RelatedWindow(WindowHandle window, std::uint32_t command) {
    auto getWindow = g_GetWindow.Get<decltype(&GetWindow)>();
    return getWindow ? FromPointer(getWindow(ToWindow(window), command)) : 0;
}

bool Win32Platform::IsLiveWindow(WindowHandle window) {
    auto isWindow = g_IsWindow.Get<decltype(&IsWindow)>();
    return isWindow && isWindow(ToWindow(window)) != FALSE;
}

int Win32Platform::ClassNameOf(WindowHandle window, char* buffer, int size) {
    return FetchAnsi(g_GetClassNameW.Get<FetchFn>(), ToWindow(window), buffer, size);
}

int Win32Platform::WindowTextOf(WindowHandle window, char* buffer, int size) {
    return FetchAnsi(g_GetWindowTextW.Get<FetchFn>(), ToWindow(window), buffer, size);
}

int Win32Platform::SystemWindowTextOf(WindowHandle window, char* buffer, int size) {
    return FetchAnsi(g_GetWindowTextW.Get<FetchFn>(), ToWindow(window), buffer, size, CP_ACP);
}

bool Win32Platform::PostMessageTo(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    auto postMessage = g_PostMessageW.Get<decltype(&PostMessageW)>();
    return postMessage && postMessage(ToWindow(window), message, wParam, lParam) != FALSE;
}

// A text that is no code page 949 shows no box: 0, as a box that fails,
// which is no consent.
int Win32Platform::ShowMessageBox(WindowHandle owner, const std::string& text,
                                  const std::string& caption, std::uint32_t style) {
    auto messageBox = g_MessageBoxW.Get<decltype(&MessageBoxW)>();
    WideName wideText;
    WideName wideCaption;
    if (!messageBox || !wideText.Assign(text) || !wideCaption.Assign(caption)) return 0;
    return messageBox(ToWindow(owner), wideText.get(), wideCaption.get(), style);
}

}  // namespace nuben
