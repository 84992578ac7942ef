// Delivery: the payload lands byte for byte in the temp folder, which
// becomes current, and the installer starts by its full quoted path without
// a wait; any failure on the way starts nothing and leaves no handle open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine.h"

namespace nuben::test {
namespace {

const std::string kTarget = kTemp + "nuben_setup.exe";

class DeliveryTest : public FurnishedMachineTest {
  protected:
    void TearDown() override {
        EXPECT_EQ(0u, os.OpenHandleCount()) << "a handle or loaded resource was left";
        EXPECT_EQ(0u, os.BadCloseCount());
        FurnishedMachineTest::TearDown();
    }
    bool Extract(const std::string& target = kTarget) {
        return ExtractResourceToFile(os, fake::FakePlatform::kOwnModule, "EXE", "SETUP_FILE",
                                     target);
    }
};

TEST_F(DeliveryTest, WritesTheInstallerAndStartsItFromTheTempFolderWithoutWaiting) {
    DeliverInstaller(g);
    EXPECT_EQ(kTemp, g.TempDir);
    EXPECT_EQ(InstallerBytes(), os.FileBytes(kTarget));
    EXPECT_EQ(kTemp.substr(0, kTemp.size() - 1), os.CurrentDirectory());
    ASSERT_EQ(1u, os.Starts().size());
    const fake::StartRecord& start = os.Starts()[0];
    EXPECT_EQ(kTarget, start.program);
    EXPECT_EQ(kTarget, start.request.applicationName);
    EXPECT_EQ("\"" + kTarget + "\"", start.request.commandLine);
    EXPECT_EQ(kStartfUseShowWindow, start.request.startup.flags & kStartfUseShowWindow);
    EXPECT_EQ(kSwShowNormal, start.request.startup.showWindow);
    EXPECT_EQ(kTemp.substr(0, kTemp.size() - 1), start.currentDirectory);
    EXPECT_TRUE(os.EventsOf({"WaitInputIdle", "WaitEnd"}).empty());
    // Written and closed before the folder change and the start.
    const auto events = os.EventsOf({"WriteFile", "CloseFile", "SetCurrentDir", "StartProcess"});
    ASSERT_EQ(4u, events.size());
    EXPECT_EQ(0u, events[0].rfind("WriteFile", 0));
    EXPECT_EQ(0u, events[1].rfind("CloseFile", 0));
    EXPECT_EQ(0u, events[2].rfind("SetCurrentDir", 0));
    EXPECT_EQ(0u, events[3].rfind("StartProcess", 0));
}

TEST_F(DeliveryTest, ABlankInTheTempPathNeverStartsAnotherProgram) {
    // With the bare path "C:\Documents and Settings\...", Windows would try these first.
    os.RegisterProgram("C:\\Documents.exe");
    os.RegisterProgram("C:\\Documents and.exe");
    DeliverInstaller(g);
    ASSERT_EQ(1u, os.Starts().size());
    EXPECT_EQ(kTarget, os.Starts()[0].program);
}

TEST_F(DeliveryTest, AnEarlierInstallerIsReplacedWhole) {
    os.MakeFile(kTarget, std::string(20000, 'o'));
    DeliverInstaller(g);
    EXPECT_EQ(InstallerBytes(), os.FileBytes(kTarget));
    EXPECT_EQ(1u, os.Starts().size());
}

TEST_F(DeliveryTest, AnInstallerStillRunningFromAnEarlierAttemptBlocksDelivery) {
    os.MakeFile(kTarget, "earlier installer");
    const int running = os.HoldOpen(kTarget);
    DeliverInstaller(g);
    os.Release(running);
    EXPECT_EQ("earlier installer", os.FileBytes(kTarget));
    EXPECT_TRUE(os.Starts().empty());
    EXPECT_EQ(kWork, os.CurrentDirectory());
}

TEST_F(DeliveryTest, WithoutATempFolderTheBareNameIsUsedInTheCurrentFolder) {
    os.FailNext("TempFolderPath");
    DeliverInstaller(g);
    EXPECT_EQ("", g.TempDir);
    EXPECT_EQ(InstallerBytes(), os.FileBytes(kWork + "\\nuben_setup.exe"));
    EXPECT_EQ(kWork, os.CurrentDirectory());
    ASSERT_EQ(1u, os.Starts().size());
    EXPECT_EQ(kWork + "\\nuben_setup.exe", os.Starts()[0].program);
}

TEST_F(DeliveryTest, ExtractionReportsSuccessOnlyForTheWholeResource) {
    EXPECT_TRUE(Extract());
    EXPECT_EQ(InstallerBytes(), os.FileBytes(kTarget));
    const std::vector<std::string> order = os.EventsOf({"CloseFile", "ReleaseResource"});
    ASSERT_EQ(2u, order.size());
    EXPECT_EQ("CloseFile " + kTarget, order[0]);
    EXPECT_EQ("ReleaseResource SETUP_FILE", order[1]);
}

TEST_F(DeliveryTest, AShortWriteIsAFailureAndNothingStarts) {
    os.ShortenNextWrite(100);
    DeliverInstaller(g);
    EXPECT_TRUE(os.Starts().empty());
    EXPECT_EQ(100u, os.FileBytes(kTarget).size());
    os.ShortenNextWrite(0);
    EXPECT_FALSE(Extract());
}

TEST_F(DeliveryTest, AnEmptyResourceIsAFailure) {
    os.AddResource(fake::FakePlatform::kOwnModule, "EXE", "EMPTY", "");
    EXPECT_FALSE(
        ExtractResourceToFile(os, fake::FakePlatform::kOwnModule, "EXE", "EMPTY", kTarget));
    EXPECT_FALSE(os.Exists(kTarget));
}

TEST_F(DeliveryTest, TheResourceIsLookedUpByTypeAndName) {
    EXPECT_FALSE(
        ExtractResourceToFile(os, fake::FakePlatform::kOwnModule, "RCDATA", "SETUP_FILE", kTarget));
    EXPECT_FALSE(
        ExtractResourceToFile(os, fake::FakePlatform::kOwnModule, "EXE", "OTHER_FILE", kTarget));
    EXPECT_FALSE(ExtractResourceToFile(os, 0x12340000, "EXE", "SETUP_FILE", kTarget));
    EXPECT_FALSE(os.Exists(kTarget));
}

// Each step of the extraction failing on its own.
class DeliveryFailureTest : public DeliveryTest,
                            public ::testing::WithParamInterface<const char*> {};

TEST_P(DeliveryFailureTest, StartsNothingAndLeavesNoHandle) {
    os.FailNext(GetParam());
    DeliverInstaller(g);
    EXPECT_TRUE(os.Starts().empty());
    EXPECT_EQ(kWork, os.CurrentDirectory());
    os.FailNext(GetParam());
    EXPECT_FALSE(Extract());
}

INSTANTIATE_TEST_SUITE_P(EachStep, DeliveryFailureTest,
                         ::testing::Values("FindResourceIn", "LoadResourceData", "ResourceSize",
                                           "LockResourceData", "CreateFileForWriting",
                                           "WriteToFile"));

}  // namespace
}  // namespace nuben::test
