// Plays the product's running programs: owns top-level windows with given
// class names and titles and records which of them are told to quit.
//
//   e2e_windows --log FILE [--timeout S] [--stop FILE] CLASS|TITLE[|hidden] ...
//
// TITLE may be "x:<hex>" for exact code page 949 bytes. Log lines:
//   window idx=I class=<hex> title=<hex> hidden=0|1
//   ready n=N
//   quit seq=K idx=I t=T        (I = -1 for a WM_QUIT without a known window)
//   close idx=I t=T             (a close request, which the product never gets)
//   end
// A WM_QUIT posted to a window lands in the thread's queue with the window
// in msg.hwnd; GetMessage would stop on it, so the queue is read with
// PeekMessage and pumping goes on after each one.
#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "e2e_common.h"

namespace {

std::string g_log;
std::map<HWND, int> g_index;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        auto it = g_index.find(hwnd);
        e2e::AppendLine(g_log,
                        "close idx=" + std::to_string(it == g_index.end() ? -1 : it->second) + " " +
                            e2e::NowField());
        return 0;  // stay: only the messages the product really sends are under test
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

bool RegisterOnce(const std::string& className) {
    WNDCLASSA existing;
    if (GetClassInfoA(GetModuleHandleA(nullptr), className.c_str(), &existing)) return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className.c_str();
    return RegisterClassA(&wc) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    DWORD timeoutMs = 60000;
    std::string stopFile;
    std::vector<std::string> windows;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--log" && i + 1 < argc) {
            g_log = argv[++i];
        } else if (arg == "--timeout" && i + 1 < argc) {
            timeoutMs = std::strtoul(argv[++i], nullptr, 10) * 1000;
        } else if (arg == "--stop" && i + 1 < argc) {
            stopFile = argv[++i];
        } else {
            windows.push_back(arg);
        }
    }
    if (g_log.empty() || windows.empty()) return 2;

    int index = 0;
    for (const std::string& window : windows) {
        std::vector<std::string> parts = e2e::Split(window, '|');
        const std::string className = parts[0];
        const std::string title = parts.size() > 1 ? e2e::DecodeArg(parts[1]) : "";
        const bool hidden = parts.size() > 2 && parts[2] == "hidden";
        if (!RegisterOnce(className)) return 3;
        // Small windows along the top edge, clear of the centred message boxes.
        HWND hwnd = CreateWindowExA(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW,
                                    10 + 170 * (index % 5), 10 + 90 * (index / 5), 160, 80, nullptr,
                                    nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!hwnd) return 4;
        if (!hidden) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        g_index[hwnd] = index;
        e2e::AppendLine(g_log, "window idx=" + std::to_string(index) +
                                   " class=" + e2e::Hex(className) + " title=" + e2e::Hex(title) +
                                   " hidden=" + (hidden ? "1" : "0"));
        ++index;
    }
    e2e::PumpPending();
    e2e::AppendLine(g_log, "ready n=" + std::to_string(index));

    int seq = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (!stopFile.empty() && e2e::FileExists(stopFile)) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                auto it = g_index.find(msg.hwnd);
                e2e::AppendLine(g_log, "quit seq=" + std::to_string(++seq) + " idx=" +
                                           std::to_string(it == g_index.end() ? -1 : it->second) +
                                           " " + e2e::NowField());
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    e2e::AppendLine(g_log, "end");
    return 0;
}
