// The Windows constants the bootstrapper, the fake and the tests use, with
// their values and Windows spellings (so that a search for the Windows name
// finds ours). Named k + the Windows name in PascalCase, not by the Windows
// names themselves: <windows.h> defines those as macros, and several files
// include both it and these headers.
#pragma once

#include <cstdint>

namespace nuben {

// --- Errors (GetLastError and the registry calls' results).

constexpr long kErrorSuccess = 0;            // ERROR_SUCCESS
constexpr long kErrorFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
constexpr long kErrorAccessDenied = 5;       // ERROR_ACCESS_DENIED
constexpr long kErrorInvalidHandle = 6;      // ERROR_INVALID_HANDLE
constexpr long kErrorGenFailure = 31;        // ERROR_GEN_FAILURE
constexpr long kErrorSharingViolation = 32;  // ERROR_SHARING_VIOLATION
constexpr long kErrorFileExists = 80;        // ERROR_FILE_EXISTS
constexpr long kErrorInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
constexpr long kErrorBadPathname = 161;      // ERROR_BAD_PATHNAME
constexpr long kErrorMoreData = 234;         // ERROR_MORE_DATA
constexpr long kErrorNoMoreItems = 259;      // ERROR_NO_MORE_ITEMS
constexpr long kErrorKeyDeleted = 1018;      // ERROR_KEY_DELETED
constexpr long kErrorAlreadyExists = 183;    // ERROR_ALREADY_EXISTS

// --- Registry.

// Predefined roots (HKEY values).
constexpr std::uintptr_t kHkeyCurrentUser = 0x80000001u;   // HKEY_CURRENT_USER
constexpr std::uintptr_t kHkeyLocalMachine = 0x80000002u;  // HKEY_LOCAL_MACHINE

// Access rights.
constexpr std::uint32_t kKeyQueryValue = 0x0001;        // KEY_QUERY_VALUE
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;  // KEY_ENUMERATE_SUB_KEYS
constexpr std::uint32_t kDelete = 0x00010000;           // DELETE
constexpr std::uint32_t kWriteDac = 0x00040000;         // WRITE_DAC
constexpr std::uint32_t kWriteOwner = 0x00080000;       // WRITE_OWNER
constexpr std::uint32_t kKeyRead = 0x20019;             // KEY_READ
constexpr std::uint32_t kKeyAllAccess = 0xF003F;        // KEY_ALL_ACCESS

// Value types.
constexpr std::uint32_t kRegSz = 1;        // REG_SZ
constexpr std::uint32_t kRegExpandSz = 2;  // REG_EXPAND_SZ
constexpr std::uint32_t kRegBinary = 3;    // REG_BINARY
constexpr std::uint32_t kRegDword = 4;     // REG_DWORD
constexpr std::uint32_t kRegMultiSz = 7;   // REG_MULTI_SZ

// --- Files.

constexpr std::uint32_t kFileAttributeReadOnly = 0x1;        // FILE_ATTRIBUTE_READONLY
constexpr std::uint32_t kFileAttributeHidden = 0x2;          // FILE_ATTRIBUTE_HIDDEN
constexpr std::uint32_t kFileAttributeSystem = 0x4;          // FILE_ATTRIBUTE_SYSTEM
constexpr std::uint32_t kFileAttributeDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
constexpr std::uint32_t kFileAttributeArchive = 0x20;        // FILE_ATTRIBUTE_ARCHIVE
constexpr std::uint32_t kFileAttributeNormal = 0x80;         // FILE_ATTRIBUTE_NORMAL
constexpr std::uint32_t kFileAttributeTemporary = 0x100;     // FILE_ATTRIBUTE_TEMPORARY
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
constexpr std::uint32_t kFileAttributeOffline = 0x1000;      // FILE_ATTRIBUTE_OFFLINE
constexpr std::uint32_t kFileAttributeNotContentIndexed = 0x2000;
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;  // INVALID_FILE_ATTRIBUTES
constexpr int kMaxPath = 260;                                  // MAX_PATH

// --- Processes.

constexpr std::uint32_t kStartupInfoSize = 68;        // sizeof(STARTUPINFOA) on 32-bit Windows
constexpr std::uint32_t kStartfUseShowWindow = 1;     // STARTF_USESHOWWINDOW
constexpr std::uint16_t kSwShowNormal = 1;            // SW_SHOWNORMAL
constexpr std::uint32_t kCreateSuspended = 0x4;       // CREATE_SUSPENDED
constexpr std::uint32_t kNormalPriorityClass = 0x20;  // NORMAL_PRIORITY_CLASS
constexpr std::uint32_t kJobObjectLimitBreakawayOk = 0x800;         // JOB_OBJECT_LIMIT_BREAKAWAY_OK
constexpr std::uint32_t kJobObjectLimitSilentBreakawayOk = 0x1000;  // ..._SILENT_BREAKAWAY_OK
constexpr std::uint32_t kJobObjectLimitKillOnJobClose = 0x2000;     // ..._KILL_ON_JOB_CLOSE
constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;                    // INFINITE
constexpr std::uint32_t kWaitObject0 = 0;                           // WAIT_OBJECT_0
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;                  // WAIT_FAILED

// Process hardening; spelled out here because older SDK headers lack some.
constexpr std::uint32_t kLoadLibrarySearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr int kProcessRedirectionTrustPolicy = 16;                // ProcessRedirectionTrustPolicy
constexpr std::uint32_t kEnforceRedirectionTrust = 0x1;           // its EnforceRedirectionTrust bit

// --- Windows and dialogs.

constexpr std::uint32_t kGwHwndFirst = 0;  // GW_HWNDFIRST
constexpr std::uint32_t kGwHwndLast = 1;   // GW_HWNDLAST
constexpr std::uint32_t kGwHwndNext = 2;   // GW_HWNDNEXT
constexpr std::uint32_t kGwHwndPrev = 3;   // GW_HWNDPREV
constexpr std::uint32_t kGwChild = 5;      // GW_CHILD
constexpr std::uint32_t kWmQuit = 0x0012;  // WM_QUIT

constexpr std::uint32_t kMbOk = 0x0;                // MB_OK
constexpr std::uint32_t kMbYesNo = 0x4;             // MB_YESNO
constexpr std::uint32_t kMbIconError = 0x10;        // MB_ICONERROR
constexpr std::uint32_t kMbIconQuestion = 0x20;     // MB_ICONQUESTION
constexpr std::uint32_t kMbIconInformation = 0x40;  // MB_ICONINFORMATION
constexpr std::uint32_t kMbTopmost = 0x00040000;    // MB_TOPMOST
constexpr int kIdYes = 6;                           // IDYES
constexpr int kIdNo = 7;                            // IDNO

// --- Shell folders (CSIDL values).

constexpr int kCsidlPrograms = 0x0002;                // CSIDL_PROGRAMS
constexpr int kCsidlPersonal = 0x0005;                // CSIDL_PERSONAL
constexpr int kCsidlFavorites = 0x0006;               // CSIDL_FAVORITES
constexpr int kCsidlStartMenu = 0x000B;               // CSIDL_STARTMENU
constexpr int kCsidlMyMusic = 0x000D;                 // CSIDL_MYMUSIC
constexpr int kCsidlMyVideo = 0x000E;                 // CSIDL_MYVIDEO
constexpr int kCsidlDesktopDirectory = 0x0010;        // CSIDL_DESKTOPDIRECTORY
constexpr int kCsidlFonts = 0x0014;                   // CSIDL_FONTS
constexpr int kCsidlTemplates = 0x0015;               // CSIDL_TEMPLATES
constexpr int kCsidlCommonStartMenu = 0x0016;         // CSIDL_COMMON_STARTMENU
constexpr int kCsidlCommonPrograms = 0x0017;          // CSIDL_COMMON_PROGRAMS
constexpr int kCsidlCommonDesktopDirectory = 0x0019;  // CSIDL_COMMON_DESKTOPDIRECTORY
constexpr int kCsidlAppData = 0x001A;                 // CSIDL_APPDATA
constexpr int kCsidlLocalAppData = 0x001C;            // CSIDL_LOCAL_APPDATA
constexpr int kCsidlInternetCache = 0x0020;           // CSIDL_INTERNET_CACHE
constexpr int kCsidlCommonAppData = 0x0023;           // CSIDL_COMMON_APPDATA
constexpr int kCsidlWindows = 0x0024;                 // CSIDL_WINDOWS
constexpr int kCsidlSystem = 0x0025;                  // CSIDL_SYSTEM
constexpr int kCsidlProgramFiles = 0x0026;            // CSIDL_PROGRAM_FILES
constexpr int kCsidlMyPictures = 0x0027;              // CSIDL_MYPICTURES
constexpr int kCsidlProfile = 0x0028;                 // CSIDL_PROFILE
constexpr int kCsidlSystemX86 = 0x0029;               // CSIDL_SYSTEMX86
constexpr int kCsidlProgramFilesX86 = 0x002A;         // CSIDL_PROGRAM_FILESX86
constexpr int kCsidlProgramFilesCommon = 0x002B;      // CSIDL_PROGRAM_FILES_COMMON
constexpr int kCsidlProgramFilesCommonX86 = 0x002C;   // CSIDL_PROGRAM_FILES_COMMONX86
constexpr int kCsidlCommonTemplates = 0x002D;         // CSIDL_COMMON_TEMPLATES
constexpr int kCsidlCommonDocuments = 0x002E;         // CSIDL_COMMON_DOCUMENTS
constexpr int kCsidlCommonMusic = 0x0035;             // CSIDL_COMMON_MUSIC
constexpr int kCsidlCommonPictures = 0x0036;          // CSIDL_COMMON_PICTURES
constexpr int kCsidlCommonVideo = 0x0037;             // CSIDL_COMMON_VIDEO

}  // namespace nuben
