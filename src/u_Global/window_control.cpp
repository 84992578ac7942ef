#include <array>
#include <cstring>

#include "u_Global/u_Global.h"

namespace nuben {
namespace {

constexpr int kTextBufferSize = kMaxPath;  // at most 259 bytes are compared

// A walk by GW_HWNDNEXT revisits windows when the z-order changes under it
// (windows activated while we walk) and can go round for ever. A session
// holds at most 65,536 window handles, so a walk that takes more steps has
// seen every window at least once.
constexpr int kMaxWalkSteps = 65536;

// One fetch into a cleared buffer; a window that vanished after the
// IsWindow test yields "", never what an earlier window left behind.
template <typename Fetch>
std::string FetchText(Fetch fetch) {
    std::array<char, kTextBufferSize> buffer{};
    const int copied = fetch(buffer.data(), kTextBufferSize);
    if (copied <= 0) return std::string();
    const void* nul = std::memchr(buffer.data(), 0, kTextBufferSize - 1);
    const std::size_t length =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer.data())
            : kTextBufferSize - 1;
    return std::string(buffer.data(), length);
}

}  // namespace

bool CloseAppWindows(Platform& os, const std::string& className, const std::string& title) {
    if (className.empty()) return false;
    const std::string wantedClass = AsciiUpper(className);
    const std::string wantedTitle = AsciiUpper(title);

    WindowHandle window =
        os.RelatedWindow(os.RelatedWindow(os.DesktopWindow(), kGwChild), kGwHwndFirst);
    for (int step = 0; step < kMaxWalkSteps && os.IsLiveWindow(window); ++step) {
        const std::string windowClass =
            FetchText([&](char* buffer, int size) { return os.ClassNameOf(window, buffer, size); });
        bool matches = AsciiUpper(windowClass) == wantedClass;
        if (!title.empty()) {
            const std::string windowText = FetchText(
                [&](char* buffer, int size) { return os.WindowTextOf(window, buffer, size); });
            // An ANSI program sets its title from the product's 949 bytes, which a
            // system of another code page holds as its own characters: read as
            // that program reads them, they are the product's bytes again.
            matches = matches && (AsciiUpper(windowText) == wantedTitle ||
                                  AsciiUpper(FetchText([&](char* buffer, int size) {
                                      return os.SystemWindowTextOf(window, buffer, size);
                                  })) == wantedTitle);
        }
        // WM_QUIT, not a close request: the product's windows quit on it
        // without asking the user anything.
        if (matches) os.PostMessageTo(window, kWmQuit, 0, 0);
        window = os.RelatedWindow(window, kGwHwndNext);
    }
    return true;
}

}  // namespace nuben
