// The folder guard: the policy that decides whether a folder named by a
// registry value may be emptied and removed. Its interface is the verdict;
// the walk in folder_removal.cpp acts on it.
#pragma once

#include <string>

#include "platform/platform.h"

namespace nuben {

// Why a folder may not be emptied; kAllowed when it may.
enum class FolderRefusal {
    kAllowed,
    kNoColon,             // UNC paths and anything else without a drive
    kNotDriveAbsolute,    // "C:foo", "C:", "\\?\C:\..." and the like
    kStreamSuffix,        // a colon after the drive's: "C:\Users::$INDEX_ALLOCATION"
    kUnresolvable,        // GetFullPathNameA failed
    kDriveRoot,           // every spelling of "X:\"
    kShortNameAlias,      // an element like "PROGRA~1" that may alias a protected folder
    kReachedThroughLink,  // the folder or one above it is a folder link
    kProtectedFolder,     // a well-known folder or one above it
    kCoreFolderUnknown,   // a core well-known folder yields no path
};

// "X:\" followed by anything: the only form a folder to be emptied may take.
bool IsDriveAbsolute(const std::string& path);

// Decides on the normalised form of `path`; *normalised receives it when
// allowed. Refused are: anything not "X:\..." before or after normalising,
// a colon other than the drive's, drive roots, short-name aliases, folders
// reached through a link, and the protected folders and every folder above
// one of them, in any letter case: the well-known folders (Windows, system,
// Program Files, the profile, desktop, documents, Start menu and programs,
// application data, their common and x86 forms), every known folder of the
// machine and the user (where their manager cannot be had: the data folders
// that have a CSIDL), and the temp folder. Everything inside the Windows and
// system folders is refused too. When one of the core well-known folders
// (Windows, system, Program Files, profile, desktop, Start menu and
// programs, application data, common application data) yields no path,
// everything is refused. A protected folder whose path is too long stands as
// the nearest folder above it that is not. With `held`, the folder `path` names
// held open, it is also judged by its final path against the protected folders' own, where the
// system can tell them; a final path that cannot be had refuses.
FolderRefusal CheckRemovableFolder(Platform& os, const std::string& path, std::string* normalised,
                                   FileHandle held = kInvalidHandle);

}  // namespace nuben
