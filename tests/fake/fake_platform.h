// FakePlatform: an in-memory model of the parts of Windows the bootstrapper
// touches (registry, drive C: and friends, shell folders, resources,
// processes, top-level windows, message boxes). It follows Windows wherever
// the logic depends on it; each such behaviour has a contract test in
// tests/contract that also runs against the real Win32 implementation.
//
// Not a mock: tests set up state, run the logic, then look at the state and
// at the ordered event log. Failures are injected as data: by operation and
// subject (FailNext, FailWhen), or by call number (FailCall, CorruptCall),
// which lets a test fail every call of a run in turn.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace nuben::fake {

// A file time well inside the DOS date range (2010-01-01 00:00 UTC).
constexpr std::uint64_t kDefaultFileTime = 129067776000000000ull;

// Bytes outside printable ASCII as \xNN, so dumps and messages read the
// same everywhere.
std::string Printable(const std::string& text);

class FakePlatform;

// What a started program does to the machine (runs when it starts, or when
// it ends: see RegisterProgram).
using ProgramEffect = std::function<void(FakePlatform&, const ProcessStart&)>;

struct StartRecord {
    ProcessStart request;
    std::string program;           // the file that was started, as resolved
    std::string currentDirectory;  // the started process's current folder
    ProcessHandle process = 0;
    ProcessHandle thread = 0;
    int id = 0;  // the process's number in the log ("#n")
};

struct BoxRecord {
    WindowHandle owner = 0;
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
    int answer = 0;
};

// Odd answers a read can give instead of the true one (CorruptCall). Each
// operation reads them in its own terms; OddDataFor lists which apply.
enum class OddData {
    kWrongType,  // a value of a non-text type; an entry or attributes with the directory bit
                 // flipped
    kEmpty,      // size 0: an empty value, name, text or path
    kOneByte,    // only the first byte
    kNoNul,      // the text without its terminating NUL (or the buffer filled to the brim)
    kHuge,       // far more than any buffer holds (1 MiB values, 1000-byte names and paths)
    kGarbage,    // bytes that make no sense: lone lead bytes, 0x5C after a lead byte, a NUL inside
    kTraversal,  // a name or path that climbs out of where it was found ("..\\..", a leading
                 // backslash)
};
const char* OddDataName(OddData kind);

// One Platform call as the fake saw it, numbered from 1 in call order.
struct CallRecord {
    std::size_t number = 0;
    std::string operation;  // the Platform method's name
    std::string subject;    // what the call was about (path, key, value, command line...)
    bool answered = false;  // it succeeded with data that an odd answer could replace
};

