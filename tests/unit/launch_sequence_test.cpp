// RunLaunchSequence, row by row through its state table, with the exact
// boxes shown and the exact order of what it does to the machine.
#include "main/launch_sequence.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "expected_boxes.h"
#include "machine.h"

namespace nuben::test {
namespace {

const std::string kUninstaller = "C:\\Program Files\\NU-BEN\\unins000.exe";
const std::string kApp = kProgramFiles + "\\누벤";
const std::string kInstaller = kTemp + "nuben_setup.exe";

struct Box {
    std::string text;
    std::uint32_t style;
    bool operator==(const Box& o) const { return text == o.text && style == o.style; }
};
std::ostream& operator<<(std::ostream& out, const Box& box) {
    return out << "{style " << std::hex << box.style << std::dec << ", " << box.text.size()
               << " bytes}";
}

class LaunchTest : public FurnishedMachineTest {
  protected:
    void SetUp() override {
        FurnishedMachineTest::SetUp();
        reportTool = os.AddWindow("TfrmRepMain", "누벤 신고하기");  // above the main window
        mainWindow = os.AddWindow("TfrmNuBen", "누벤");
        os.AddWindow("TfrmNuBen", "누벤 베타");
        os.AddWindow("TfrmRepMain", "누벤 신고");
    }
    void TearDown() override {
        EXPECT_EQ(0u, os.OpenHandleCount());
        FurnishedMachineTest::TearDown();
    }

    void RegisterBeta(bool withUninstallString = true) {
        os.SetText(kHkeyLocalMachine, kBetaKey, "DisplayName", "누벤");
        if (withUninstallString)
            os.SetText(kHkeyLocalMachine, kBetaKey, "UninstallString", kUninstaller + " /S");
    }
    void InstallBeta(bool uninstallerRemovesIt, bool withUninstallString = true) {
        RegisterBeta(withUninstallString);
        os.RegisterProgram(
            kUninstaller,
            [uninstallerRemovesIt](fake::FakePlatform& machine, const ProcessStart&) {
                if (uninstallerRemovesIt) machine.RemoveKey(kHkeyLocalMachine, kBetaKey);
            },
            /*effectWhenWaitedFor=*/true);
    }
    void InstallVersion20() {
        os.CreateKey(kHkeyLocalMachine, kV20Key);
        os.SetText(kHkeyLocalMachine, kProductKey, "InstallPath", kApp);
        os.MakeFile(kApp + "\\NuBen.exe", "exe");
    }

    std::vector<Box> Boxes() const {
        std::vector<Box> boxes;
        for (const auto& box : os.Boxes()) {
            EXPECT_EQ(0u, box.owner);
            EXPECT_EQ(kCaption, box.caption);
            boxes.push_back(Box{box.text, box.style});
        }
        return boxes;
    }
    // What the run did, in order, in short: boxes by style, posts, pauses,
    // started programs, waits, successful removals, the installer's file.
    std::vector<std::string> Trace() const {
        std::vector<std::string> trace;
        for (const std::string& line : os.Events()) {
            const std::string kind = line.substr(0, line.find(' '));
            const auto endsWith = [&line](const std::string& tail) {
                return line.size() >= tail.size() &&
                       line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
            };
            const bool ok = endsWith(" -> 0") || endsWith(" -> ok");
            if (kind == "MessageBox") {
                trace.push_back("Box " + line.substr(line.find("style=") + 6, 10));
            } else if (kind == "StartProcess" && line.find(" -> fail") == std::string::npos) {
                trace.push_back("Start " + line.substr(line.rfind(" -> ") + 4));
            } else if ((kind == "PutInJob" || kind == "JobLimits" || kind == "Resume" ||
                        kind == "EndProcess") &&
                       line.find(" #1") != std::string::npos) {
                trace.push_back(line);  // the installer's, process and job #1
            } else if (kind == "PostMessage" || kind == "Pause" || kind == "WaitInputIdle" ||
                       kind == "WaitEnd" || kind == "CountJob" ||
                       (ok &&
                        (kind == "CreateFile" || kind == "SetCurrentDir" || kind == "RemoveFile" ||
                         kind == "RemoveDir" || kind == "DeleteKey"))) {
                trace.push_back(line);
            }
        }
        return trace;
    }
    // The beta road up to its uninstaller's end: asked, the installer
    // written, started suspended and bound, the main window told to quit, the
    // uninstaller started and awaited.
    std::vector<std::string> BetaRemoval() const {
        return Then({"Box 0x00040024"},
                    Then(kStarted, {Post(mainWindow), "Start " + kUninstaller,
                                    "WaitInputIdle #2 0xFFFFFFFF", "WaitEnd #2 0xFFFFFFFF"}));
    }
    // The suspended installer let run, unbound first, once whatever had to go is gone.
    std::vector<std::string> Delivery() const { return {"JobLimits #1 0x1800", "Resume #1"}; }
    const std::string kWritten = "CreateFile " + kInstaller + " -> ok";
    const std::vector<std::string> kStarted = {kWritten, "Start " + kInstaller,
                                               "PutInJob #1 job#1"};
    const std::vector<std::string> kEnded = {"EndProcess #1", "WaitEnd #1 0xFFFFFFFF"};
    const std::string kDropped = "RemoveFile " + kInstaller + " -> ok";
    std::string Post(WindowHandle window) const {
        return "PostMessage " + os.Describe(window) + " 0x0012";
    }
    static std::vector<std::string> Then(std::vector<std::string> first,
                                         const std::vector<std::string>& second) {
        first.insert(first.end(), second.begin(), second.end());
        return first;
    }

