// What a contract test needs besides the Platform under test: a scratch area
// in the registry and on disk, and ways to set up state that the Platform
// itself cannot create. One implementation drives the in-memory fake
// (fake_env.cpp, host build), the other real Windows (win32_env.cpp, run
// under Wine). The same test sources are compiled against both, so the fake
// cannot drift from what Windows does.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace nuben::contract {

// The resource that ModuleWithPayload() carries: type "EXE", this name.
inline constexpr const char* kPayloadName = "CONTRACT_PAYLOAD";
// Its bytes: 4096 bytes, byte i == (i * 7 + 3) & 0xFF.
std::string PayloadBytes();

class ContractEnv {
  public:
    virtual ~ContractEnv() = default;

    virtual Platform& os() = 0;
    // A short name for messages: "fake" or "win32".
    virtual const char* name() const = 0;

    // --- Registry. Paths are relative to HKEY_LOCAL_MACHINE.

    // A key of this test's own ("SOFTWARE\\NuBenContract\\<unique>"), created
    // empty before each test and removed with its subtree afterwards.
    virtual std::string ScratchKey() = 0;
    // Creates the key and any missing parents.
    virtual void CreateKey(const std::string& path) = 0;
    // Sets a value with raw bytes of the given type (REG_SZ data should
    // carry their own terminating NUL when the test wants one).
    virtual void SetValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                          const std::string& bytes) = 0;
    virtual bool KeyExists(const std::string& path) = 0;
    // Makes opening `path` with `access` fail with ERROR_ACCESS_DENIED.
    // False when the implementation cannot (Wine does not enforce key security).
    virtual bool DenyKeyAccess(const std::string& path, std::uint32_t access) = 0;

    // A key, text value or file named in UTF-16 with what code page 949
    // cannot spell ("é", which its ANSI functions turn into "e"). False where
    // all text is code page 949 (the fake), which then has no such thing.
    virtual bool CreateKeyUtf16(const std::string&, const std::u16string&) { return false; }
    virtual bool SetTextValueUtf16(const std::string&, const std::string&, const std::u16string&) {
        return false;
    }
    virtual bool MakeFileUtf16(const std::string&, const std::u16string&) { return false; }
    // A folder of the scratch folder named in UTF-16 with what code page 949
    // cannot spell, made this process's temp folder (TMP and TEMP) until the
    // test ends; in the fake, a temp folder it treats as so named.
    virtual void MakeTempFolderUtf16(const std::u16string& name) = 0;
    // The bytes of a program that, started as `name` in that temp folder
    // without arguments, makes "started_here.txt" in its current folder.
    virtual std::string MarkingProgram(const std::string& name) = 0;
    // The current user's desktop moved into a new folder `name` in `parent`
    // (one such name), until the test ends.
    virtual bool MoveDesktopUtf16(const std::string& parent, const std::u16string& name) = 0;

    // --- Files. Absolute paths on drive C:, backslashes.

    // A folder of this test's own, with a trailing backslash, created empty
    // before each test and removed afterwards.
    virtual std::string ScratchFolder() = 0;
    virtual void MakeFolder(const std::string& path, std::uint32_t attributes = 0) = 0;
    virtual void MakeFile(const std::string& path, const std::string& bytes,
                          std::uint32_t attributes = 0) = 0;
    // True when a file or folder of that name exists.
    virtual bool Exists(const std::string& path) = 0;
    virtual std::string ReadFileBytes(const std::string& path) = 0;
    // Keeps `path` open without sharing until the returned token is released.
    virtual std::shared_ptr<void> HoldOpen(const std::string& path) = 0;
    // MoveFileA(from, to) as another program would call it (share modes are
    // checked per handle, so this process's own handles count as another's).
    virtual bool MoveEntry(const std::string& from, const std::string& to) = 0;
    // Whether another program could open the file for writing now
    // (CreateFileA GENERIC_WRITE, every FILE_SHARE_*, OPEN_EXISTING).
    virtual bool OpensForWriting(const std::string& path) = 0;

    // --- Resources and processes.

    // A module that carries kPayloadName of type "EXE" with PayloadBytes().
    virtual ModuleHandle ModuleWithPayload() = 0;
    // A command line that starts a program which sleeps `ms`, then creates
    // the file `markerPath`, then exits. Handing over, the program started
    // only starts a copy of itself to do that (breaking away from its job,
    // if asked), and exits at once.
    enum class HandOver { kNone, kToCopy, kToCopyBreakingAway };
    virtual std::string SleeperCommand(std::uint32_t ms, const std::string& markerPath,
                                       HandOver handOver = HandOver::kNone) = 0;

    // --- Windows.

    // A top-level window of this process whose title an ANSI program of the
    // system's code page set from `title` (CreateWindowExA), gone after the test.
    virtual WindowHandle MakeAnsiWindow(const std::string& className, const std::string& title) = 0;
    // Whether WM_QUIT was posted to `window` during this test.
    virtual bool ToldToQuit(WindowHandle window) = 0;

    // --- Handles.

    // How many handles this process holds open right now: keys, files,
    // finds, processes and threads alike. Only differences mean anything;
    // the absolute number includes the runtime's own handles.
    virtual std::size_t OpenHandleCount() = 0;
    // Handles that one wait for a child's input idle leaves open in this
    // process whoever waits: not the caller's to close, so not its leak.
    virtual std::size_t HandlesKeptPerInputIdleWait() { return 0; }
    // The open handles, one line each, for failure messages; empty where
    // they cannot be listed.
    virtual std::vector<std::string> OpenHandleList() { return {}; }
};