struct PostRecord {
    WindowHandle window = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class FakePlatform : public Platform {
  public:
    static constexpr ModuleHandle kOwnModule = 0x00400000;
    static constexpr WindowHandle kDesktop = 0x00010010;

    FakePlatform();
    ~FakePlatform() override;
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    // ===== Set-up and inspection (not logged) =====

    // --- Registry. `root` is kHkeyLocalMachine or kHkeyCurrentUser.
    void CreateKey(KeyHandle root, const std::string& path);
    void SetValue(KeyHandle root, const std::string& keyPath, const std::string& name,
                  std::uint32_t type, const std::string& bytes);
    // REG_SZ (or `type`) with the text and its terminating NUL.
    void SetText(KeyHandle root, const std::string& keyPath, const std::string& name,
                 const std::string& text, std::uint32_t type = 1);
    // Removes the key with everything below it (set-up only, not logged).
    void RemoveKey(KeyHandle root, const std::string& path);
    bool KeyExists(KeyHandle root, const std::string& path) const;
    bool ValueExists(KeyHandle root, const std::string& keyPath, const std::string& name) const;
    std::vector<std::string> SubkeyNames(KeyHandle root, const std::string& path) const;
    // Every key by raw path ("HKLM\\SOFTWARE\\..."), with its values and
    // denied bits in one comparable string per key.
    std::map<std::string, std::string> RegistryState() const;
    // Opening the key with any of these access bits fails with ERROR_ACCESS_DENIED;
    // kDelete also makes RegDeleteKey fail.
    void DenyKeyAccess(KeyHandle root, const std::string& path, std::uint32_t deniedBits);
    // RegQueryInfoKeyA's longest-name length: in characters, as Windows
    // counts it (the default), or in bytes (off), which some systems give.
    void ReportSubkeyLengthInCharacters(bool on) { lengthInCharacters_ = on; }

    // --- Files. Paths are absolute ("C:\\a\\b"); parents are created as needed.
    void AddDrive(char letter);
    void AddShare(const std::string& uncRoot);  // "\\\\server\\share"
    void MakeFolder(const std::string& path, std::uint32_t attributes = 0);
    void MakeFile(const std::string& path, const std::string& bytes = std::string(),
                  std::uint32_t attributes = 0);
    // A folder link (junction) at `linkPath` whose contents are those of `target`.
    void MakeFolderLink(const std::string& linkPath, const std::string& target);
    // Another name for the folder `target` that is no link, as Sysnative is.
    void MakeAlias(const std::string& aliasPath, const std::string& target);
    void SetLastWriteTime(const std::string& path, std::uint64_t fileTime);
    bool Exists(const std::string& path) const;
    bool IsFolder(const std::string& path) const;
    std::string FileBytes(const std::string& path) const;
    std::uint32_t AttributesAt(const std::string& path) const;
    // Keeps a file open elsewhere, without sharing, until Release(token).
    int HoldOpen(const std::string& path);
    void Release(int token);
    // Another process's MoveFileA (a link itself is moved): false, and
    // nothing changes, when `from` is missing or open without sharing delete
    // (HoldOpen, OpenFolderToHold) or `to` exists.
    bool MoveEntry(const std::string& from, const std::string& to);
    std::string CurrentDirectory() const { return cwd_; }
    void SetCurrentDirectoryTo(const std::string& path);
    // Every entry below the roots with its attributes and size, one a line:
    // compare two snapshots to prove nothing else changed.
    std::string FileSnapshot() const;
    // The same, by raw path ("C:\\a\\b"): attributes, bytes and link target
    // in one comparable string per entry. Link targets are not entered.
    std::map<std::string, std::string> FileState() const;
    // Whether a file is open (a handle of the program or HoldOpen).
    bool IsOpen(const std::string& path) const;
    // Minutes between UTC and local time, for ConvertsToLocalDosTime.
    void SetLocalTimeBias(std::int64_t minutes) { biasMinutes_ = minutes; }

    // --- Shell, system.
    void SetSpecialFolder(int csidl, const std::string& path);
    // The known-folder manager's folders, a path per id ("" for one without a
    // path); until set, the manager cannot be had, as before Vista.
    void SetKnownFolders(std::vector<std::string> paths) { knownFolders_ = std::move(paths); }
    void SetTempPath(const std::string& path) { tempPath_ = path; }
    // A temp folder whose path is too long for the ANSI buffers: TempFolderPath
    // gives "" and FinalPathOfHeld "" at and below it, while the held-folder
    // calls work in it as Windows names it.
    void SetTempPathTooLong(bool on) { longTemp_ = on; }
    // 949 (Korean), 932 (Japanese) or 1252 (no lead bytes). Also sets
    // SM_DBCSENABLED to match; set it before adding names with double-byte text.
    void SetCodePage(int codePage);
    void SetDbcsEnabled(bool on) { dbcsEnabled_ = on; }
    void SetWindowsNt(bool on) { windowsNt_ = on; }
    // A system without GetFinalPathNameByHandleA (before Vista).
    void LackFinalPathCall(bool on) { finalPathCall_ = !on; }

    // --- Resources.
    void AddResource(ModuleHandle module, const std::string& type, const std::string& name,
                     const std::string& bytes);

    // --- Processes. A program is found by its path (case-insensitively),
    // also when ".exe" was left off. Existing files start too, with no effect.
    // A process ends when its end is waited for, or, never waited for, when
    // the job it is in has been counted `livesForCounts` times (< 0: never).
    // A process started suspended does nothing until its thread resumes.
    void RegisterProgram(const std::string& path, ProgramEffect effect = nullptr,
                         bool effectWhenWaitedFor = false, int livesForCounts = -1);
    // From inside a ProgramEffect: the program whose effect runs starts the
    // registered `path`, which inherits its job unless it breaks away.
    void StartChild(const std::string& path, bool breakingAway = false);
    const std::vector<StartRecord>& Starts() const { return starts_; }
    // Whether a started process ever ran; whether it is suspended, not ended, still.
    bool Ran(const StartRecord& start) const { return processes_[start.id - 1].ran; }
    bool Suspended(const StartRecord& start) const {
        return processes_[start.id - 1].suspended && !processes_[start.id - 1].ended;
    }
    // A Windows older than 10 version 1607: a start that asks for System32
    // DLLs first fails with ERROR_INVALID_PARAMETER.
    void RefuseDllMitigation(bool on) { refuseMitigation_ = on; }
    // Another copy of the program holds a mutex of this name.
    void HoldMutexElsewhere(const std::string& name) { ++mutexes_[Fold(name)]; }

    // --- Windows: appended at the bottom of the z-order.
    WindowHandle AddWindow(const std::string& className, const std::string& text,
                           bool visible = true);
    // A window whose title an ANSI program of this system set from `bytes`:
    // read in the system's code page it is those bytes; read as 949 text (on
    // a system of another code page) it is other characters, modelled as
    // ones 949 cannot spell.
    WindowHandle AddAnsiProgramWindow(const std::string& className, const std::string& bytes);
    void DestroyWindow(WindowHandle window);
    // Moves `window` to the top of the z-order, as activating it does.
    void RaiseWindow(WindowHandle window);
    // Destroys `window` right after the `nth` call of `operation` on it
    // returns ("IsLiveWindow", "ClassNameOf", "WindowTextOf", "RelatedWindow").
    void DestroyAfter(WindowHandle window, const std::string& operation, int nth = 1);
    const std::vector<PostRecord>& Posts() const { return posts_; }
    // "TfrmNuBen|<title>#3": class, text and creation number, for the log.
    std::string Describe(WindowHandle window) const;

    // --- Message boxes: answers in order; an unscripted box fails (returns 0).
    void QueueAnswers(const std::vector<int>& answers);
    const std::vector<BoxRecord>& Boxes() const { return boxes_; }

    const std::vector<std::uint32_t>& Pauses() const { return pauses_; }

    // --- Failure injection. `operation` is a Platform method name, plus
    // "QueryRegistryValueData" (only reads with a buffer) and "ShortWrite".
    // `subject` is the full path (key path "HKLM\\..."), value name, resource
    // name or command line the call is about; "" matches every call.
    void FailNext(const std::string& operation, const std::string& subject = std::string(),
                  int times = 1, long errorCode = kErrorGenFailure);
    void FailWhen(const std::string& operation,
                  std::function<bool(const std::string& subject)> predicate,
                  long errorCode = kErrorGenFailure);
    // The next write to a file writes only `bytes` bytes and still reports success.
    void ShortenNextWrite(std::uint32_t bytes) { shortWrite_ = static_cast<std::int64_t>(bytes); }

    // --- Failure injection by call number. Every Platform call is counted and
    // recorded; a run repeated on a fresh fake makes the same calls in the
    // same order, so call `number` of one run is call `number` of the next.
    const std::vector<CallRecord>& Calls() const { return calls_; }
    // Call `number` fails the way its operation fails on Windows (an error
    // code, an invalid handle, false, 0 or ""). A failing close still closes.
    void FailCall(std::size_t number);
    // Call `number` answers with odd data of `kind` when it has data to give.
    void CorruptCall(std::size_t number, OddData kind);
    // Whether FailCall means anything for this operation (Sleep and
    // FreeResource have no way to fail).
    static bool CanFail(const std::string& operation);
    // The odd answers that this operation can give.
    static std::vector<OddData> OddDataFor(const std::string& operation);
    // Beyond `calls` calls every call fails, so a runaway loop ends;
    // BudgetExceeded() then tells. 0: no limit.
    void SetCallBudget(std::size_t calls) { budget_ = calls; }
    bool BudgetExceeded() const { return budgetExceeded_; }
    // Runs before every Platform call acts (for checks at the moment of a call).
    void OnEveryCall(std::function<void(const CallRecord&)> observer) {
        observer_ = std::move(observer);
    }
    // Planned faults that were applied so far.
    std::size_t FaultsApplied() const { return faultsApplied_; }

    // --- The event log: "Kind details", in call order.
    const std::vector<std::string>& Events() const { return events_; }
    std::vector<std::string> EventsOf(const std::vector<std::string>& kinds) const;
    void ClearEvents() { events_.clear(); }

    // Handles handed out and not yet closed (keys, files, finds, processes,
    // threads, loaded resources).
    std::size_t OpenHandleCount() const { return handles_.size(); }
    // Closes of handles that were not open (double closes, wrong kinds).
    std::size_t BadCloseCount() const { return badCloses_; }
    std::string Dump() const;

    // ===== Platform =====
    long OpenRegistryKey(KeyHandle base, const std::string& path, std::uint32_t access,
                         KeyHandle* out) override;
    long QueryRegistryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override;
    long QueryRegistryKeyInfo(KeyHandle key, std::uint32_t* subkeys,
                              std::uint32_t* maxSubkeyLen) override;
    long EnumRegistrySubkey(KeyHandle key, std::uint32_t index, char* name,
                            std::uint32_t* nameLen) override;
    long DeleteRegistryKey(KeyHandle base, const std::string& path) override;
    long CloseRegistryKey(KeyHandle key) override;

    bool IsWindowsNt() override;
    bool IsDbcsEnabled() override;
    bool IsLeadByte(std::uint8_t byte) override;
    std::string UpperCaseText(const std::string& text) override;

    std::uint32_t FileAttributesOf(const std::string& path) override;
    bool ChangeFileAttributes(const std::string& path, std::uint32_t attributes) override;
    FindHandle FindFirstEntry(const std::string& pattern, FindEntry* entry) override;
    bool FindNextEntry(FindHandle find, FindEntry* entry) override;
    bool CloseFind(FindHandle find) override;
    bool RemoveFile(const std::string& path) override;
    bool RemoveEmptyDirectory(const std::string& path) override;
    FileHandle CreateNewFileForWriting(const std::string& path, std::uint32_t* error) override;
    bool WriteToFile(FileHandle file, const void* data, std::uint32_t size,
                     std::uint32_t* written) override;
    FileHandle OpenFileToHold(const std::string& path, std::uint32_t* error) override;
    bool ReadFromFile(FileHandle file, void* data, std::uint32_t size,
                      std::uint32_t* read) override;
    bool CloseFile(FileHandle file) override;
    FileHandle OpenFolderToHold(const std::string& path) override;
    FileHandle OpenFolderToHoldThroughLink(const std::string& path) override;
    std::uint32_t HeldAttributesOf(FileHandle file) override;
    bool FinalPathOfHeld(FileHandle file, std::string* path) override;
    FileHandle OpenEntryToChange(const std::string& path) override;
    bool ChangeHeldAttributes(FileHandle file, std::uint32_t attributes) override;
    FileHandle HoldTempFolder() override;
    FileHandle CreateNewFileIn(FileHandle folder, const std::string& asGiven,
                               const std::string& name, std::uint32_t* error) override;
    FileHandle OpenFileToHoldIn(FileHandle folder, const std::string& asGiven,
                                const std::string& name, std::uint32_t* error) override;
    bool RemoveEntryIn(FileHandle folder, const std::string& asGiven,
                       const std::string& name) override;
    std::string TempFolderPath() override;
    bool ChangeCurrentDirectory(const std::string& path) override;
    std::string FullPathOf(const std::string& path) override;
    bool ConvertsToLocalDosTime(std::uint64_t fileTime) override;

    std::string SpecialFolderPath(int csidl) override;
    std::string SpecialFolderOrAbove(int csidl) override;
    bool KnownFolderPaths(std::vector<std::string>* paths) override;

    ModuleHandle OwnModule() override;
    ResourceInfo FindResourceIn(ModuleHandle module, const std::string& name,
                                const std::string& type) override;
    ResourceData LoadResourceData(ModuleHandle module, ResourceInfo info) override;
    std::uint32_t ResourceSize(ModuleHandle module, ResourceInfo info) override;
    const void* LockResourceData(ResourceData data) override;
    void ReleaseResourceData(ResourceData data) override;

    bool StartProcess(const ProcessStart& request, StartedProcess* started) override;
    std::uint32_t WaitUntilInputIdle(ProcessHandle process, std::uint32_t timeoutMs) override;
    std::uint32_t WaitUntilSignalled(ProcessHandle handle, std::uint32_t timeoutMs) override;
    bool CloseProcessHandle(ProcessHandle handle) override;
    bool EndStartedProcess(ProcessHandle process) override;
    ProcessHandle CreateNamedMutex(const std::string& name, bool* alreadyExisted) override;
    ProcessHandle NewJob(std::uint32_t limits) override;
    bool ChangeJobLimits(ProcessHandle job, std::uint32_t limits) override;
    bool PutProcessInJob(ProcessHandle job, ProcessHandle process) override;
    bool ResumeStartedThread(ProcessHandle thread) override;
    bool CountJobProcesses(ProcessHandle job, std::uint32_t* active) override;
    void Pause(std::uint32_t milliseconds) override;

    WindowHandle DesktopWindow() override;
    WindowHandle RelatedWindow(WindowHandle window, std::uint32_t command) override;
    bool IsLiveWindow(WindowHandle window) override;
    int ClassNameOf(WindowHandle window, char* buffer, int size) override;
    int WindowTextOf(WindowHandle window, char* buffer, int size) override;
    int SystemWindowTextOf(WindowHandle window, char* buffer, int size) override;
    bool PostMessageTo(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) override;
    int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                       std::uint32_t style) override;

