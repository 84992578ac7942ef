// RunAndWait really waits: the child's last act is visible when it returns.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "contract_env.h"
#include "platform/handles.h"
#include "u_Global/u_Global.h"

namespace nuben::contract {
namespace {

using HandOver = ContractEnv::HandOver;

TEST(RunAndWaitContract, ReturnsOnlyAfterTheProgramHasEnded) {
    ContractEnv& env = Env();
    const std::string marker = env.ScratchFolder() + "done.txt";
    const std::string command = env.SleeperCommand(1000, marker);
    const auto before = std::chrono::steady_clock::now();
    {
        // The ended child's process and thread handles too; only the one
        // wait for input idle may leave what the system keeps for it.
        ExpectNoHandleLeak guard(env, env.HandlesKeptPerInputIdleWait());
        EXPECT_TRUE(RunAndWait(env.os(), command, kSwShowNormal)) << command;
    }
    const auto elapsed = std::chrono::steady_clock::now() - before;
    EXPECT_TRUE(env.Exists(marker)) << env.name();
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 1000);
}

// A program that hands over to a copy of itself ends at once; the job it
// was put in before it ran counts the copy as active until the copy ends.
// A copy started to break away from the job leaves it, and is not refused
// (an uninstaller that insists on it would fail to hand over).
TEST(RunAndWaitContract, TheJobCountsTheCopyAProgramHandsOverToUntilItEnds) {
    for (const HandOver mode : {HandOver::kToCopy, HandOver::kToCopyBreakingAway}) {
        const bool counted = mode == HandOver::kToCopy;
        SCOPED_TRACE(counted ? "copy in the job" : "copy breaking away");
        ContractEnv& env = Env();
        Platform& os = env.os();
        const std::string marker = env.ScratchFolder() + (counted ? "copy done.txt" : "away.txt");
        ExpectNoHandleLeak guard(env, env.HandlesKeptPerInputIdleWait());
        unique_handle job(os, os.NewJob(kJobObjectLimitBreakawayOk));
        ASSERT_TRUE(job);
        ProcessStart request;
        request.commandLine = env.SleeperCommand(1000, marker, mode);
        request.creationFlags = kNormalPriorityClass | kCreateSuspended;
        request.startup = {kStartupInfoSize, kStartfUseShowWindow, kSwShowNormal};
        StartedProcess started;
        ASSERT_TRUE(os.StartProcess(request, &started)) << request.commandLine;
        unique_process_information info;
        info.process = unique_handle(os, started.process);
        info.thread = unique_handle(os, started.thread);
        ASSERT_TRUE(os.PutProcessInJob(job.get(), info.process.get()));
        ASSERT_TRUE(os.ResumeStartedThread(info.thread.get()));
        os.WaitUntilInputIdle(info.process.get(), kInfinite);
        EXPECT_EQ(0u, os.WaitUntilSignalled(info.process.get(), kInfinite));

        std::uint32_t active = 0;
        ASSERT_TRUE(os.CountJobProcesses(job.get(), &active));
        EXPECT_EQ(counted ? 1u : 0u, active) << "the copy, once its starter has ended";
        if (counted) {
            EXPECT_FALSE(env.Exists(marker)) << "the copy is still at work";
        }
        for (int polls = 0; polls < 300 && active != 0; ++polls) {
            if (polls > 0) os.Pause(100);
            ASSERT_TRUE(os.CountJobProcesses(job.get(), &active));
        }
        EXPECT_EQ(0u, active);
        // Out of the job, only its marker tells that the copy ran.
        for (int polls = 0; polls < 300 && !counted && !env.Exists(marker); ++polls) os.Pause(100);
        EXPECT_TRUE(env.Exists(marker));
    }
}

// RunAndWait holds on while the copy works, and not once nothing is pending.
TEST(RunAndWaitContract, WaitsForAHandedOverCopyWhileSomethingIsPending) {
    ContractEnv& env = Env();
    const std::string marker = env.ScratchFolder() + "copy done.txt";
    int asked = 0;
    {
        ExpectNoHandleLeak guard(env, env.HandlesKeptPerInputIdleWait());
        EXPECT_TRUE(RunAndWait(env.os(), env.SleeperCommand(1000, marker, HandOver::kToCopy),
                               kSwShowNormal, [&asked] { return ++asked > 0; }));
    }
    EXPECT_TRUE(env.Exists(marker)) << env.name();
    EXPECT_GE(asked, 2);
}

// The two waits RunAndWait makes: input idle comes at the program's first
// message check, long before its end; only the second wait lasts to the end.
TEST(RunAndWaitContract, InputIdleComesLongBeforeTheEndThatTheLastWaitAwaits) {
    constexpr std::uint32_t kSleepMs = 1500;
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string marker = env.ScratchFolder() + "slept.txt";

    ProcessStart request;
    request.commandLine = env.SleeperCommand(kSleepMs, marker);
    request.creationFlags = kNormalPriorityClass;
    request.startup = {kStartupInfoSize, kStartfUseShowWindow, kSwShowNormal};
    StartedProcess started;
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(os.StartProcess(request, &started)) << request.commandLine;
    os.WaitUntilInputIdle(started.process, kInfinite);
    EXPECT_FALSE(env.Exists(marker));
    EXPECT_EQ(kWaitObject0, os.WaitUntilSignalled(started.process, kInfinite));
    const auto elapsed = std::chrono::steady_clock::now() - before;
    EXPECT_TRUE(os.CloseProcessHandle(started.process));
    EXPECT_TRUE(os.CloseProcessHandle(started.thread));

    EXPECT_TRUE(env.Exists(marker));
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(),
              static_cast<long long>(kSleepMs));
}