    WindowHandle reportTool = 0;
    WindowHandle mainWindow = 0;
};

TEST_F(LaunchTest, NothingInstalled_NoBoxAndTheInstallerIsDelivered) {
    RunLaunchSequence(g);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Then(kStarted, Delivery()), Trace());
    EXPECT_EQ(InstallerBytes(), os.FileBytes(kInstaller));
}

TEST_F(LaunchTest, BetaDeclined_EndsAtOnceWithoutTouchingAnything) {
    InstallBeta(true);
    os.QueueAnswers({kIdNo});
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<Box>{{kBetaQuestion, kQuestionStyle}}), Boxes());
    EXPECT_EQ((std::vector<std::string>{"Box 0x00040024"}), Trace());
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, kBetaKey));
}

TEST_F(LaunchTest, BetaAcceptedAndRemoved_MainWindowToldUninstallerAwaitedThenDelivery) {
    InstallBeta(true);
    os.QueueAnswers({kIdYes});
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<Box>{{kBetaQuestion, kQuestionStyle}}), Boxes());
    EXPECT_EQ(Then(BetaRemoval(), Delivery()), Trace());
    ASSERT_EQ(2u, os.Starts().size());
    EXPECT_EQ(kUninstaller + " /S", os.Starts()[1].request.commandLine) << "as registered";
    EXPECT_EQ(kSwShowNormal, os.Starts()[1].request.startup.showWindow);
    EXPECT_EQ(kWork, os.Starts()[1].currentDirectory) << "the bootstrapper's own";
}

TEST_F(LaunchTest, BetaAcceptedButStillRegistered_BetaBlockedAndNoDelivery) {
    InstallBeta(false);
    os.QueueAnswers({kIdYes});
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<Box>{{kBetaQuestion, kQuestionStyle}, {kBetaBlocked, kErrorStyle}}),
              Boxes());
    EXPECT_EQ(
        Then(Then(BetaRemoval(), {"CountJob #2 -> 0"}), Then(kEnded, {kDropped, "Box 0x00040010"})),
        Trace());
    EXPECT_FALSE(os.Exists(kInstaller)) << "never let run, nor left behind";
    EXPECT_FALSE(os.Ran(os.Starts()[0]));
}

// How an uninstaller goes about it, and what the wait after its end does.
// NSIS's uninstallers hand their work over to a copy of themselves in the
// temp folder and end at once; the copy runs in the uninstaller's job.
struct UninstallerRow {
    const char* name;
    fake::ProgramEffect uninstaller;  // what it does when it starts
    bool copyRemovesIt;               // the copy it may hand over to, at the copy's end
    const char* refused;              // a job call that fails, or ""
    std::vector<std::string> afterItsEnd;
    bool blocked;
};
const std::string kCopy = kTemp + "~nsu.tmp\\Au_.exe";
const std::string kBrowser = "C:\\Program Files\\Browser\\browser.exe";
const fake::ProgramEffect kStartsCopy = [](fake::FakePlatform& m, const ProcessStart&) {
    m.StartChild(kCopy);
};
const fake::ProgramEffect kRemovesBeta = [](fake::FakePlatform& m, const ProcessStart&) {
    m.RemoveKey(kHkeyLocalMachine, kBetaKey);
};
// A browser left open on a survey page.
const fake::ProgramEffect kRemovesBetaOpensBrowser = [](fake::FakePlatform& m,
                                                        const ProcessStart& start) {
    m.StartChild(kBrowser);
    kRemovesBeta(m, start);
};
const std::vector<std::string> kCopyEndsAtSecondCount = {"CountJob #2 -> 1", "Pause 100",
                                                         "CountJob #2 -> 0"};