  private:
    struct KeyValue {
        std::string name;  // as first written
        std::uint32_t type = 0;
        std::string bytes;
    };
    struct KeyNode {
        std::string name;
        KeyNode* parent = nullptr;
        std::map<std::string, std::shared_ptr<KeyNode>> subkeys;  // by folded name
        std::map<std::string, KeyValue> values;                   // by folded name
        std::uint32_t denied = 0;
        bool deleted = false;
    };
    struct FsNode {
        std::string name;
        FsNode* parent = nullptr;
        std::uint32_t attributes = 0;  // kFileAttributeDirectory marks a folder
        std::uint64_t lastWrite = kDefaultFileTime;
        std::string bytes;
        std::map<std::string, std::shared_ptr<FsNode>> children;  // by folded name
        std::string linkTarget;                                   // folder links only
        int openCount = 0;  // open without sharing (handles and holds)
        int holdCount = 0;  // held by OpenFolderToHold: all but delete shared
        bool IsFolder() const { return (attributes & kFileAttributeDirectory) != 0; }
    };
    enum HandleKind { kKey, kFile, kFind, kProcess, kThread, kResource, kJob, kMutex };
    struct Handle {
        int kind = kKey;
        std::shared_ptr<KeyNode> key;
        std::uint32_t access = 0;
        std::shared_ptr<FsNode> file;
        bool folderHold = false;  // from OpenFolderToHold
        bool sharesAll = false;   // from OpenEntryToChange: blocks nothing
        std::string path;
        std::vector<FindEntry> entries;
        std::size_t next = 0;  // a find's next entry; a file's read position
        int process = 0;       // index + 1 into processes_; a job's number for kJob
        std::size_t resource = 0;
    };
    struct Program {
        std::string path;
        ProgramEffect effect;
        bool whenWaitedFor = false;
        int livesForCounts = -1;
    };
    struct Process {
        int program = -1;  // index into programs_, -1 for a plain file
        ProcessStart request;
        bool ended = false;
        bool suspended = false;
        bool ran = false;
        int job = 0;  // 0: in no job
        int countsLeft = -1;
    };
    struct Window {
        WindowHandle handle = 0;
        std::string className;
        std::string text;
        int textCodePage = 949;  // the code page `text` was set in
        bool visible = true;
        bool alive = true;
        int number = 0;
        std::string destroyAfter;
        int destroyCountdown = 0;
    };
    struct Injection {
        std::string operation;
        std::string subject;  // folded; "" for every call
        int remaining = 0;    // < 0: every matching call
        std::function<bool(const std::string&)> predicate;
        long code = kErrorGenFailure;
    };
    struct CallPlan {
        std::size_t number = 0;
        bool fail = false;
        bool odd = false;
        OddData kind = OddData::kEmpty;
    };
    struct Resource {
        ModuleHandle module = 0;
        std::string type;
        std::string name;
        std::string bytes;
    };
    // A path taken apart: the folder it lies in, and the entry itself if present.
    struct Located {
        bool valid = false;
        std::shared_ptr<FsNode> parent;
        std::shared_ptr<FsNode> node;
        std::string name;
        std::string full;
    };

