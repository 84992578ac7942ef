// Sets up and inspects the machine exactly as the 32-bit bootstrapper sees
// it (the 32-bit registry view, the ANSI code page of the run).
//
//   e2e_fixture SCRIPT      one command a line, fields separated by '|'
//
// The script is in the ANSI code page; output goes to stdout in it too.
//   regkey|ROOT\key                      create (with parents)
//   regset|ROOT\key|name|TYPE|DATA       name "@" is the default value; TYPE is
//                                        REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY,
//                                        REG_DWORD, REG_LINK, REG_MULTI_SZ, REG_QWORD
//                                        or a number; DATA is text:<bytes> (NUL added
//                                        for string types) or hex:<digits> (exactly
//                                        these bytes, no NUL added even to a string)
//   regsetw|ROOT\key|name|TYPE|hex:<digits>  stores exactly these bytes as the registry
//                                        keeps them (UTF-16 for strings), unconverted
//   regget|ROOT\key|name                 print "type=T size=N data=<hex>" as a 32-bit
//                                        program reads it (RegQueryValueExA), or "MISSING"
//   regdel|ROOT\key                      delete with everything below (quiet if missing)
//   regtree|ROOT\key                     print "K <rel>" and "V <rel>|<name>|<type>|<hex>",
//                                        or "MISSING"
//   mkdir|path[|ATTRS]                   create with parents, then set attributes
//   mkfile|path|ATTRS|text               create (parents too), then set attributes
//                                        (letters R H S A; "-" for none)
//   rmtree|path                          test clean-up, only below C:\e2e or the temp folder
//   hold|path|ms|readyfile[|new]         open without any sharing, write readyfile,
//                                        keep it open until ms pass or readyfile.stop exists;
//                                        "new", as a virus scanner: readyfile first, then open
//                                        the file the moment it is there and its writer closed it
//   plant|path|program|seconds|log       as another program of the user: wait for path to
//                                        appear and, the moment it opens for writing, write
//                                        program's bytes over it; logs "ready", then
//                                        "planted opened=T t=T tries=N" or "missed tries=N"
//                                        (at timeout or once log.stop exists)
//   link|path|target                     a folder link (symbolic link to a folder)
//   attrs|path                           print the attributes in hex, or "MISSING"
//   paths                                print the shell folders as name=path
//   pid|exe name                         print the id of a process of that name, or 0
//   say|text                             print the text
// ROOT is HKLM, HKCU or HKLM64 (the 64-bit view, which the 32-bit
// bootstrapper never sees). Lines starting with '#' and empty lines are skipped.
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_common.h"
#include "registry_tree.h"

namespace {

void Out(const std::string& line) {
    std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void Fail(const std::string& why) {
    Out("ERROR " + why);
    std::fflush(stdout);
    std::exit(1);
}

// --- Registry ---

// The registry view of the key being worked on.
REGSAM g_view = KEY_WOW64_32KEY;

bool SplitRoot(const std::string& full, HKEY* root, std::string* path) {
    size_t at = full.find('\\');
    std::string head = full.substr(0, at);
    *path = at == std::string::npos ? "" : full.substr(at + 1);
    g_view = KEY_WOW64_32KEY;
    if (head == "HKLM64") {
        *root = HKEY_LOCAL_MACHINE;
        g_view = KEY_WOW64_64KEY;
    } else if (head == "HKLM") {
        *root = HKEY_LOCAL_MACHINE;
    } else if (head == "HKCU") {
        *root = HKEY_CURRENT_USER;
    } else {
        return false;
    }
    return true;
}

DWORD TypeOf(const std::string& name) {
    if (name == "REG_NONE") return REG_NONE;
    if (name == "REG_LINK") return REG_LINK;
    if (name == "REG_QWORD") return REG_QWORD;
    if (name == "REG_SZ") return REG_SZ;
    if (name == "REG_EXPAND_SZ") return REG_EXPAND_SZ;
    if (name == "REG_MULTI_SZ") return REG_MULTI_SZ;
    if (name == "REG_DWORD") return REG_DWORD;
    if (name == "REG_BINARY") return REG_BINARY;
    return static_cast<DWORD>(std::strtoul(name.c_str(), nullptr, 0));
}

std::string DataOf(const std::string& value, DWORD type) {
    std::string bytes;
    if (value.rfind("hex:", 0) == 0) {
        if (!e2e::FromHex(value.substr(4), &bytes)) Fail("bad hex: " + value);
        return bytes;
    }
    if (value.rfind("text:", 0) != 0) Fail("data needs text: or hex: " + value);
    bytes = value.substr(5);
    if (type == REG_SZ || type == REG_EXPAND_SZ) bytes.push_back('\0');
    if (type == REG_MULTI_SZ) bytes.append(2, '\0');
    return bytes;
}

// The data followed by non-NUL bytes: the registry adds a terminator to
// string data that lacks one when a NUL happens to follow it in memory, so
// a value stored without its terminator needs something else behind it.
std::string Guarded(const std::string& data) {
    return data + "ZZ";
}

HKEY CreateKey(const std::string& full) {
    HKEY root;
    std::string path;
    if (!SplitRoot(full, &root, &path)) Fail("bad root: " + full);
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | g_view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        Fail("cannot create " + full);
    return key;
}

void PrintTree(HKEY key, const std::string& rel) {
    if (!rel.empty()) Out("K " + rel);
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD nameLen = sizeof name;
        DWORD type = 0;
        std::vector<BYTE> data(65536);
        DWORD size = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        Out("V " + rel + "|" + (nameLen ? std::string(name, nameLen) : "@") + "|" +
            std::to_string(type) + "|" +
            e2e::Hex(std::string(reinterpret_cast<char*>(data.data()), size)));
    }
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD len = sizeof name;
        if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child;
        if (RegOpenKeyExA(key, name, 0, KEY_READ | g_view, &child) != ERROR_SUCCESS) {
            Out("K " + (rel.empty() ? "" : rel + "\\") + name + " (unreadable)");
            continue;
        }
        PrintTree(child, rel.empty() ? name : rel + "\\" + name);
        RegCloseKey(child);
    }
}

