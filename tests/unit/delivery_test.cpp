// Delivery: the payload lands byte for byte in the temp folder, and the
// installer starts there, suspended, by its full quoted path, and is let run
// without a wait; any failure on the way starts nothing and leaves no handle open.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>
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
    void Deliver() { DeliverInstaller(g).LetRun(os); }
    bool Extract(const std::string& target = kTarget) {
        return ExtractResourceToFile(os, fake::FakePlatform::kOwnModule, "EXE", "SETUP_FILE",
                                     target);
    }
};

TEST_F(DeliveryTest, WritesTheInstallerAndStartsItFromTheTempFolderWithoutWaiting) {
    Deliver();
    EXPECT_EQ(kTemp, g.TempDir);
    EXPECT_EQ(InstallerBytes(), os.FileBytes(kTarget));
    EXPECT_EQ(kWork, os.CurrentDirectory()) << "the bootstrapper's own stays";
    ASSERT_EQ(1u, os.Starts().size());
    const fake::StartRecord& start = os.Starts()[0];
    EXPECT_EQ(kTarget, start.program);
    EXPECT_EQ(kTarget, start.request.applicationName);
    EXPECT_EQ("\"" + kTarget + "\"", start.request.commandLine);
    EXPECT_EQ(kStartfUseShowWindow, start.request.startup.flags & kStartfUseShowWindow);
    EXPECT_EQ(kSwShowNormal, start.request.startup.showWindow);
    EXPECT_EQ(kCreateSuspended, start.request.creationFlags);
    EXPECT_TRUE(os.Ran(start));
    EXPECT_EQ(kTemp.substr(0, kTemp.size() - 1), start.currentDirectory);
    EXPECT_TRUE(os.EventsOf({"WaitInputIdle", "WaitEnd"}).empty());
    // In the held temp folder: written and closed, then held, unchanged, until
    // after the start, which asks for System32 DLLs first, in a job that ends
    // it with this run until that limit goes, just before it runs.
    const auto events = os.EventsOf({"HoldFolder", "WriteFile", "CloseFile", "HoldFile",
                                     "StartProcess", "NewJob", "PutInJob", "JobLimits", "Resume"});
    const std::vector<std::string> kinds = {
        "HoldFolder",   "WriteFile",        "CloseFile",         "HoldFile",
        "StartProcess", "NewJob #1 0x3800", "PutInJob #1 job#1", "JobLimits #1 0x1800",
        "Resume #1",    "CloseFile",        "CloseFile"};
    ASSERT_EQ(kinds.size(), events.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(0u, events[i].rfind(kinds[i], 0)) << i;
    EXPECT_NE(std::string::npos, events[4].find("system32-first"));
}

TEST_F(DeliveryTest, ABlankInTheTempPathNeverStartsAnotherProgram) {
    // With the bare path "C:\Documents and Settings\...", Windows would try these first.
    os.RegisterProgram("C:\\Documents.exe");
    os.RegisterProgram("C:\\Documents and.exe");
    Deliver();
    ASSERT_EQ(1u, os.Starts().size());
    EXPECT_EQ(kTarget, os.Starts()[0].program);
}

// Whatever stands under the name goes first, as itself: an earlier file,
// read-only and hidden too, or a link, whose target keeps everything.
TEST_F(DeliveryTest, AnEarlierFileOrLinkUnderTheNameGoesAsItself) {
    os.MakeFile(kTarget, std::string(20000, 'o'), kFileAttributeReadOnly | kFileAttributeHidden);
    Deliver();
    EXPECT_EQ(InstallerBytes(), os.FileBytes(kTarget));
    EXPECT_EQ(1u, os.Starts().size());
    ASSERT_TRUE(os.RemoveFile(kTarget));
    os.MakeFolderLink(kTarget, kSystem);
    Deliver();
    EXPECT_EQ(InstallerBytes(), os.FileBytes(kTarget));
    EXPECT_EQ(2u, os.Starts().size());
    EXPECT_TRUE(os.Exists(kSystem + "\\keep.txt"));
}

// Between the write and the hold another process may change the file or
// hold it. Nothing starts unless the held file is the payload, every byte
// of it, and a file that is not is not left behind. (Each call failing in
// turn: the fault suite.)
TEST_F(DeliveryTest, OnlyAHeldFileThatIsStillThePayloadStarts) {
    const std::vector<std::pair<const char*, std::function<void(fake::FakePlatform&)>>> rows = {
        {"rewritten, same size",
         [](fake::FakePlatform& m) {
             m.MakeFile(kTarget, "MZ" + std::string(InstallerBytes().size() - 2, 'p'));
         }},
        {"appended to", [](fake::FakePlatform& m) { m.MakeFile(kTarget, InstallerBytes() + "x"); }},
        {"held elsewhere for good", [](fake::FakePlatform& m) { m.HoldOpen(kTarget); }},
    };
    for (const auto& row : rows) {
        fake::FakePlatform machine;
        FurnishTypicalMachine(machine);
        machine.OnEveryCall([&](const fake::CallRecord& call) {
            if (call.operation == "OpenFileToHold") row.second(machine);
        });
        GlobalState state(machine);
        DeliverInstaller(state).LetRun(machine);
        EXPECT_TRUE(machine.Starts().empty()) << row.first;
        EXPECT_EQ(machine.IsOpen(kTarget), machine.Exists(kTarget)) << row.first;
    }
}

// A Temp moved and linked (or on a SUBST or mapped drive) is worked in where
// it really is; where the system cannot say (before Vista), as given.
TEST_F(DeliveryTest, ATempFolderBehindALinkIsWorkedInWhereItReallyIs) {
    os.MakeFolderLink("C:\\Linked temp", kWork);
    os.SetTempPath("C:\\Linked temp\\");
    Deliver();
    os.LackFinalPathCall(true);
    Deliver();
    ASSERT_EQ(2u, os.Starts().size());
    EXPECT_EQ(kWork + "\\nuben_setup.exe", os.Starts()[0].request.applicationName);
    EXPECT_EQ("C:\\Linked temp\\nuben_setup.exe", os.Starts()[1].request.applicationName);
    EXPECT_EQ(kWork, os.Starts()[0].currentDirectory);
    EXPECT_EQ("C:\\Linked temp", os.Starts()[1].currentDirectory);
}

// A virus scanner that opens the new file for a moment is waited out, 30
// tries 100 ms apart, at the hold and at the start, and so is an earlier file
// it keeps pending deletion, at the create; "virus detected" is not.
TEST_F(DeliveryTest, AScannerIsWaitedOutButNotAVerdict) {
    const std::vector<std::tuple<const char*, int, long, std::size_t>> rows = {
        {"OpenFileToHold", 2, kErrorSharingViolation, 2},
        {"OpenFileToHold", 30, kErrorAccessDenied, 29},
        {"StartProcess", 3, kErrorAccessDenied, 3},
        {"StartProcess", 1, 225, 0},
        {"CreateNewFileForWriting", 2, kErrorAccessDenied, 2}};
    for (const auto& [operation, times, error, pauses] : rows) {
        fake::FakePlatform machine;
        FurnishTypicalMachine(machine);
        machine.FailNext(operation, "", times, error);
        GlobalState state(machine);
        DeliverInstaller(state).LetRun(machine);
        EXPECT_EQ(times < 30 && error != 225, machine.Starts().size() == 1) << operation << times;
        EXPECT_EQ(std::vector<std::uint32_t>(pauses, 100), machine.Pauses()) << operation << times;
    }
}

// Windows before 10 version 1607 refuses the DLL policy: one plain start.
TEST_F(DeliveryTest, TheDllPolicyRefusedGivesOnePlainStart) {
    os.RefuseDllMitigation(true);
    Deliver();
    ASSERT_EQ(1u, os.Starts().size());
    EXPECT_FALSE(os.Starts()[0].request.preferSystem32Dlls);
    EXPECT_EQ(2u, os.EventsOf({"StartProcess"}).size());
}

TEST_F(DeliveryTest, AnInstallerStillRunningFromAnEarlierAttemptBlocksDelivery) {
    os.MakeFile(kTarget, "earlier installer");
    const int running = os.HoldOpen(kTarget);
    Deliver();
    os.Release(running);
    EXPECT_EQ("earlier installer", os.FileBytes(kTarget));
    EXPECT_TRUE(os.Starts().empty());
}

// A temp folder is worked in as Windows names it, also when its path is too
// long to be had as text; only without any is the current folder.
TEST_F(DeliveryTest, ATempFolderIsWorkedInThoughItCannotBeSpelledAndWithoutOneTheCurrentFolder) {
    const std::string temp = "C:\\Documents and Settings\\user\\Local Settings\\Temp";
    const std::vector<std::pair<std::function<void(fake::FakePlatform&)>, std::string>> rows = {
        {[](fake::FakePlatform& m) { m.FailNext("TempFolderPath"); }, temp},
        {[](fake::FakePlatform& m) { m.SetTempPathTooLong(true); }, temp},
        {[](fake::FakePlatform& m) { m.SetTempPath(""); }, kWork}};
    for (const auto& [setUp, folder] : rows) {
        fake::FakePlatform machine;
        FurnishTypicalMachine(machine);
        setUp(machine);
        GlobalState state(machine);
        DeliverInstaller(state).LetRun(machine);
        EXPECT_EQ("", state.TempDir);
        EXPECT_EQ(InstallerBytes(), machine.FileBytes(folder + "\\nuben_setup.exe")) << folder;
        ASSERT_EQ(1u, machine.Starts().size());
        EXPECT_EQ(folder, machine.Starts()[0].currentDirectory);
        EXPECT_EQ(folder + "\\nuben_setup.exe", machine.Starts()[0].program);
    }
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
    Deliver();
    EXPECT_TRUE(os.Starts().empty());
    EXPECT_FALSE(os.Exists(kTarget)) << "a truncated installer is not left behind";
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
    Deliver();
    EXPECT_TRUE(os.Starts().empty());
    os.FailNext(GetParam());
    EXPECT_FALSE(Extract());
}

INSTANTIATE_TEST_SUITE_P(EachStep, DeliveryFailureTest,
                         ::testing::Values("FindResourceIn", "LoadResourceData", "ResourceSize",
                                           "LockResourceData", "CreateNewFileForWriting",
                                           "WriteToFile"));

}  // namespace
}  // namespace nuben::test
