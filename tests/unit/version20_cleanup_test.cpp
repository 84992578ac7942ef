// RemoveVersion20: the install folder, then the current user's desktop
// shortcut and Start-menu group, then the product key and the 2.0
// registration, each whole; the all-users copies and all else stay.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "machine.h"
#include "registry/registry.h"

namespace nuben::test {
namespace {

const std::string kApp = kProgramFiles + "\\누벤";
const std::string kShortcut = kDesktop + "\\누벤.lnk";
const std::string kGroup = kPrograms + "\\누벤 2.0";

class RemoveVersion20Test : public FurnishedMachineTest {
  protected:
    void SetUp() override {
        FurnishedMachineTest::SetUp();
        os.SetText(kHkeyLocalMachine, kProductKey, "InstallPath", kApp);
        os.CreateKey(kHkeyLocalMachine, kProductKey + "\\Settings\\Deep");
        os.CreateKey(kHkeyLocalMachine, kV20Key + "\\Sub");
        os.CreateKey(kHkeyLocalMachine, kUninstallRoot + "\\누벤 2.0 Other");
        os.CreateKey(kHkeyLocalMachine, "SOFTWARE\\NU-BEN Tools");
        os.MakeFile(kApp + "\\app.exe", "exe", kFileAttributeReadOnly);
        os.MakeFile(kApp + "\\data\\x.dat", "x", kFileAttributeHidden);
        os.MakeFile(kShortcut, "lnk");
        os.MakeFile(kGroup + "\\누벤.lnk", "lnk");
        os.MakeFile(kCommonDesktop + "\\누벤.lnk", "all users");
        os.MakeFile(kCommonPrograms + "\\누벤 2.0\\누벤.lnk", "all users");
    }
    void TearDown() override {
        EXPECT_EQ(0u, os.OpenHandleCount());
        EXPECT_EQ(0u, os.BadCloseCount());
        FurnishedMachineTest::TearDown();
    }
    std::vector<std::string> Removals() const {
        return os.EventsOf({"RemoveFile", "RemoveDir", "DeleteKey"});
    }
    void ExpectEverythingElseKept() {
        EXPECT_TRUE(os.Exists(kCommonDesktop + "\\누벤.lnk"));
        EXPECT_TRUE(os.Exists(kCommonPrograms + "\\누벤 2.0\\누벤.lnk"));
        EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, kUninstallRoot + "\\누벤 2.0 Other"));
        EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\NU-BEN Tools"));
        for (const std::string& folder : WellKnownFolders()) {
            if (folder == kDocumentsAndSettings || folder == kAllUsers) continue;
            EXPECT_TRUE(os.Exists(folder + "\\keep.txt")) << folder;
        }
    }
};

TEST_F(RemoveVersion20Test, RemovesFolderShortcutGroupThenBothKeysInThatOrder) {
    RemoveVersion20(g);
    const std::string uninstall = "HKLM\\" + kUninstallRoot;
    EXPECT_EQ((std::vector<std::string>{
                  "RemoveFile " + kApp + "\\app.exe -> ok",
                  "RemoveFile " + kApp + "\\data\\x.dat -> ok",
                  "RemoveDir " + kApp + "\\data -> ok",
                  "RemoveDir " + kApp + " -> ok",
                  "RemoveFile " + kShortcut + " -> ok",
                  "RemoveFile " + kGroup + "\\누벤.lnk -> ok",
                  "RemoveDir " + kGroup + " -> ok",
                  "DeleteKey HKLM\\SOFTWARE\\NU-BEN\\Settings\\Deep -> 0",
                  "DeleteKey HKLM\\SOFTWARE\\NU-BEN\\Settings -> 0",
                  "DeleteKey HKLM\\SOFTWARE\\NU-BEN -> 0",
                  "DeleteKey " + uninstall + "\\누벤 2.0\\Sub -> 0",
                  "DeleteKey " + uninstall + "\\누벤 2.0 -> 0",
              }),
              Removals());
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, kProductKey));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, kV20Key));
    ExpectEverythingElseKept();
}