// --- Files ---

void MakeFolders(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

DWORD AttributesOf(const std::string& letters) {
    DWORD attrs = 0;
    for (char c : letters) {
        if (c == 'R') attrs |= FILE_ATTRIBUTE_READONLY;
        if (c == 'H') attrs |= FILE_ATTRIBUTE_HIDDEN;
        if (c == 'S') attrs |= FILE_ATTRIBUTE_SYSTEM;
        if (c == 'A') attrs |= FILE_ATTRIBUTE_ARCHIVE;
    }
    return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

std::string ShellFolder(int csidl) {
    char path[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) return "";
    return path;
}

std::string TempFolder() {
    char path[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, path);
    return path;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return !prefix.empty() && text.size() >= prefix.size() &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text.c_str(),
                          static_cast<int>(prefix.size()), prefix.c_str(),
                          static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

// Never enters folder links, so a clean-up cannot reach outside its tree.
void RemoveTree(const std::string& path) {
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    if (!(attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name != "." && name != "..") RemoveTree(path + "\\" + name);
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
    }
    RemoveDirectoryA(path.c_str());
}

void Hold(const std::string& path, DWORD ms, const std::string& ready, bool scanner) {
    if (scanner) e2e::AppendLine(ready, "waiting");
    HANDLE file;
    while ((file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)) == INVALID_HANDLE_VALUE) {
        if (!scanner) Fail("cannot hold " + path);
        // While its writer has it, try again at once, as Plant does.
        if (GetLastError() != ERROR_SHARING_VIOLATION) Sleep(1);
    }
    e2e::AppendLine(ready, "held");
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms && !e2e::FileExists(ready + ".stop")) Sleep(50);
    CloseHandle(file);
}

void Plant(const std::string& path, const std::string& program, DWORD seconds,
           const std::string& log) {
    std::ifstream in(program, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.empty()) Fail("cannot read " + program);
    e2e::AppendLine(log, "ready");
    const DWORD start = GetTickCount();
    unsigned long tries = 0;
    while (GetTickCount() - start < seconds * 1000) {
        ++tries;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const std::string opened = e2e::NowField().substr(2);
            DWORD written = 0;
            const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                      &written, nullptr) &&
                            written == bytes.size() && SetEndOfFile(file);
            CloseHandle(file);
            e2e::AppendLine(log, std::string(ok ? "planted" : "failed") + " opened=" + opened +
                                     " " + e2e::NowField() + " tries=" + std::to_string(tries));
            return;
        }
        // Once the file is there it may open any moment: try again at once,
        // without yielding the processor (a yield can cost a time slice).
        const bool absent = GetLastError() == ERROR_FILE_NOT_FOUND;
        if (tries % 64 == 0 && e2e::FileExists(log + ".stop")) break;
        if (absent) Sleep(1);
    }
    e2e::AppendLine(log, "missed tries=" + std::to_string(tries));
}

