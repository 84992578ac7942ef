// Plays the user: watches one bootstrapper process (or several copies),
// records every message box it shows, byte for byte, and answers each from
// a script.
//
//   e2e_boxbot --log FILE (--run EXE [--copies N] | --process NAME)
//              [--answers yes,no,ok,...] [--timeout S] [--shots DIR]
//
// --run starts the bootstrapper itself (no race with a short run); with
// --copies, N copies back to back, as a double click twice would, and the
// boxes of all are numbered in the order they appear. --process waits for
// one started elsewhere. Boxes beyond the script are answered No when they
// have a No button, else OK: never consent unasked.
// With --shots, before answering box N it writes DIR\box-N.ready (holding
// "rect=left,top,right,bottom" of the box on the screen) and waits (at
// most 30 s) for DIR\box-N.go, so a script can photograph the screen.
//
// Log lines (texts as hex bytes):
//   watching t=T                       (--process: looking for it from now on)
//   started pid=P t=T                  (one line a copy)
//   box n=N t=T caption=<hex> text=<hex> buttons=6,7 icon=question topmost=1 owner=0
//       icondist=...                   (T: when the box was found)
//   answer n=N id=ID closed=1
//   window class=<hex> title=<hex>     (a visible window that is no message box)
//   exit code=C t=T (one line a copy) | timeout | noprocess
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "e2e_common.h"
#include "icon_match.h"

namespace {

const int kMessageTextId = 0xFFFF;  // the text control of a message box
const DWORD kPollMs = 30;
const DWORD kPaintSettleMs = 400;  // let the box paint before its pixels are read
const DWORD kIconWaitMs = 5000;
const DWORD kShotWaitMs = 30000;
const DWORD kCloseWaitMs = 10000;

struct Options {
    std::string log;
    std::string run;
    std::string process;
    std::vector<std::string> answers;
    unsigned copies = 1;
    DWORD timeoutMs = 60000;
    std::string shots;
};

std::string ClassOf(HWND hwnd) {
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string TextOf(HWND hwnd) {
    char text[4096] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

struct TopLevelScan {
    const std::vector<DWORD>& pids;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
    auto* scan = reinterpret_cast<TopLevelScan*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (std::find(scan->pids.begin(), scan->pids.end(), owner) != scan->pids.end() &&
        IsWindowVisible(hwnd))
        scan->windows.push_back(hwnd);
    return TRUE;
}

struct BoxParts {
    std::vector<int> buttons;
    HWND icon = nullptr;
};

BOOL CALLBACK CollectParts(HWND child, LPARAM param) {
    auto* parts = reinterpret_cast<BoxParts*>(param);
    if (!IsWindowVisible(child)) return TRUE;
    const std::string cls = ClassOf(child);
    if (lstrcmpiA(cls.c_str(), "Button") == 0) {
        parts->buttons.push_back(GetDlgCtrlID(child));
    } else if (lstrcmpiA(cls.c_str(), "Static") == 0 &&
               (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        parts->icon = child;
    }
    return TRUE;
}

int AnswerId(const std::string& word, const std::vector<int>& buttons) {
    if (word == "yes") return IDYES;
    if (word == "no") return IDNO;
    if (word == "ok") return IDOK;
    if (word == "cancel") return IDCANCEL;
    return std::find(buttons.begin(), buttons.end(), IDNO) != buttons.end() ? IDNO : IDOK;
}

void WaitForFile(const std::string& path, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!e2e::FileExists(path) && GetTickCount() - start < ms) Sleep(kPollMs);
}

// Records one box, lets the screen be photographed, answers it.
void HandleBox(const Options& opt, HWND box, int n) {
    const std::string found = e2e::NowField();
    e2e::PumpFor(kPaintSettleMs);
    BoxParts parts;
    EnumChildWindows(box, CollectParts, reinterpret_cast<LPARAM>(&parts));
    std::sort(parts.buttons.begin(), parts.buttons.end());

    char text[4096] = {};
    GetDlgItemTextA(box, kMessageTextId, text, sizeof text);

    std::string icon = "none";
    std::string distances;
    if (parts.icon && SendMessageA(parts.icon, STM_GETICON, 0, 0) != 0) {
        // A busy machine may paint the box late: look again for a while.
        const DWORD start = GetTickCount();
        do {
            RECT area;
            GetWindowRect(parts.icon, &area);
            e2e::IconMatch match = e2e::MatchSystemIcon(area);
            icon = match.name;
            distances = match.distances;
            if (icon != "unclear") break;
            e2e::PumpFor(kPaintSettleMs);
        } while (GetTickCount() - start < kIconWaitMs);
    }
    std::string buttons;
    for (int id : parts.buttons) buttons += (buttons.empty() ? "" : ",") + std::to_string(id);
    const bool topmost = (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    const bool owned = GetWindow(box, GW_OWNER) != nullptr;

    e2e::AppendLine(opt.log, "box n=" + std::to_string(n) + " " + found +
                                 " caption=" + e2e::Hex(TextOf(box)) + " text=" + e2e::Hex(text) +
                                 " buttons=" + buttons + " icon=" + icon +
                                 " topmost=" + (topmost ? "1" : "0") +
                                 " owner=" + (owned ? "1" : "0") + " icondist=" + distances);

    if (!opt.shots.empty()) {
        const std::string base = opt.shots + "\\box-" + std::to_string(n);
        RECT frame;
        GetWindowRect(box, &frame);
        e2e::AppendLine(base + ".ready",
                        "rect=" + std::to_string(frame.left) + "," + std::to_string(frame.top) +
                            "," + std::to_string(frame.right) + "," + std::to_string(frame.bottom));
        WaitForFile(base + ".go", kShotWaitMs);
        e2e::AppendLine(opt.log, "shot n=" + std::to_string(n));
    }

    const std::string word =
        static_cast<size_t>(n - 1) < opt.answers.size() ? opt.answers[n - 1] : "";
    const int id = AnswerId(word, parts.buttons);
    PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(id), 0);
    const DWORD start = GetTickCount();
    while (IsWindow(box) && GetTickCount() - start < kCloseWaitMs) Sleep(kPollMs);
    e2e::AppendLine(opt.log, "answer n=" + std::to_string(n) + " id=" + std::to_string(id) +
                                 " closed=" + (IsWindow(box) ? "0" : "1"));
}

bool ParseOptions(int argc, char** argv, Options* opt) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--log")
            opt->log = value;
        else if (key == "--run")
            opt->run = value;
        else if (key == "--process")
            opt->process = value;
        else if (key == "--copies")
            opt->copies = std::strtoul(value.c_str(), nullptr, 10);
        else if (key == "--answers")
            opt->answers = e2e::Split(value, ',');
        else if (key == "--timeout")
            opt->timeoutMs = std::strtoul(value.c_str(), nullptr, 10) * 1000;
        else if (key == "--shots")
            opt->shots = value;
        else
            return false;
    }
    return !opt->log.empty() && (opt->run.empty() != opt->process.empty()) && opt->copies >= 1 &&
           (opt->copies == 1 || !opt->run.empty());
}

std::string ExitTimeField(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return e2e::NowField();
    const unsigned long long t =
        (static_cast<unsigned long long>(exited.dwHighDateTime) << 32) | exited.dwLowDateTime;
    return t ? "t=" + std::to_string(t) : e2e::NowField();
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!ParseOptions(argc, argv, &opt)) return 2;
    const DWORD start = GetTickCount();
    auto timeLeft = [&] { return GetTickCount() - start < opt.timeoutMs; };