    // Text rules of the active code page.
    bool LeadByte(std::uint8_t byte) const;
    std::string Fold(const std::string& text) const;
    std::vector<std::string> SplitBackslash(const std::string& text) const;
    bool EndsWithBackslash(const std::string& text) const;
    std::string WithSeparator(const std::string& path) const;

    // Registry.
    std::shared_ptr<KeyNode> RootNode(KeyHandle root) const;
    std::shared_ptr<KeyNode> KeyOf(KeyHandle handle, std::uint32_t* access) const;
    // What every call on an open key checks first, in Windows' order: the
    // handle, its deletion, the access it was opened with (0: none needed),
    // then a planned failure. Null, with *code set, when the call must stop.
    std::shared_ptr<KeyNode> UsableKey(KeyHandle key, std::uint32_t neededAccess,
                                       const CallPlan& plan, long* code);
    std::shared_ptr<KeyNode> FindKey(const std::shared_ptr<KeyNode>& base, const std::string& path,
                                     long* code) const;
    std::shared_ptr<KeyNode> MakeKey(KeyHandle root, const std::string& path);
    std::string KeyPath(const KeyNode& node) const;
    std::string KeyPathFor(KeyHandle base, const std::string& path) const;
    // Takes a key and its subtree out of the tree (RegDeleteKey, RemoveKey).
    void Unlink(const std::shared_ptr<KeyNode>& node);