TEST_F(RemoveVersion20Test, ReadsWithReadAccessAndDeletesWithFullAccess) {
    RemoveVersion20(g);
    const auto opens = os.EventsOf({"OpenKey"});
    ASSERT_FALSE(opens.empty());
    EXPECT_EQ("OpenKey HKLM\\SOFTWARE\\NU-BEN 0x20019 -> 0", opens.front());
    EXPECT_NE(opens.end(),
              std::find(opens.begin(), opens.end(), "OpenKey HKLM\\SOFTWARE\\NU-BEN 0xF003F -> 0"));
    EXPECT_NE(opens.end(), std::find(opens.begin(), opens.end(),
                                     "OpenKey HKLM\\" + kUninstallRoot + " 0xF003F -> 0"));
}

// An InstallPath that cannot be used removes no folder, and stops nothing else.
struct UnusableInstallPath {
    const char* name;
    void (*spoil)(fake::FakePlatform& os);
};
void PrintTo(const UnusableInstallPath& row, std::ostream* out) {
    *out << row.name;
}

void WithoutInstallPath(fake::FakePlatform& os) {
    os.RemoveKey(kHkeyLocalMachine, kProductKey);
    os.CreateKey(kHkeyLocalMachine, kProductKey);
}
void InstallPathNotText(fake::FakePlatform& os) {
    os.SetValue(kHkeyLocalMachine, kProductKey, "InstallPath", kRegBinary,
                kApp + std::string(1, '\0'));
}

class UnusableInstallPathTest : public RemoveVersion20Test,
                                public ::testing::WithParamInterface<UnusableInstallPath> {};

TEST_P(UnusableInstallPathTest, TheFolderStaysAndEverythingElseIsStillRemoved) {
    GetParam().spoil(os);
    RemoveVersion20(g);
    EXPECT_TRUE(os.Exists(kApp + "\\app.exe"));
    EXPECT_FALSE(os.Exists(kShortcut));
    EXPECT_FALSE(os.Exists(kGroup));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, kProductKey));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, kV20Key));
}

INSTANTIATE_TEST_SUITE_P(Rows, UnusableInstallPathTest,
                         ::testing::Values(UnusableInstallPath{"Missing", WithoutInstallPath},
                                           UnusableInstallPath{"NotText", InstallPathNotText}),
                         [](const ::testing::TestParamInfo<UnusableInstallPath>& row) {
                             return std::string(row.param.name);
                         });

TEST_F(RemoveVersion20Test, AnExpandableInstallPathIsUsedAsWritten) {
    const std::string literal = "C:\\%NUBEN_HOME%\\누벤";
    os.MakeFile(literal + "\\app.exe", "exe");
    os.SetText(kHkeyLocalMachine, kProductKey, "InstallPath", literal, kRegExpandSz);
    RemoveVersion20(g);
    EXPECT_FALSE(os.Exists(literal));
    EXPECT_TRUE(os.Exists(kApp + "\\app.exe"));
}

TEST_F(RemoveVersion20Test, AnInstallPathNamingARootOrAWellKnownFolderDeletesNothingThere) {
    // Without shortcut and group, nothing at all may change on disk.
    os.RemoveFile(kShortcut);
    os.RemoveFile(kGroup + "\\누벤.lnk");
    os.RemoveEmptyDirectory(kGroup);
    for (const std::string& path :
         {std::string("C:\\"), std::string("C:\\."), kWindows, kProgramFiles, kDesktop + "\\..",
          std::string("C:"), kTemp, kWindows + "\\Fonts", kDownloads}) {
        os.SetText(kHkeyLocalMachine, kProductKey, "InstallPath", path);
        const std::string before = os.FileSnapshot();
        RemoveVersion20(g);
        EXPECT_EQ(before, os.FileSnapshot()) << "InstallPath \"" << path << "\"";
    }
}

TEST_F(RemoveVersion20Test, ADesktopEntryNamedLikeTheShortcutButAFolderStays) {
    os.RemoveFile(kShortcut);
    os.MakeFile(kShortcut + "\\inside.txt", "folder, not shortcut");
    RemoveVersion20(g);
    EXPECT_EQ("folder, not shortcut", os.FileBytes(kShortcut + "\\inside.txt"));
    EXPECT_FALSE(os.Exists(kGroup));
}

TEST_F(RemoveVersion20Test, AShortcutWithAnUnconvertibleTimeIsNotTakenForAFile) {
    os.SetLastWriteTime(kShortcut, 0);  // 1601: before any DOS date
    RemoveVersion20(g);
    EXPECT_TRUE(os.Exists(kShortcut));
}

