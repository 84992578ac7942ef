// RunAndWait really waits: the child's last act is visible when it returns.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "contract_env.h"
#include "u_Global/u_Global.h"

namespace nuben::contract {
namespace {

TEST(RunAndWaitContract, ReturnsOnlyAfterTheProgramHasEnded) {
    ContractEnv& env = Env();
    const std::string marker = env.ScratchFolder() + "done.txt";
    const std::string command = env.SleeperCommand(1000, marker);
    const auto before = std::chrono::steady_clock::now();
    {
        // The ended child's process and thread handles too; only the one
        // wait for input idle may leave what the system keeps for it.
        ExpectNoHandleLeak guard(env, env.HandlesKeptPerInputIdleWait());
        EXPECT_TRUE(RunAndWait(env.os(), command, SW_SHOWNORMAL_VALUE)) << command;
    }
    const auto elapsed = std::chrono::steady_clock::now() - before;
    EXPECT_TRUE(env.Exists(marker)) << env.name();
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 1000);
}

TEST(RunAndWaitContract, CommandsThatCannotStartFail) {
    ContractEnv& env = Env();
    const std::string missing = "\"" + env.ScratchFolder() + "no such program.exe\" /S";
    ExpectNoHandleLeak guard(env);
    EXPECT_FALSE(RunAndWait(env.os(), "", SW_SHOWNORMAL_VALUE));
    EXPECT_FALSE(RunAndWait(env.os(), missing, SW_SHOWNORMAL_VALUE));
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
        EXPECT_FALSE(RunAndWait(env.os(), padded, SW_SHOWNORMAL_VALUE)) << length;
        EXPECT_FALSE(env.Exists(marker)) << length;
    }
}

}  // namespace
}  // namespace nuben::contract