    // Files.
    std::string Normalise(const std::string& path) const;
    Located Locate(const std::string& path, bool followLast, int depth = 0) const;
    enum Opening { kToChange, kFolderHold, kFolderHoldThroughLink, kFileHold };
    // `name` in a held folder: where the folder is now, else `asGiven`.
    std::string PathIn(FileHandle folder, const std::string& asGiven, const std::string& name);
    // Whether `path` is at or below a temp folder that code page 949 cannot spell.
    bool InLongTemp(const std::string& path) const;
    FileHandle OpenEntryItself(const char* operation, const char* logged, const std::string& path,
                               Opening opening, std::uint32_t* error = nullptr);
    std::shared_ptr<FsNode> RootFor(const std::string& full, std::string* rest) const;
    std::shared_ptr<FsNode> FollowLink(const std::shared_ptr<FsNode>& node, int depth) const;
    std::uint32_t ReportedAttributes(const FsNode& node) const;
    std::size_t CharacterCount(const std::string& text) const;
    std::shared_ptr<FsNode> NodeAt(const std::string& path, bool followLast) const;
    std::shared_ptr<FsNode> MakeNode(const std::string& path, bool folder);
    std::string NodePath(const FsNode& node) const;
    FindEntry EntryOf(const std::string& name, const FsNode& node) const;