void Run(const std::vector<std::string>& f) {
    const std::string& cmd = f[0];
    auto arg = [&](size_t i) -> const std::string& {
        if (i >= f.size()) Fail("missing field " + std::to_string(i) + " of " + cmd);
        return f[i];
    };
    if (cmd == "regkey") {
        RegCloseKey(CreateKey(arg(1)));
    } else if (cmd == "regset") {
        HKEY key = CreateKey(arg(1));
        const DWORD type = TypeOf(arg(3));
        const std::string data = DataOf(arg(4), type);
        const std::string name = arg(2) == "@" ? "" : arg(2);
        const std::string guarded = Guarded(data);
        if (RegSetValueExA(key, name.c_str(), 0, type,
                           reinterpret_cast<const BYTE*>(guarded.data()),
                           static_cast<DWORD>(data.size())) != ERROR_SUCCESS)
            Fail("cannot set " + arg(1) + "|" + arg(2));
        RegCloseKey(key);
    } else if (cmd == "regsetw") {
        HKEY key = CreateKey(arg(1));
        const DWORD type = TypeOf(arg(3));
        const std::string data = DataOf(arg(4), REG_BINARY);
        const std::string name = arg(2) == "@" ? "" : arg(2);
        std::wstring wideName(name.size() + 1, L'\0');
        const int length = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, &wideName[0],
                                               static_cast<int>(wideName.size()));
        if (length <= 0) Fail("bad value name " + name);
        const std::string guarded = Guarded(data);
        if (RegSetValueExW(key, wideName.c_str(), 0, type,
                           reinterpret_cast<const BYTE*>(guarded.data()),
                           static_cast<DWORD>(data.size())) != ERROR_SUCCESS)
            Fail("cannot set " + arg(1) + "|" + arg(2));
        RegCloseKey(key);
    } else if (cmd == "regget") {
        HKEY root;
        std::string path;
        HKEY key;
        if (!SplitRoot(arg(1), &root, &path)) Fail("bad key " + arg(1));
        const std::string name = arg(2) == "@" ? "" : arg(2);
        DWORD type = 0;
        DWORD size = 0;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | g_view, &key) != ERROR_SUCCESS ||
            RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
            Out("MISSING");
            return;
        }
        std::vector<BYTE> data(size + 1);
        DWORD read = size;
        const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &read);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS) Fail("cannot read " + arg(1) + "|" + arg(2));
        Out("type=" + std::to_string(type) + " size=" + std::to_string(read) +
            " data=" + e2e::Hex(std::string(reinterpret_cast<char*>(data.data()), read)));
    } else if (cmd == "regdel") {
        HKEY root;
        std::string path;
        if (!SplitRoot(arg(1), &root, &path) || path.empty()) Fail("bad key " + arg(1));
        e2e::DeleteKeyTree(root, path, g_view);
    } else if (cmd == "regtree") {
        HKEY root;
        std::string path;
        HKEY key;
        if (!SplitRoot(arg(1), &root, &path)) Fail("bad key " + arg(1));
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | g_view, &key) != ERROR_SUCCESS) {
            Out("MISSING");
            return;
        }
        PrintTree(key, "");
        RegCloseKey(key);
    } else if (cmd == "mkdir") {
        MakeFolders(arg(1));
        if (f.size() > 2 && !SetFileAttributesA(arg(1).c_str(), AttributesOf(arg(2))))
            Fail("cannot set attributes of " + arg(1));
    } else if (cmd == "mkfile") {
        const std::string& path = arg(1);
        MakeFolders(path.substr(0, path.rfind('\\')));
        std::ofstream(path, std::ios::binary) << (f.size() > 3 ? f[3] : "");
        if (!SetFileAttributesA(path.c_str(), AttributesOf(arg(2)))) Fail("cannot make " + path);
    } else if (cmd == "rmtree") {
        const std::string& path = arg(1);
        if (!StartsWithNoCase(path, "C:\\e2e\\") && !StartsWithNoCase(path, TempFolder()))
            Fail("refusing to clean " + path);
        RemoveTree(path);
    } else if (cmd == "hold") {
        Hold(arg(1), std::strtoul(arg(2).c_str(), nullptr, 10), arg(3),
             f.size() > 4 && f[4] == "new");
    } else if (cmd == "plant") {
        Plant(arg(1), arg(2), std::strtoul(arg(3).c_str(), nullptr, 10), arg(4));
    } else if (cmd == "link") {
        if (!CreateSymbolicLinkA(arg(1).c_str(), arg(2).c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
            Fail("cannot link " + arg(1) + " error " + std::to_string(GetLastError()));
    } else if (cmd == "attrs") {
        const DWORD attrs = GetFileAttributesA(arg(1).c_str());
        char buf[16];
        std::snprintf(buf, sizeof buf, "%lx", static_cast<unsigned long>(attrs));
        Out(attrs == INVALID_FILE_ATTRIBUTES ? "MISSING" : buf);
    } else if (cmd == "pid") {
        Out(std::to_string(e2e::FindProcessId(arg(1))));
    } else if (cmd == "say") {
        Out(arg(1));
    } else if (cmd == "paths") {
        char windows[MAX_PATH + 1] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        Out(std::string("windows=") + windows);
        Out("temp=" + TempFolder());
        Out("desktop=" + ShellFolder(CSIDL_DESKTOPDIRECTORY));
        Out("programs=" + ShellFolder(CSIDL_PROGRAMS));
        Out("common_desktop=" + ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY));
        Out("common_programs=" + ShellFolder(CSIDL_COMMON_PROGRAMS));
        Out("profile=" + ShellFolder(CSIDL_PROFILE));
        Out("personal=" + ShellFolder(CSIDL_PERSONAL));
        Out("program_files=" + ShellFolder(CSIDL_PROGRAM_FILES));
    } else {
        Fail("unknown command " + cmd);
    }
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // "\n" stays "\n" for the shell
    if (argc != 2) Fail("usage: e2e_fixture SCRIPT");
    std::ifstream script(argv[1], std::ios::binary);
    if (!script) Fail(std::string("cannot read ") + argv[1]);
    std::string line;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        Run(e2e::Split(line, '|'));
    }
    std::fflush(stdout);
    return 0;
}
