// The handle owner closes exactly once, hands over on move and lets go on release.
#include "platform/handles.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "fake_platform.h"

namespace nuben {
namespace {

std::vector<int> closed;

struct CountingTraits {
    using Type = int;
    static constexpr Type Invalid() { return -1; }
    static void Close(Platform&, Type h) { closed.push_back(h); }
};
using Counted = UniqueHandle<CountingTraits>;

class UniqueHandleTest : public ::testing::Test {
  protected:
    void SetUp() override { closed.clear(); }
    fake::FakePlatform os;
};

TEST_F(UniqueHandleTest, ClosesOnceAtScopeEnd) {
    {
        Counted h(os, 7);
        EXPECT_TRUE(h.valid());
        EXPECT_EQ(7, h.get());
    }
    EXPECT_EQ(std::vector<int>{7}, closed);
}

TEST_F(UniqueHandleTest, InvalidAndDefaultHandlesAreNeverClosed) {
    {
        Counted none;
        Counted invalid(os, -1);
        EXPECT_FALSE(invalid);
        EXPECT_FALSE(none);
    }
    EXPECT_TRUE(closed.empty());
}

TEST_F(UniqueHandleTest, MovingHandsOverWithoutClosing) {
    {
        Counted a(os, 1);
        Counted b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(1, b.get());
        EXPECT_TRUE(closed.empty());
        Counted c(os, 2);
        c = std::move(b);  // c's own handle goes first
        EXPECT_EQ(std::vector<int>{2}, closed);
        EXPECT_EQ(1, c.get());
    }
    EXPECT_EQ((std::vector<int>{2, 1}), closed);
}

TEST_F(UniqueHandleTest, ReleaseGivesUpWithoutClosingAndResetClosesNow) {
    Counted a(os, 3);
    EXPECT_EQ(3, a.release());
    EXPECT_FALSE(a.valid());
    Counted b(os, 4);
    b.reset();
    b.reset();
    EXPECT_EQ(std::vector<int>{4}, closed);
}

TEST_F(UniqueHandleTest, ProcessInformationClosesProcessThenThread) {
    ProcessStart request;
    request.commandLine = "C:\\tool.exe";
    os.MakeFile("C:\\tool.exe", "MZ");
    StartedProcess started;
    ASSERT_TRUE(os.StartProcess(request, &started));
    {
        unique_process_information info;
        info.thread = unique_handle(os, started.thread);
        info.process = unique_handle(os, started.process);
    }
    EXPECT_EQ(
        (std::vector<std::string>{"CloseProcessHandle process#1", "CloseProcessHandle thread#1"}),
        os.EventsOf({"CloseProcessHandle"}));
    EXPECT_EQ(0u, os.OpenHandleCount());
}

TEST_F(UniqueHandleTest, KeyAndFileOwnersCloseThroughThePlatform) {
    KeyHandle key = 0;
    os.CreateKey(kHkeyLocalMachine, "SOFTWARE\\X");
    ASSERT_EQ(0, os.OpenRegistryKey(kHkeyLocalMachine, "SOFTWARE\\X", 0x20019, &key));
    { unique_hkey owner(os, key); }
    {
        std::uint32_t error = 0;
        unique_hfile file(os, os.CreateNewFileForWriting("C:\\Temp\\f.bin", &error));
        EXPECT_TRUE(file);
    }
    { unique_hfile invalid(os, kInvalidHandle); }
    EXPECT_EQ(0u, os.OpenHandleCount());
    EXPECT_EQ(0u, os.BadCloseCount());
}

}  // namespace
}  // namespace nuben
