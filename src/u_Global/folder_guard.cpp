// The folder guard: whether a folder named by a registry value may be
// emptied and removed. Policy only; the walk that acts on the verdict is
// folder_removal.cpp.
#include "u_Global/folder_guard.h"

#include <array>
#include <vector>

#include "platform/handles.h"
#include "u_Global/u_Global.h"

namespace nuben {
namespace {

// Well-known folders that a registry value must never be able to empty:
// the machine's and the current user's, 32- and 64-bit variants alike.
// Without the core ones nothing can be judged safe: a guard that knew only
// the drive roots emptied C:\WINDOWS when the shell could not be loaded.
// The others may be absent (the x86 ones on 32-bit Windows). Nothing inside
// the system's own folders belongs to a product either.
struct ProtectedCsidl {
    int csidl;
    bool core;
    bool wholeTree = false;  // everything inside it is refused too
};
constexpr std::array<ProtectedCsidl, 20> kProtectedCsidls = {{
    {kCsidlWindows, true, true},
    {kCsidlSystem, true, true},
    {kCsidlSystemX86, false, true},
    {kCsidlProgramFiles, true},
    {kCsidlProgramFilesX86, false},
    {kCsidlProgramFilesCommon, false},
    {kCsidlProgramFilesCommonX86, false},
    {kCsidlCommonAppData, true},
    {kCsidlCommonDesktopDirectory, false},
    {kCsidlCommonDocuments, false},
    {kCsidlCommonStartMenu, false},
    {kCsidlCommonPrograms, false},
    {kCsidlProfile, true},
    {kCsidlDesktopDirectory, true},
    {kCsidlPersonal, false},
    {kCsidlStartMenu, true},
    {kCsidlPrograms, true},
    {kCsidlAppData, true},
    {kCsidlLocalAppData, false},
    {kCsidlInternetCache, false},
}};

// The user's data folders that have a CSIDL: what stands in for the known
// folders where their manager cannot be had (before Vista, or COM refused).
constexpr std::array<int, 10> kDataFolderCsidls = {
    kCsidlMyPictures,      kCsidlMyMusic,        kCsidlMyVideo,     kCsidlFavorites,
    kCsidlTemplates,       kCsidlCommonPictures, kCsidlCommonMusic, kCsidlCommonVideo,
    kCsidlCommonTemplates, kCsidlFonts,
};

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// An element such as "PROGRA~1" may be the short alias of a protected folder,
// and normalisation does not expand aliases of folders that do not exist.
bool HasShortNameAlias(const std::string& path) {
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        if (path[i] == '~' && path[i + 1] >= '0' && path[i + 1] <= '9') return true;
    }
    return false;
}

// True when the folder or one above it is a folder link (junction, symbolic
// link, mount point): its real place, and so what it holds, is elsewhere.
bool ReachedThroughLink(Platform& os, const std::string& folder) {
    for (std::size_t end = 3; end < folder.size(); ++end) {
        if (folder[end] != '\\') continue;
        const std::uint32_t attributes = os.FileAttributesOf(folder.substr(0, end));
        if (attributes != kInvalidFileAttributes &&
            (attributes & kFileAttributeReparsePoint) != 0) {
            return true;
        }
    }
    return false;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.size() >= start.size() && text.compare(0, start.size(), start) == 0;
}

// `outer` (with trailing backslash) is `inner` or one of the folders above it,
// in any letter case: "C:\USERS\ИВАН\" names the profile "C:\Users\Иван\".
bool ContainsOrEquals(Platform& os, const std::string& outer, const std::string& inner) {
    if (StartsWith(AsciiUpper(inner), AsciiUpper(outer))) return true;
    const std::string upperOuter = os.UpperCaseText(outer);
    const std::string upperInner = os.UpperCaseText(inner);
    // What cannot be compared cannot be cleared either.
    if (upperOuter.empty() || upperInner.empty()) return true;
    return StartsWith(upperInner, upperOuter);
}

struct ProtectedFolder {
    std::string path;  // normalised, with a trailing backslash
    bool wholeTree;
};

void AddProtected(Platform& os, const std::string& path, bool wholeTree,
                  std::vector<ProtectedFolder>* folders) {
    const std::string full = os.FullPathOf(path);
    const std::string folder = WithTrailingBackslash(os, full.empty() ? path : full);
    folders->push_back({folder, wholeTree});
    // A 32-bit program on 64-bit Windows is told "Program Files (x86)" for
    // both Program Files folders; the native one needs the same protection.
    const std::string x86 = " (x86)";
    const std::size_t at = folder.find(x86 + "\\");
    if (at != std::string::npos) {
        folders->push_back({folder.substr(0, at) + folder.substr(at + x86.size()), wholeTree});
    }
}

// Where the folder at `path` really is: its final path with a trailing
// backslash, or "" when it cannot be held or told.
std::string FinalPathOf(Platform& os, const std::string& path) {
    const std::string folder = WithTrailingBackslash(os, path);
    const unique_hfile held(os, os.OpenFolderToHold(folder.substr(0, folder.size() - 1)));
    std::string final;
    if (!held || !os.FinalPathOfHeld(held.get(), &final) || final.empty()) return std::string();
    return WithTrailingBackslash(os, final);
}

// The folders never to be emptied or removed, nor any folder above them
// (nor, for the system's own, any inside them). Empty when one of the core
// ones yields no path. With `finalPaths`, each also by where it really is,
// so that a folder held through another name still meets it. A folder whose
// path is too long for ours stands as the nearest one above it that is not:
// a path of ours can name only that one and those above.
std::vector<ProtectedFolder> ProtectedFolders(Platform& os, bool finalPaths) {
    std::vector<ProtectedFolder> folders;
    for (const ProtectedCsidl& known : kProtectedCsidls) {
        const std::string path = os.SpecialFolderOrAbove(known.csidl);
        if (path.empty() && known.core) return {};
        if (!path.empty()) AddProtected(os, path, known.wholeTree, &folders);
    }
    std::vector<std::string> knownFolders;
    if (!os.KnownFolderPaths(&knownFolders)) {
        for (const int csidl : kDataFolderCsidls) {
            const std::string path = os.SpecialFolderOrAbove(csidl);
            if (!path.empty()) knownFolders.push_back(path);
        }
    }
    // The folder the installer is delivered to: emptying it takes every
    // other program's files, and removing it leaves nowhere to deliver.
    knownFolders.push_back(os.TempFolderPath());
    for (const std::string& path : knownFolders) {
        if (!path.empty()) AddProtected(os, path, false, &folders);
    }
    if (finalPaths) {
        for (std::size_t i = 0, named = folders.size(); i < named; ++i) {
            const std::string final = FinalPathOf(os, folders[i].path);
            if (!final.empty()) folders.push_back({final, folders[i].wholeTree});
        }
    }
    return folders;
}

}  // namespace