void PrintTo(const UninstallerRow& row, std::ostream* out) {
    *out << row.name;
}

class UninstallerTest : public LaunchTest, public ::testing::WithParamInterface<UninstallerRow> {};

TEST_P(UninstallerTest, TheRecheckComesOnlyWhenTheWorkIsDone) {
    const UninstallerRow& row = GetParam();
    RegisterBeta();
    os.RegisterProgram(kUninstaller, row.uninstaller);
    os.RegisterProgram(kCopy, row.copyRemovesIt ? kRemovesBeta : nullptr, true, 2);
    os.RegisterProgram(kBrowser);
    // The uninstaller's job call is the second: the installer's comes first.
    if (*row.refused)
        os.FailWhen(row.refused, [n = 0](const std::string&) mutable { return ++n == 2; });
    os.QueueAnswers({kIdYes});
    RunLaunchSequence(g);
    EXPECT_EQ(Then(Then(BetaRemoval(), row.afterItsEnd),
                   row.blocked ? Then(kEnded, {kDropped, "Box 0x00040010"}) : Delivery()),
              Trace());
}

// The early remover is still waited for to its end; the browser holds
// nothing back. Without a job (nesting refused, or none to be had) only the
// uninstaller itself is waited for, and the copy is still at work.
INSTANTIATE_TEST_SUITE_P(
    Kinds, UninstallerTest,
    ::testing::Values(
        UninstallerRow{"HandOverRemovesIt", kStartsCopy, true, "", kCopyEndsAtSecondCount, false},
        UninstallerRow{"HandOverKeepsIt", kStartsCopy, false, "", kCopyEndsAtSecondCount, true},
        UninstallerRow{"EarlyRemovalBySingleProcess", kRemovesBeta, false, "", {}, false},
        UninstallerRow{
            "HelperLeftRunningAfterRemoval", kRemovesBetaOpensBrowser, false, "", {}, false},
        UninstallerRow{"JobAssignmentRefused", kStartsCopy, true, "PutProcessInJob", {}, true},
        UninstallerRow{"NoJob", kStartsCopy, true, "NewJob", {}, true}),
    [](const ::testing::TestParamInfo<UninstallerRow>& row) {
        return std::string(row.param.name);
    });

TEST_F(LaunchTest, BetaWithoutUninstallString_NothingStartsAndBetaBlocked) {
    InstallBeta(true, /*withUninstallString=*/false);
    os.QueueAnswers({kIdYes});
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<Box>{{kBetaQuestion, kQuestionStyle}, {kBetaBlocked, kErrorStyle}}),
              Boxes());
    EXPECT_EQ(Then(Then({"Box 0x00040024"}, kStarted),
                   Then({Post(mainWindow)}, Then(kEnded, {kDropped, "Box 0x00040010"}))),
              Trace());
}

TEST_F(LaunchTest, Version20Declined_BlockedWithTheInformationIconAndNothingRemoved) {
    InstallVersion20();
    os.QueueAnswers({kIdNo});
    const std::string before = os.FileSnapshot();
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<Box>{{kV20Question, kQuestionStyle}, {kV20Blocked, kInfoStyle}}),
              Boxes());
    EXPECT_EQ((std::vector<std::string>{"Box 0x00040024", "Box 0x00040040"}), Trace());
    EXPECT_EQ(before, os.FileSnapshot());
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, kV20Key));
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, kProductKey));
}

TEST_F(LaunchTest, Version20Accepted_WindowsToldInOrderPauseRemovalThenDelivery) {
    InstallVersion20();
    os.QueueAnswers({kIdYes});
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<Box>{{kV20Question, kQuestionStyle}}), Boxes());
    EXPECT_EQ(
        Then(Then({"Box 0x00040024"}, kStarted),
             Then({Post(mainWindow), Post(reportTool), "Pause 1000",
                   "RemoveFile " + kApp + "\\NuBen.exe -> ok", "RemoveDir " + kApp + " -> ok",
                   "DeleteKey HKLM\\SOFTWARE\\NU-BEN -> 0", "DeleteKey HKLM\\" + kV20Key + " -> 0"},
                  Delivery())),
        Trace());
}

TEST_F(LaunchTest, BetaAndVersion20_OnlyTheBetaPathRunsAnd20StaysUntouched) {
    InstallBeta(true);
    InstallVersion20();
    os.QueueAnswers({kIdYes});
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<Box>{{kBetaQuestion, kQuestionStyle}}), Boxes());
    EXPECT_EQ(Then(BetaRemoval(), Delivery()), Trace());
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, kV20Key));
    EXPECT_TRUE(os.Exists(kApp + "\\NuBen.exe"));
}