    // Handles, injections, log.
    std::uintptr_t NewHandle(Handle handle);
    Handle* HandleOf(std::uintptr_t value, int kind);
    bool Injected(const std::string& operation, const std::string& subject, long* code = nullptr);
    // Counts and records a Platform call; returns what is planned for it.
    CallPlan Enter(const char* operation, const std::string& subject);
    void MarkAnswered(const CallPlan& plan);
    void Corrupt(const CallPlan& plan, FindEntry* entry);
    std::string CorruptPath(const CallPlan& plan, const std::string& path) const;
    int CorruptText(const CallPlan& plan, const std::string& text, char* buffer, int size);
    std::uint32_t OddValue(const CallPlan& plan, std::uint32_t type, std::string* bytes) const;
    std::string OddName(const CallPlan& plan, const std::string& name) const;
    void Log(const std::string& line) { events_.push_back(line); }
    void AfterWindowCall(WindowHandle window, const std::string& operation);
    Window* LiveWindow(WindowHandle window);
    int FetchWindowText(const char* operation, WindowHandle window, char* buffer, int size,
                        int codePage);
    std::string ResolveProgram(const ProcessStart& request) const;
    // Runs the process's effect if it is due at its start (or at its end).
    void RunEffect(int id, bool atEnd);
    void EndProcess(int id);