TEST(RunAndWaitContract, CommandsThatCannotStartFail) {
    ContractEnv& env = Env();
    const std::string missing = "\"" + env.ScratchFolder() + "no such program.exe\" /S";
    ExpectNoHandleLeak guard(env);
    EXPECT_FALSE(RunAndWait(env.os(), "", kSwShowNormal));
    EXPECT_FALSE(RunAndWait(env.os(), missing, kSwShowNormal));
}

// A suspended process never runs once it is ended, or once the last handle
// of a job that kills on close goes (its owner's end or crash); with that
// limit lifted first it lives on, and runs once let go.
TEST(RunAndWaitContract, ASuspendedProcessEndedOrItsKillingJobClosedNeverRuns) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    constexpr std::uint32_t kLetGo = kJobObjectLimitBreakawayOk | kJobObjectLimitSilentBreakawayOk;
    for (const std::string way : {"ended", "job closed", "limit lifted"}) {
        ExpectNoHandleLeak guard(env);
        const bool lifted = way == "limit lifted";
        const std::string marker = env.ScratchFolder() + way + ".txt";
        ProcessStart request;
        request.commandLine = env.SleeperCommand(0, marker);
        request.creationFlags = kCreateSuspended;
        request.startup = {kStartupInfoSize, kStartfUseShowWindow, kSwShowNormal};
        StartedProcess started;
        ASSERT_TRUE(os.StartProcess(request, &started));
        unique_process_information info;
        info.process = unique_handle(os, started.process);
        info.thread = unique_handle(os, started.thread);
        unique_handle job(os, os.NewJob(kLetGo | kJobObjectLimitKillOnJobClose));
        EXPECT_TRUE(way == "ended" ? os.EndStartedProcess(started.process)
                                   : os.PutProcessInJob(job.get(), started.process));
        EXPECT_TRUE(!lifted || os.ChangeJobLimits(job.get(), kLetGo));
        job.reset();
        const std::uint32_t ended = os.WaitUntilSignalled(started.process, lifted ? 0 : 10000);
        EXPECT_EQ(lifted, ended != kWaitObject0) << way << " on " << env.name();
        os.ResumeStartedThread(started.thread);
        EXPECT_EQ(kWaitObject0, os.WaitUntilSignalled(started.process, 10000));
        EXPECT_EQ(lifted, env.Exists(marker)) << way;
    }
}

// Windows takes at most 32,767 characters with the NUL. A longer registered
// command must not run some other command: 70,000 characters reach a
// program under Wine as their first 4,464 unless refused first.
TEST(RunAndWaitContract, CommandLinesLongerThanWindowsTakesDoNotStart) {
    ContractEnv& env = Env();
    const std::string marker = env.ScratchFolder() + "ran.txt";
    const std::string command = env.SleeperCommand(0, marker) + " ";
    for (const std::size_t length : {std::size_t{32767}, std::size_t{70000}}) {
        ExpectNoHandleLeak guard(env);
        std::string padded = command;
        padded.resize(length, 'x');
        EXPECT_FALSE(RunAndWait(env.os(), padded, kSwShowNormal)) << length;
        EXPECT_FALSE(env.Exists(marker)) << length;
    }
}

}  // namespace
}  // namespace nuben::contract