// "X:\" followed by anything: the only form a folder to be emptied may take.
bool IsDriveAbsolute(const std::string& path) {
    return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

FolderRefusal CheckRemovableFolder(Platform& os, const std::string& path, std::string* normalised,
                                   FileHandle held) {
    if (path.find(':') == std::string::npos) return FolderRefusal::kNoColon;
    // "C:foo" and "C:" name a place relative to the drive's current folder,
    // and "\\?\" or "\\.\" paths bypass normalisation: never guess.
    if (!IsDriveAbsolute(path)) return FolderRefusal::kNotDriveAbsolute;
    // A colon anywhere else starts a stream name ("C:\\Users::$INDEX_ALLOCATION"
    // is C:\\Users itself), which normalisation keeps as it is.
    if (path.find(':', 2) != std::string::npos) return FolderRefusal::kStreamSuffix;
    const std::string full = os.FullPathOf(path);
    if (full.empty()) return FolderRefusal::kUnresolvable;
    if (!IsDriveAbsolute(full)) return FolderRefusal::kNotDriveAbsolute;
    const std::string folder = WithTrailingBackslash(os, full);
    // Decided on the normalised form, so "C:\.", "C:\..\", "C:\foo\.." and
    // trailing dots or blanks are the root they resolve to.
    if (folder.size() <= 3) return FolderRefusal::kDriveRoot;
    if (HasShortNameAlias(folder)) return FolderRefusal::kShortNameAlias;
    if (ReachedThroughLink(os, folder)) return FolderRefusal::kReachedThroughLink;
    // Judged by its spelling and, where the system can tell, by where the held
    // folder really is: an alias (Sysnative, another drive letter for the same
    // folder) then meets the protected folder it names.
    std::vector<std::string> judged = {folder};
    std::string final;
    if (held != kInvalidHandle && os.FinalPathOfHeld(held, &final)) {
        if (final.empty()) return FolderRefusal::kUnresolvable;
        if (!IsDriveAbsolute(final) || final.find(':', 2) != std::string::npos) {
            return FolderRefusal::kNotDriveAbsolute;
        }
        judged.push_back(WithTrailingBackslash(os, final));
        if (judged.back().size() <= 3) return FolderRefusal::kDriveRoot;
    }
    const std::vector<ProtectedFolder> protectedFolders = ProtectedFolders(os, judged.size() > 1);
    if (protectedFolders.empty()) return FolderRefusal::kCoreFolderUnknown;
    for (const std::string& candidate : judged) {
        for (const ProtectedFolder& keep : protectedFolders) {
            if (ContainsOrEquals(os, candidate, keep.path) ||
                (keep.wholeTree && ContainsOrEquals(os, keep.path, candidate))) {
                return FolderRefusal::kProtectedFolder;
            }
        }
    }
    *normalised = folder;
    return FolderRefusal::kAllowed;
}

}  // namespace nuben