TEST_F(RemoveVersion20Test, ASpecialFolderWithoutAPathGetsNoNameAppended) {
    os.SetSpecialFolder(kCsidlDesktopDirectory, "");
    os.SetSpecialFolder(kCsidlPrograms, "");
    for (const std::string& folder : {kWork, std::string("C:")}) {
        os.MakeFile(folder + "\\누벤.lnk", "relative shortcut");
        os.MakeFile(folder + "\\누벤 2.0\\a.lnk", "relative group");
    }
    RemoveVersion20(g);
    for (const std::string& folder : {kWork, std::string("C:")}) {
        EXPECT_TRUE(os.Exists(folder + "\\누벤.lnk")) << folder;
        EXPECT_TRUE(os.Exists(folder + "\\누벤 2.0\\a.lnk")) << folder;
    }
    EXPECT_TRUE(os.Exists(kShortcut));
    EXPECT_TRUE(os.Exists(kGroup));
    EXPECT_TRUE(os.Exists(kApp + "\\app.exe")) << "the folder guard cannot judge without them";
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, kV20Key)) << "the rest still ran";
}

// The guard fails closed: without any one of the core well-known folders
// (as when the shell cannot be loaded) no folder is emptied, not even one
// that only names the Windows folder; the registry records still go.
TEST_F(RemoveVersion20Test, WithoutACoreWellKnownFolderNothingIsEmptied) {
    os.SetText(kHkeyLocalMachine, kProductKey, "InstallPath", kWindows);
    for (const int csidl : {0x24, 0x25, 0x26, 0x28, 0x10, 0x0B, 0x02, 0x1A, 0x23}) {
        fake::FakePlatform machine;
        FurnishTypicalMachine(machine);
        machine.SetText(kHkeyLocalMachine, kProductKey, "InstallPath", kApp);
        machine.CreateKey(kHkeyLocalMachine, kV20Key);
        machine.MakeFile(kApp + "\\app.exe", "exe");
        machine.MakeFile(kGroup + "\\누벤.lnk", "lnk");
        machine.FailNext("SpecialFolderPath", std::to_string(csidl), -1);
        GlobalState state(machine);
        RemoveVersion20(state);
        EXPECT_TRUE(machine.EventsOf({"RemoveDir"}).empty()) << "CSIDL " << csidl;
        EXPECT_TRUE(machine.Exists(kApp + "\\app.exe")) << "CSIDL " << csidl;
        EXPECT_TRUE(machine.Exists(kGroup + "\\누벤.lnk")) << "CSIDL " << csidl;
        EXPECT_FALSE(machine.KeyExists(kHkeyLocalMachine, kV20Key)) << "CSIDL " << csidl;
    }
    os.FailNext("SpecialFolderPath", "", -1);
    const std::string before = os.FileSnapshot();
    RemoveVersion20(g);
    EXPECT_EQ(before, os.FileSnapshot());
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, kProductKey));
}

TEST_F(RemoveVersion20Test, AProductKeyThatCannotBeOpenedFullyIsStillDeletedWhenALeaf) {
    os.RemoveKey(kHkeyLocalMachine, kProductKey + "\\Settings");
    os.DenyKeyAccess(kHkeyLocalMachine, kProductKey, kWriteDac | kWriteOwner);  // not kDelete
    RemoveVersion20(g);
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, kProductKey));
    EXPECT_FALSE(os.Exists(kApp)) << "reading the install folder needs only read access";
}

TEST_F(RemoveVersion20Test, TheRegistrationIsTouchedOnlyWhenTheUninstallKeyOpensFully) {
    os.DenyKeyAccess(kHkeyLocalMachine, kUninstallRoot, 0x000C0000);
    RemoveVersion20(g);
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, kV20Key + "\\Sub"));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, kProductKey));
}

TEST_F(RemoveVersion20Test, LockedFilesStayAndTheRestStillGoes) {
    const int held = os.HoldOpen(kApp + "\\data\\x.dat");
    const int shortcutHeld = os.HoldOpen(kShortcut);
    RemoveVersion20(g);
    os.Release(held);
    os.Release(shortcutHeld);
    EXPECT_TRUE(os.Exists(kApp + "\\data\\x.dat"));
    EXPECT_FALSE(os.Exists(kApp + "\\app.exe"));
    EXPECT_TRUE(os.Exists(kShortcut));
    EXPECT_FALSE(os.Exists(kGroup));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, kV20Key));
}

}  // namespace
}  // namespace nuben::test
