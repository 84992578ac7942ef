// The Windows contract test runner: GoogleTest, with each test's scratch
// key and folder removed when the test ends (pass or fail).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "win32_env.h"

namespace {

class ScratchCleaner : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { nuben::contract::EndWin32Scratch(); }
};

}  // namespace

int main(int argc, char** argv) {
    // The suite runs under 949 and under 1252: say which this run has.
    std::fprintf(stderr, "contract_tests: ANSI code page %u\n", GetACP());
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ScratchCleaner);
    const int failed = RUN_ALL_TESTS();
    nuben::contract::EndWin32Scratch();
    return failed;
}
