// RunAndWait hands the command line over untouched, waits for input-idle
// and then for the end, and closes the process handle before the thread's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine.h"

namespace nuben::test {
namespace {

const std::string kUninstaller = "C:\\Program Files\\NU-BEN\\unins000.exe";

class RunAndWaitTest : public MachineTest {
  protected:
    void TearDown() override {
        EXPECT_EQ(0u, os.OpenHandleCount());
        EXPECT_EQ(0u, os.BadCloseCount());
        MachineTest::TearDown();
    }
};

TEST_F(RunAndWaitTest, StartsTheCommandLineExactlyAsStored) {
    os.RegisterProgram(kUninstaller);
    const std::string command = kUninstaller + " /SILENT \"a b\"";  // unquoted blanks
    ASSERT_TRUE(RunAndWait(os, command, 7));
    ASSERT_EQ(1u, os.Starts().size());
    const fake::StartRecord& start = os.Starts()[0];
    EXPECT_EQ("", start.request.applicationName);
    EXPECT_EQ(command, start.request.commandLine);
    EXPECT_FALSE(start.request.inheritHandles);
    EXPECT_EQ(0x20u, start.request.creationFlags);
    EXPECT_EQ(68u, start.request.startup.size);
    EXPECT_EQ(1u, start.request.startup.flags);
    EXPECT_EQ(7u, start.request.startup.showWindow);
    EXPECT_EQ(kUninstaller, start.program);
}

TEST_F(RunAndWaitTest, WaitsForIdleThenForTheEndThenClosesProcessAndThread) {
    os.RegisterProgram(kUninstaller);
    ASSERT_TRUE(RunAndWait(os, "\"" + kUninstaller + "\"", kSwShowNormal));
    EXPECT_EQ((std::vector<std::string>{
                  "StartProcess app= cmd=\"" + kUninstaller + "\" -> " + kUninstaller,
                  "WaitInputIdle #1 0xFFFFFFFF",
                  "WaitEnd #1 0xFFFFFFFF",
                  "CloseProcessHandle process#1",
                  "CloseProcessHandle thread#1",
              }),
              os.EventsOf({"StartProcess", "WaitInputIdle", "WaitEnd", "CloseProcessHandle"}));
}

// Given something to wait for, the program runs in a job of its own from
// its first instruction: started suspended, put in the job, then let run.
TEST_F(RunAndWaitTest, WithSomethingPendingRunsTheProgramInAJobFromItsStart) {
    os.RegisterProgram(kUninstaller);
    ASSERT_TRUE(RunAndWait(os, kUninstaller, kSwShowNormal, [] { return true; }));
    EXPECT_EQ(0x24u, os.Starts()[0].request.creationFlags);
    EXPECT_EQ(
        (std::vector<std::string>{
            "NewJob #1 0x800", "StartProcess app= cmd=" + kUninstaller + " -> " + kUninstaller,
            "PutInJob #1 job#1", "Resume #1", "WaitInputIdle #1 0xFFFFFFFF",
            "WaitEnd #1 0xFFFFFFFF", "CountJob #1 -> 0", "CloseProcessHandle process#1",
            "CloseProcessHandle thread#1", "CloseProcessHandle job#1"}),
        os.Events());
}

// A process that cannot be let run would be waited for forever, and would
// linger suspended for good: it is ended instead.
TEST_F(RunAndWaitTest, AProgramThatCannotResumeIsEndedAndNotWaitedFor) {
    os.RegisterProgram(kUninstaller);
    os.FailNext("ResumeStartedThread");
    EXPECT_FALSE(RunAndWait(os, kUninstaller, kSwShowNormal, [] { return true; }));
    EXPECT_TRUE(os.EventsOf({"WaitInputIdle", "WaitEnd", "CountJob"}).empty());
    EXPECT_EQ((std::vector<std::string>{"EndProcess #1"}), os.EventsOf({"EndProcess"}));
}

TEST_F(RunAndWaitTest, WhatTheProgramDoesBeforeItEndsIsDoneWhenItReturns) {
    os.CreateKey(kHkeyLocalMachine, kBetaKey);
    os.RegisterProgram(
        kUninstaller,
        [](fake::FakePlatform& machine, const ProcessStart&) {
            machine.RemoveKey(kHkeyLocalMachine, kBetaKey);
        },
        /*effectWhenWaitedFor=*/true);
    ASSERT_TRUE(RunAndWait(os, kUninstaller, kSwShowNormal));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, kBetaKey));
}

TEST_F(RunAndWaitTest, ACommandThatDoesNotStartFailsWithoutWaiting) {
    EXPECT_FALSE(RunAndWait(os, "", kSwShowNormal));
    EXPECT_FALSE(RunAndWait(os, "C:\\missing\\unins000.exe /S", kSwShowNormal));
    os.RegisterProgram(kUninstaller);
    os.FailNext("StartProcess");
    EXPECT_FALSE(RunAndWait(os, kUninstaller, kSwShowNormal));
    EXPECT_TRUE(os.Starts().empty());
    EXPECT_TRUE(os.EventsOf({"WaitInputIdle", "WaitEnd", "CloseProcessHandle"}).empty());
}

}  // namespace
}  // namespace nuben::test
