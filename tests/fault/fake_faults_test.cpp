// The fake's call-numbered fault plans: the fault-injection runs are only
// as good as these, so they are held to their word here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_platform.h"

namespace nuben::fault {
namespace {

class FakeFaultsTest : public ::testing::Test {
  protected:
    void SetUp() override { os.SetText(kHkeyLocalMachine, "SOFTWARE\\App", "Path", "C:\\App"); }
    void TearDown() override {
        if (HasFailure()) std::fprintf(stderr, "%s", os.Dump().c_str());
    }

    long Open(KeyHandle* key) {
        return os.OpenRegistryKey(kHkeyLocalMachine, "SOFTWARE\\App", kKeyRead, key);
    }

    // Reads "Path" the way TRegistry does: size first, then the data.
    std::pair<std::uint32_t, std::string> ReadPath(KeyHandle key) {
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        EXPECT_EQ(0, os.QueryRegistryValue(key, "Path", &type, nullptr, &size));
        std::vector<std::uint8_t> data(size);
        EXPECT_EQ(0, os.QueryRegistryValue(key, "Path", &type, data.data(), &size));
        return {type, std::string(data.begin(), data.begin() + size)};
    }

    fake::FakePlatform os;
};

TEST_F(FakeFaultsTest, CallsAreNumberedInOrderAndOnlyThePlannedOneFails) {
    os.FailCall(2);
    KeyHandle first = 0, second = 0, third = 0;
    EXPECT_EQ(0, Open(&first));
    EXPECT_NE(0, Open(&second));
    EXPECT_EQ(0, Open(&third));
    ASSERT_EQ(3u, os.Calls().size());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(i + 1, os.Calls()[i].number);
        EXPECT_EQ("OpenRegistryKey", os.Calls()[i].operation);
    }
    EXPECT_EQ(1u, os.FaultsApplied());
    EXPECT_EQ(2u, os.OpenHandleCount());
    os.CloseRegistryKey(first);
    os.CloseRegistryKey(third);
}

TEST_F(FakeFaultsTest, AFailingCloseStillLetsTheHandleGo) {
    KeyHandle key = 0;
    ASSERT_EQ(0, Open(&key));
    os.FailCall(2);
    EXPECT_NE(0, os.CloseRegistryKey(key));
    EXPECT_EQ(0u, os.OpenHandleCount());
    EXPECT_EQ(0u, os.BadCloseCount());
}

TEST_F(FakeFaultsTest, OddRegistryValuesAreWhatTheirNamesSay) {
    struct Case {
        fake::OddData kind;
        std::uint32_t type;
        std::string bytes;
    };
    const std::string path = "C:\\App";
    const std::vector<Case> cases = {
        {fake::OddData::kWrongType, 4, path + std::string(1, '\0')},
        {fake::OddData::kEmpty, 1, ""},
        {fake::OddData::kOneByte, 1, "C"},
        {fake::OddData::kNoNul, 1, path},
    };
    for (const Case& c : cases) {
        fake::FakePlatform machine;
        machine.SetText(kHkeyLocalMachine, "SOFTWARE\\App", "Path", path);
        KeyHandle key = 0;
        ASSERT_EQ(0, machine.OpenRegistryKey(kHkeyLocalMachine, "SOFTWARE\\App", kKeyRead, &key));
        // Call 2 is the size query, call 3 the data read: both see the odd value.
        machine.CorruptCall(2, c.kind);
        machine.CorruptCall(3, c.kind);
        std::uint32_t type = 0, size = 0;
        ASSERT_EQ(0, machine.QueryRegistryValue(key, "Path", &type, nullptr, &size));
        std::vector<std::uint8_t> data(size + 1);
        ASSERT_EQ(0, machine.QueryRegistryValue(key, "Path", &type, data.data(), &size));
        EXPECT_EQ(c.type, type) << fake::OddDataName(c.kind);
        EXPECT_EQ(c.bytes, std::string(data.begin(), data.begin() + size))
            << fake::OddDataName(c.kind);
        EXPECT_EQ(2u, machine.FaultsApplied());
        machine.CloseRegistryKey(key);
    }

    KeyHandle key = 0;
    ASSERT_EQ(0, Open(&key));
    os.CorruptCall(2, fake::OddData::kHuge);
    os.CorruptCall(3, fake::OddData::kHuge);
    EXPECT_GT(ReadPath(key).second.size(), 1u << 20);
    os.CorruptCall(4, fake::OddData::kGarbage);
    os.CorruptCall(5, fake::OddData::kGarbage);
    const std::string garbage = ReadPath(key).second;
    EXPECT_NE(std::string::npos, garbage.find('\0'));
    EXPECT_NE('\0', garbage.back()) << "a NUL inside, none at the end";
    os.CorruptCall(6, fake::OddData::kTraversal);
    os.CorruptCall(7, fake::OddData::kTraversal);
    EXPECT_NE(std::string::npos, ReadPath(key).second.find("\\..\\"));
    os.CloseRegistryKey(key);
}

TEST_F(FakeFaultsTest, OnlyReadsWithDataToGiveAreMarkedAnswered) {
    KeyHandle key = 0;
    ASSERT_EQ(0, Open(&key));
    std::uint32_t type = 0, size = 0;
    os.QueryRegistryValue(key, "Path", &type, nullptr, &size);
    os.QueryRegistryValue(key, "Missing", &type, nullptr, &size);
    os.CloseRegistryKey(key);
    ASSERT_EQ(4u, os.Calls().size());
    EXPECT_TRUE(os.Calls()[1].answered);
    EXPECT_FALSE(os.Calls()[2].answered);
    EXPECT_TRUE(fake::FakePlatform::OddDataFor("CloseRegistryKey").empty());
    EXPECT_FALSE(fake::FakePlatform::OddDataFor("EnumRegistrySubkey").empty());
}

TEST_F(FakeFaultsTest, PlansAnOperationCannotHonourAreNotApplied) {
    os.FailCall(1);                                // Sleep cannot fail
    os.CorruptCall(2, fake::OddData::kWrongType);  // no such odd answer for a temp path
    os.Pause(10);
    EXPECT_EQ("C:\\Temp\\", os.TempFolderPath());
    EXPECT_EQ(0u, os.FaultsApplied());
}

TEST_F(FakeFaultsTest, OddWindowTextsStayInsideTheBuffer) {
    const WindowHandle window = os.AddWindow("TfrmNuBen", "누벤");
    char buffer[8];
    std::memset(buffer, 0x55, sizeof buffer);
    os.CorruptCall(1, fake::OddData::kNoNul);
    EXPECT_EQ(6, os.ClassNameOf(window, buffer, 6));
    EXPECT_EQ(0x55, buffer[6]) << "nothing written past the size given";
    EXPECT_EQ(std::string("TfrmNu"), std::string(buffer, 6));
    os.CorruptCall(2, fake::OddData::kEmpty);
    EXPECT_EQ(0, os.ClassNameOf(window, buffer, 8));
    EXPECT_EQ(std::string("TfrmNuB"), std::string(buffer)) << "written, yet reported as failed";
}

TEST_F(FakeFaultsTest, BeyondTheBudgetEveryCallFailsAndTheFakeSaysSo) {
    os.SetCallBudget(2);
    EXPECT_FALSE(os.TempFolderPath().empty());
    EXPECT_FALSE(os.TempFolderPath().empty());
    EXPECT_FALSE(os.BudgetExceeded());
    EXPECT_TRUE(os.TempFolderPath().empty());
    EXPECT_TRUE(os.BudgetExceeded());
}

TEST_F(FakeFaultsTest, TheObserverSeesEachCallBeforeItActs) {
    std::vector<std::string> seen;
    os.OnEveryCall([&](const fake::CallRecord& call) {
        seen.push_back(call.operation + " " + (os.Exists("C:\\Temp\\x.bin") ? "exists" : "absent"));
    });
    std::uint32_t error = 0;
    const FileHandle file = os.CreateNewFileForWriting("C:\\Temp\\x.bin", &error);
    os.CloseFile(file);
    EXPECT_EQ((std::vector<std::string>{"CreateNewFileForWriting absent", "CloseFile exists"}),
              seen);
}

}  // namespace
}  // namespace nuben::fault