    std::vector<HANDLE> processes;
    std::vector<DWORD> pids;
    if (!opt.run.empty()) {
        for (unsigned copy = 0; copy < opt.copies; ++copy) {
            STARTUPINFOA si = {};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi = {};
            std::string commandLine = "\"" + opt.run + "\"";
            if (!CreateProcessA(opt.run.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, &si, &pi)) {
                e2e::AppendLine(opt.log, "noprocess error=" + std::to_string(GetLastError()));
                for (HANDLE started : processes) CloseHandle(started);
                return 3;
            }
            CloseHandle(pi.hThread);
            processes.push_back(pi.hProcess);
            pids.push_back(pi.dwProcessId);
        }
    } else {
        // Tells the driver it may start the program now.
        e2e::AppendLine(opt.log, "watching " + e2e::NowField());
        DWORD pid = 0;
        while (timeLeft() && (pid = e2e::FindProcessId(opt.process)) == 0) Sleep(kPollMs);
        HANDLE process =
            pid ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE,
                              pid)
                : nullptr;
        if (!process) {
            e2e::AppendLine(opt.log, "noprocess");
            return 3;
        }
        processes.push_back(process);
        pids.push_back(pid);
    }
    for (DWORD pid : pids)
        e2e::AppendLine(opt.log, "started pid=" + std::to_string(pid) + " " + e2e::NowField());

    std::set<HWND> seen;
    int boxes = 0;
    const DWORD count = static_cast<DWORD>(processes.size());
    while (WaitForMultipleObjects(count, processes.data(), TRUE, kPollMs) == WAIT_TIMEOUT) {
        if (!timeLeft()) {
            e2e::AppendLine(opt.log, "timeout");
            for (HANDLE process : processes) {
                TerminateProcess(process, 99);
                CloseHandle(process);
            }
            return 4;
        }
        TopLevelScan scan{pids, {}};
        EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&scan));
        for (HWND hwnd : scan.windows) {
            if (seen.count(hwnd)) continue;
            seen.insert(hwnd);
            if (ClassOf(hwnd) == "#32770") {
                HandleBox(opt, hwnd, ++boxes);
            } else {
                e2e::AppendLine(opt.log, "window class=" + e2e::Hex(ClassOf(hwnd)) +
                                             " title=" + e2e::Hex(TextOf(hwnd)));
            }
        }
        // A window handle may be reused by the next box: forget closed ones.
        for (auto it = seen.begin(); it != seen.end();)
            it = IsWindow(*it) ? std::next(it) : seen.erase(it);
    }
    for (HANDLE process : processes) {
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        e2e::AppendLine(opt.log,
                        "exit code=" + std::to_string(code) + " " + ExitTimeField(process));
        CloseHandle(process);
    }
    return 0;
}