TEST_F(LaunchTest, BetaAndVersion20Declined_OnlyTheBetaQuestion) {
    InstallBeta(true);
    InstallVersion20();
    os.QueueAnswers({kIdNo});
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<Box>{{kBetaQuestion, kQuestionStyle}}), Boxes());
}

// Only IDYES is consent: a failed box (0) or any other answer is a No.
class NotAYesTest : public LaunchTest, public ::testing::WithParamInterface<int> {};

TEST_P(NotAYesTest, OnTheBetaPathEndsLikeADecline) {
    InstallBeta(true);
    os.QueueAnswers({GetParam()});
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<std::string>{"Box 0x00040024"}), Trace());
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, kBetaKey));
}

TEST_P(NotAYesTest, OnThe20PathShowsTheRefusalAndRemovesNothing) {
    InstallVersion20();
    os.QueueAnswers({GetParam()});
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<Box>{{kV20Question, kQuestionStyle}, {kV20Blocked, kInfoStyle}}),
              Boxes());
    EXPECT_EQ((std::vector<std::string>{"Box 0x00040024", "Box 0x00040040"}), Trace());
    EXPECT_TRUE(os.Exists(kApp + "\\NuBen.exe"));
}

INSTANTIATE_TEST_SUITE_P(Answers, NotAYesTest, ::testing::Values(0, 1, 2, 3, 5));

// A second copy started while the first runs ends at once: the mutex is
// looked for in the global namespace, or in the session's where global
// objects are refused. Where no mutex can be made at all, the copy runs.
TEST_F(LaunchTest, ASecondCopyEndsAtOnceAndOneThatCannotTellRuns) {
    InstallVersion20();
    os.HoldMutexElsewhere("Global\\NU-BEN Setup");
    RunLaunchSequence(g);
    EXPECT_EQ((std::vector<std::string>{"CreateMutex Global\\NU-BEN Setup -> exists",
                                        "CloseProcessHandle mutex Global\\NU-BEN Setup"}),
              os.Events());
    os.ClearEvents();
    os.FailNext("CreateNamedMutex", "Global\\NU-BEN Setup", 2, kErrorAccessDenied);
    os.HoldMutexElsewhere("Local\\NU-BEN Setup");
    RunLaunchSequence(g);
    EXPECT_TRUE(Trace().empty());
    EXPECT_TRUE(os.Exists(kApp + "\\NuBen.exe"));
    os.FailNext("CreateNamedMutex", "", 2);
    os.QueueAnswers({kIdYes});
    RunLaunchSequence(g);
    EXPECT_EQ("Box 0x00040024", Trace().front());
    EXPECT_FALSE(os.Exists(kApp + "\\NuBen.exe"));
    EXPECT_EQ(1u, os.Starts().size());
}

// Delivery comes before anything is closed, run or removed: where it fails
// (an earlier installer that cannot be replaced, a full disk, a scanner that
// never lets go, a start refused for good), the run ends there, showing
// nothing more, and the earlier version stays whole. Refusals: application
// control (1260), a scanner or rule (5, 225, the file deleted: 2), Smart App
// Control (4551), a machine that cannot run it (193, 216).
TEST_F(LaunchTest, AFailedDeliveryEndsTheRunBeforeAnythingIsTouched) {
    const auto refusedStarts = [this](bool asked) {
        for (const long error : {1260L, 5L, 225L, 2L, 4551L, 193L, 216L}) {
            os.FailNext("StartProcess", "\"" + kInstaller + "\"", error == 5 ? 30 : 1, error);
            if (asked) os.QueueAnswers({kIdYes});
            RunLaunchSequence(g);
        }
    };
    os.FailNext("CreateNewFileForWriting");
    RunLaunchSequence(g);
    refusedStarts(false);
    InstallVersion20();
    os.FailNext("WriteToFile");
    os.QueueAnswers({kIdYes});
    RunLaunchSequence(g);
    refusedStarts(true);
    InstallBeta(true);
    os.FailNext("OpenFileToHold", "", 30, kErrorSharingViolation);
    os.QueueAnswers({kIdYes});
    RunLaunchSequence(g);
    refusedStarts(true);
    std::vector<Box> asked(8, {kV20Question, kQuestionStyle});
    asked.resize(16, {kBetaQuestion, kQuestionStyle});
    EXPECT_EQ(asked, Boxes());
    EXPECT_TRUE(os.Posts().empty());
    EXPECT_TRUE(os.Starts().empty());
    EXPECT_TRUE(os.Exists(kApp + "\\NuBen.exe"));
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, kV20Key));
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, kBetaKey));
    EXPECT_FALSE(os.Exists(kInstaller));
}

}  // namespace
}  // namespace nuben::test
