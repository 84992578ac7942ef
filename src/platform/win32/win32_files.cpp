// Files and folders through the wide functions, paths in code page 949 and
// held to the ANSI forms' MAX_PATH limits both ways.
#include <cstring>
#include <cwchar>

#include "platform/win32/text_949.h"
#include "platform/win32/win32_common.h"
#include "platform/win32/win32_platform.h"

namespace nuben {
using namespace win32;

namespace {

// From Vista on; imported late so that older systems still start.
LateImport g_SetFileInformationByHandle(L"kernel32.dll", "SetFileInformationByHandle");
LateImport g_GetFinalPathNameByHandleW(L"kernel32.dll", "GetFinalPathNameByHandleW");
// Windows 11 and the updates of 10 from 2022 on; Wine 8 lacks it.
LateImport g_GetTempPath2W(L"kernel32.dll", "GetTempPath2W");

// A listed entry as the logic sees it, its name in the path form that loses
// nothing. False for a name that would not fit the ANSI form's cFileName (260
// bytes with its NUL): the listing leaves it out, as a cut name would name
// another entry.
bool ToFindEntry(const WIN32_FIND_DATAW& data, FindEntry* entry) {
    const std::string name = AnsiPath(data.cFileName, wcsnlen(data.cFileName, MAX_PATH));
    if (name.empty()) return false;
    entry->name = name;
    entry->attributes = data.dwFileAttributes;
    entry->lastWriteTime = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                           data.ftLastWriteTime.dwLowDateTime;
    return true;
}

FileHandle OpenWide(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                    DWORD flags) {
    // INVALID_HANDLE_VALUE is kInvalidHandle.
    return FromPointer(CreateFileW(path, access, share, nullptr, disposition, flags, nullptr));
}

FileHandle OpenPath(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                    DWORD flags) {
    WidePath wide;
    return wide.Assign(path) ? OpenWide(wide.get(), access, share, disposition, flags)
                             : kInvalidHandle;
}

FileHandle HoldFolderWide(const wchar_t* path, DWORD linkFlag) {
    // No FILE_SHARE_DELETE: that is what keeps the folder from being renamed or removed.
    return OpenWide(path, FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | linkFlag);
}

FileHandle HoldFolder(const std::string& path, DWORD linkFlag) {
    WidePath wide;
    return wide.Assign(path) ? HoldFolderWide(wide.get(), linkFlag) : kInvalidHandle;
}

// GetTempPath2W where the system has it, else GetTempPathW: the length, 0 on
// failure, or more than `capacity` (the size it needs) when it does not fit.
DWORD TempPathInto(wchar_t* buffer, DWORD capacity) {
    using GetTempPath2Fn = DWORD(WINAPI*)(DWORD, LPWSTR);
    const auto getTempPath2 = g_GetTempPath2W.Get<GetTempPath2Fn>();
    return getTempPath2 != nullptr ? getTempPath2(capacity, buffer)
                                   : GetTempPathW(capacity, buffer);
}

// `name` in the held folder, where it really is, else in `asGiven`. False
// when neither the name nor the folder can be had.
bool PathIn(FileHandle folder, const std::string& asGiven, const std::string& name,
            std::wstring* path) {
    WideName wideName;
    if (!wideName.Assign(name)) return false;
    if (!HeldPath(folder, path)) {
        WidePath given;
        if (!given.Assign(asGiven)) return false;
        path->assign(given.get());
    }
    if (!path->empty() && path->back() != L'\\') path->push_back(L'\\');
    path->append(wideName.get());
    return true;
}

}  // namespace

std::uint32_t Win32Platform::FileAttributesOf(const std::string& path) {
    WidePath wide;
    return wide.Assign(path) ? GetFileAttributesW(wide.get()) : INVALID_FILE_ATTRIBUTES;
}

bool Win32Platform::ChangeFileAttributes(const std::string& path, std::uint32_t attributes) {
    WidePath wide;
    return wide.Assign(path) && SetFileAttributesW(wide.get(), attributes);
}

FindHandle Win32Platform::FindFirstEntry(const std::string& pattern, FindEntry* entry) {
    WidePath wide;
    WIN32_FIND_DATAW data;
    const HANDLE find =
        wide.Assign(pattern) ? FindFirstFileW(wide.get(), &data) : INVALID_HANDLE_VALUE;
    if (find == INVALID_HANDLE_VALUE) return kInvalidHandle;
    // Entries the logic cannot see are skipped, the first as any other; with
    // none left, nothing matched.
    while (!ToFindEntry(data, entry)) {
        if (!FindNextFileW(find, &data)) {
            FindClose(find);
            SetLastError(ERROR_FILE_NOT_FOUND);
            return kInvalidHandle;
        }
    }
    return FromPointer(find);
}

bool Win32Platform::FindNextEntry(FindHandle find, FindEntry* entry) {
    WIN32_FIND_DATAW data;
    do {
        if (!FindNextFileW(ToHandle(find), &data)) return false;
    } while (!ToFindEntry(data, entry));
    return true;
}

bool Win32Platform::CloseFind(FindHandle find) {
    return FindClose(ToHandle(find)) != FALSE;
}

bool Win32Platform::RemoveFile(const std::string& path) {
    WidePath wide;
    return wide.Assign(path) && DeleteFileW(wide.get());
}

bool Win32Platform::RemoveEmptyDirectory(const std::string& path) {
    WidePath wide;
    return wide.Assign(path) && RemoveDirectoryW(wide.get());
}

FileHandle Win32Platform::CreateNewFileForWriting(const std::string& path, std::uint32_t* error) {
    const FileHandle file = OpenPath(path, GENERIC_WRITE, 0, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
    *error = file == kInvalidHandle ? GetLastError() : ERROR_SUCCESS;
    return file;
}

bool Win32Platform::WriteToFile(FileHandle file, const void* data, std::uint32_t size,
                                std::uint32_t* written) {
    // The count pointer is always passed: without OVERLAPPED, older Windows
    // versions require it.
    DWORD count = 0;
    const BOOL ok = WriteFile(ToHandle(file), data, size, &count, nullptr);
    if (written) *written = count;
    return ok != FALSE;
}

FileHandle Win32Platform::OpenFileToHold(const std::string& path, std::uint32_t* error) {
    // Read sharing only: no writer, no rename, no delete while it is held.
    const FileHandle file = OpenPath(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN);
    *error = file == kInvalidHandle ? GetLastError() : ERROR_SUCCESS;
    return file;
}

bool Win32Platform::ReadFromFile(FileHandle file, void* data, std::uint32_t size,
                                 std::uint32_t* read) {
    DWORD count = 0;
    const BOOL ok = ReadFile(ToHandle(file), data, size, &count, nullptr);
    *read = count;
    return ok != FALSE;
}

bool Win32Platform::CloseFile(FileHandle file) {
    return CloseHandle(ToHandle(file)) != FALSE;
}

FileHandle Win32Platform::OpenFolderToHold(const std::string& path) {
    return HoldFolder(path, FILE_FLAG_OPEN_REPARSE_POINT);
}

FileHandle Win32Platform::OpenFolderToHoldThroughLink(const std::string& path) {
    return HoldFolder(path, 0);
}

std::uint32_t Win32Platform::HeldAttributesOf(FileHandle file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(ToHandle(file), &info)) return INVALID_FILE_ATTRIBUTES;
    return info.dwFileAttributes;
}

bool win32::HeldPath(std::uintptr_t held, std::wstring* path) {
    using GetFinalPathNameByHandleFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    const auto getFinalPath = g_GetFinalPathNameByHandleW.Get<GetFinalPathNameByHandleFn>();
    if (getFinalPath == nullptr) return false;
    for (const DWORD volume : {VOLUME_NAME_DOS, VOLUME_NAME_GUID}) {
        const DWORD flags = FILE_NAME_NORMALIZED | volume;
        path->assign(MAX_PATH, L'\0');
        DWORD length = getFinalPath(ToHandle(held), &(*path)[0], MAX_PATH, flags);
        // More than the buffer is the size it needs, its NUL included.
        if (length >= MAX_PATH) {
            path->assign(length, L'\0');
            length = getFinalPath(ToHandle(held), &(*path)[0], length, flags);
            if (length >= path->size()) length = 0;
        }
        if (length == 0) continue;
        path->resize(length);
        if (length - 4 < MAX_PATH && path->compare(0, 4, L"\\\\?\\") == 0) {
            if (path->compare(4, 4, L"UNC\\") == 0) {
                path->erase(0, 6);
                (*path)[0] = L'\\';
            } else if (length > 6 && (*path)[5] == L':') {
                path->erase(0, 4);
            }
        }
        return true;
    }
    path->clear();
    return false;
}

bool Win32Platform::FinalPathOfHeld(FileHandle file, std::string* path) {
    if (g_GetFinalPathNameByHandleW.Get<FARPROC>() == nullptr) return false;
    path->clear();
    // "\\?\C:\..." as "C:\...", "\\?\UNC\server\share" as "\\server\share"; the ANSI
    // form's MAX_PATH bytes held that prefix too. One still so prefixed is too long
    // for them, or named by its volume: not had.
    std::wstring wide;
    if (HeldPath(file, &wide) && wide.compare(0, 4, L"\\\\?\\") != 0)
        *path = AnsiPath(wide.data(), wide.size(), MAX_PATH - 1 - (wide[0] == L'\\' ? 6 : 4));
    return true;
}

FileHandle Win32Platform::OpenEntryToChange(const std::string& path) {
    return OpenPath(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
}

bool Win32Platform::ChangeHeldAttributes(FileHandle file, std::uint32_t attributes) {
    using SetFileInformationByHandleFn =
        BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    const auto setInformation = g_SetFileInformationByHandle.Get<SetFileInformationByHandleFn>();
    if (setInformation == nullptr) return false;
    FILE_BASIC_INFO info{};  // times of 0 are left unchanged
    info.FileAttributes = attributes;
    return setInformation(ToHandle(file), FileBasicInfo, &info, sizeof info) != FALSE;
}

FileHandle Win32Platform::HoldTempFolder() {
    std::wstring folder(MAX_PATH + 1, L'\0');
    DWORD length = TempPathInto(&folder[0], MAX_PATH + 1);
    // A longer temp path is had in full: the wide functions take it.
    if (length > MAX_PATH + 1) {
        folder.resize(length);
        length = TempPathInto(&folder[0], length);
        if (length >= folder.size()) length = 0;
    }
    return HoldFolderWide(length == 0 ? L"." : folder.c_str(), 0);
}

FileHandle Win32Platform::CreateNewFileIn(FileHandle folder, const std::string& asGiven,
                                          const std::string& name, std::uint32_t* error) {
    std::wstring path;
    const FileHandle file = PathIn(folder, asGiven, name, &path)
                                ? OpenWide(path.c_str(), GENERIC_WRITE, 0, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT)
                                : kInvalidHandle;
    *error = file == kInvalidHandle ? GetLastError() : ERROR_SUCCESS;
    return file;
}

FileHandle Win32Platform::OpenFileToHoldIn(FileHandle folder, const std::string& asGiven,
                                           const std::string& name, std::uint32_t* error) {
    std::wstring path;
    const FileHandle file =
        PathIn(folder, asGiven, name, &path)
            ? OpenWide(path.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN)
            : kInvalidHandle;
    *error = file == kInvalidHandle ? GetLastError() : ERROR_SUCCESS;
    return file;
}

bool Win32Platform::RemoveEntryIn(FileHandle folder, const std::string& asGiven,
                                  const std::string& name) {
    std::wstring path;
    if (!PathIn(folder, asGiven, name, &path)) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A link goes as a link, its attributes untouched: a change by path
    // would reach through it to its target.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return isFolder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
    if (isFolder) return false;
    // A read-only file goes too, reset through a handle on the entry itself:
    // a link put in its place since is never changed.
    const FileHandle entry =
        OpenWide(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
    if (entry != kInvalidHandle) {
        const DWORD held = HeldAttributesOf(entry);
        if (held != INVALID_FILE_ATTRIBUTES &&
            (held & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0)
            ChangeHeldAttributes(entry, FILE_ATTRIBUTE_NORMAL);
        CloseHandle(ToHandle(entry));
    }
    return DeleteFileW(path.c_str()) != FALSE;
}

std::string Win32Platform::TempFolderPath() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = TempPathInto(buffer, MAX_PATH + 1);
    // 0 is failure, more than the buffer the size it needs. What the ANSI
    // form's MAX_PATH buffer cannot take, with its NUL, is a temp folder that
    // cannot be had: "".
    if (length == 0 || length > MAX_PATH) return std::string();
    return AnsiPath(buffer, length);
}

bool Win32Platform::ChangeCurrentDirectory(const std::string& path) {
    WidePath wide;
    return wide.Assign(path) && SetCurrentDirectoryW(wide.get());
}

std::string Win32Platform::FullPathOf(const std::string& path) {
    WidePath wide;
    wchar_t buffer[MAX_PATH];
    const DWORD length =
        wide.Assign(path) ? GetFullPathNameW(wide.get(), MAX_PATH, buffer, nullptr) : 0;
    // 0 is failure; a result of MAX_PATH or more is the size that would be
    // needed, and the buffer then holds nothing usable. The ANSI form's
    // result must fit MAX_PATH bytes with its NUL.
    if (length == 0 || length >= MAX_PATH) return std::string();
    const std::string full = AnsiPath(buffer, length);
    // Expand 8.3 aliases ("PROGRA~1") of existing elements, so that every
    // spelling of a folder compares as the same name.
    wchar_t longName[MAX_PATH];
    const DWORD longLength = GetLongPathNameW(buffer, longName, MAX_PATH);
    if (full.empty() || longLength == 0 || longLength >= MAX_PATH) return full;
    // One too long for the ANSI buffer leaves the normalised form, as
    // GetLongPathNameA failing does.
    const std::string expanded = AnsiPath(longName, longLength);
    return expanded.empty() ? full : expanded;
}

bool Win32Platform::ConvertsToLocalDosTime(std::uint64_t fileTime) {
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFFu);
    utc.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local)) return false;
    WORD date = 0;
    WORD time = 0;
    return FileTimeToDosDateTime(&local, &date, &time) != FALSE;
}

}  // namespace nuben
