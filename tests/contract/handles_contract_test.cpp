// The open-handle count that every leak check stands on: it sees each kind
// of handle the routines open, and only until it is closed; and an open
// that fails hands out nothing the caller would have to close.
#include <gtest/gtest.h>

#include <string>

#include "contract_env.h"

namespace nuben::contract {
namespace {

TEST(HandleContract, EveryKindTheRoutinesOpenCountsUntilItIsClosed) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string key = env.ScratchKey();
    const std::string dir = env.ScratchFolder();
    env.MakeFile(dir + "listed.txt", "x");
    ProcessStart request;
    request.commandLine = env.SleeperCommand(0, dir + "slept.txt");
    request.startup = {68, 1, 1};
    const std::size_t base = env.OpenHandleCount();

    KeyHandle opened = 0;
    ASSERT_EQ(kErrorSuccess, os.OpenRegistryKey(kHkeyLocalMachine, key, kKeyRead, &opened));
    EXPECT_EQ(base + 1, env.OpenHandleCount()) << "a key, " << env.name();
    std::uint32_t error = 0;
    const FileHandle file = os.CreateNewFileForWriting(dir + "written.bin", &error);
    ASSERT_NE(kInvalidHandle, file);
    EXPECT_EQ(base + 2, env.OpenHandleCount()) << "a file";
    FindEntry entry;
    // Left unfinished: Wine lets go of a find's folder once it has listed
    // everything, so only a find still under way holds a handle there.
    const FindHandle find = os.FindFirstEntry(dir + "*.txt", &entry);
    ASSERT_NE(kInvalidHandle, find);
    EXPECT_EQ(base + 3, env.OpenHandleCount()) << "a find";
    StartedProcess started;
    ASSERT_TRUE(os.StartProcess(request, &started)) << request.commandLine;
    EXPECT_EQ(base + 5, env.OpenHandleCount()) << "a process and its thread";

    EXPECT_EQ(0u, os.WaitUntilSignalled(started.process, kInfinite));
    EXPECT_TRUE(os.CloseProcessHandle(started.thread));
    EXPECT_TRUE(os.CloseProcessHandle(started.process));
    EXPECT_EQ(base + 3, env.OpenHandleCount()) << "an ended process";
    EXPECT_TRUE(os.CloseFind(find));
    EXPECT_TRUE(os.CloseFile(file));
    EXPECT_EQ(kErrorSuccess, os.CloseRegistryKey(opened));
    EXPECT_EQ(base, env.OpenHandleCount()) << env.name();
}

TEST(HandleContract, AnOpenThatFailsHandsOutNothing) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string key = env.ScratchKey();
    const std::string dir = env.ScratchFolder();
    env.MakeFolder(dir + "folder");
    ExpectNoHandleLeak guard(env);

    KeyHandle opened = 0;
    EXPECT_EQ(kErrorFileNotFound,
              os.OpenRegistryKey(kHkeyLocalMachine, key + "\\Missing", kKeyRead, &opened));
    std::uint32_t error = 0;
    EXPECT_EQ(kInvalidHandle, os.CreateNewFileForWriting(dir + "folder", &error));
    EXPECT_EQ(kInvalidHandle, os.CreateNewFileForWriting(dir + "missing\\file.bin", &error));
    FindEntry entry;
    EXPECT_EQ(kInvalidHandle, os.FindFirstEntry(dir + "*.none", &entry));
    EXPECT_EQ(kInvalidHandle, os.FindFirstEntry(dir + "missing\\*.*", &entry));
    ProcessStart request;
    request.commandLine = "\"" + dir + "no such program.exe\"";
    request.startup = {68, 1, 1};
    StartedProcess started;
    EXPECT_FALSE(os.StartProcess(request, &started));
    request.commandLine.clear();
    EXPECT_FALSE(os.StartProcess(request, &started)) << "an empty command line";
}

// One run at a time stands on this: a second open of a name is told that the
// name exists, in both namespaces, until the last handle to it is closed.
TEST(HandleContract, ANamedMutexTellsLaterOpenersUntilItsLastHandleCloses) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    for (const std::string name : {"Global\\NuBenContract", "Local\\NuBenContract"}) {
        ExpectNoHandleLeak guard(env);
        bool existed = true;
        const ProcessHandle first = os.CreateNamedMutex(name, &existed);
        ASSERT_NE(0u, first) << name << " on " << env.name();
        EXPECT_FALSE(existed);
        const ProcessHandle second = os.CreateNamedMutex(name, &existed);
        ASSERT_NE(0u, second);
        EXPECT_TRUE(existed) << name;
        EXPECT_TRUE(os.CloseProcessHandle(first));
        EXPECT_TRUE(os.CloseProcessHandle(second));
        const ProcessHandle again = os.CreateNamedMutex(name, &existed);
        EXPECT_FALSE(existed) << "gone with its last handle";
        EXPECT_TRUE(os.CloseProcessHandle(again));
    }
}

}  // namespace
}  // namespace nuben::contract