    int codePage_ = 949;
    bool dbcsEnabled_ = true;
    bool windowsNt_ = true;
    bool finalPathCall_ = true;
    bool longTemp_ = false;
    bool lengthInCharacters_ = true;
    std::int64_t biasMinutes_ = 0;

    std::shared_ptr<KeyNode> hklm_;
    std::shared_ptr<KeyNode> hkcu_;

    std::map<std::string, std::shared_ptr<FsNode>> roots_;  // by folded root ("C:")
    std::string cwd_ = "C:\\";
    std::string tempPath_ = "C:\\Temp\\";
    std::map<int, std::string> specialFolders_;
    std::optional<std::vector<std::string>> knownFolders_;
    std::map<int, std::shared_ptr<FsNode>> holds_;
    int nextHold_ = 1;
    std::int64_t shortWrite_ = -1;

    std::deque<Resource> resources_;
    std::vector<Program> programs_;
    std::vector<Process> processes_;
    std::vector<StartRecord> starts_;
    int running_ = 0;  // the process whose effect runs
    bool refuseMitigation_ = false;
    std::map<std::string, int> mutexes_;  // open handles by folded name
    int jobs_ = 0;
    std::map<int, std::uint32_t> jobLimits_;  // by job number

    std::vector<Window> windows_;
    std::vector<PostRecord> posts_;
    std::deque<int> answers_;
    std::vector<BoxRecord> boxes_;
    std::vector<std::uint32_t> pauses_;

    std::vector<Injection> injections_;
    std::vector<CallRecord> calls_;
    std::map<std::size_t, CallPlan> plans_;
    std::size_t budget_ = 0;
    bool budgetExceeded_ = false;
    std::size_t faultsApplied_ = 0;
    std::function<void(const CallRecord&)> observer_;
    std::map<std::uintptr_t, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x1000;
    std::size_t badCloses_ = 0;
    std::vector<std::string> events_;
};

}  // namespace nuben::fake