// Fails the test when the scope ends with a different number of open
// handles than it began with, plus `keptOpen` (the handles a routine hands
// back on purpose, such as TRegistry's current key). Wrap the routine under
// test only: a HoldOpen token, a process left running or the test's own
// keys would count against it.
class ExpectNoHandleLeak {
  public:
    explicit ExpectNoHandleLeak(ContractEnv& env, std::size_t keptOpen = 0,
                                const char* file = __builtin_FILE(), int line = __builtin_LINE())
        : env_(env),
          listed_(env.OpenHandleList()),
          expected_(env.OpenHandleCount() + keptOpen),
          file_(file),
          line_(line) {}
    ExpectNoHandleLeak(const ExpectNoHandleLeak&) = delete;
    ExpectNoHandleLeak& operator=(const ExpectNoHandleLeak&) = delete;
    ~ExpectNoHandleLeak() {
        const std::size_t now = env_.OpenHandleCount();
        if (now == expected_) return;
        std::string changes;
        const std::vector<std::string> listed = env_.OpenHandleList();
        for (const std::string& handle : listed)
            if (std::find(listed_.begin(), listed_.end(), handle) == listed_.end())
                changes += "\n  opened: " + handle;
        for (const std::string& handle : listed_)
            if (std::find(listed.begin(), listed.end(), handle) == listed.end())
                changes += "\n  closed: " + handle;
        ADD_FAILURE_AT(file_, line_) << "open handles on " << env_.name() << ": " << now
                                     << ", expected " << expected_ << changes;
    }

  private:
    ContractEnv& env_;
    const std::vector<std::string> listed_;
    const std::size_t expected_;
    const char* const file_;
    const int line_;
};

// The environment of this build; set up once per test binary.
ContractEnv& Env();

// Opens HKLM\path, or fails the test (a handle of 0 counts as a failure too).
inline KeyHandle OpenKey(Platform& os, const std::string& path,
                         std::uint32_t access = kKeyAllAccess) {
    KeyHandle key = 0;
    EXPECT_EQ(kErrorSuccess, os.OpenRegistryKey(kHkeyLocalMachine, path, access, &key)) << path;
    EXPECT_NE(0u, key) << path;
    return key;
}

}  // namespace nuben::contract
