// Folder removal on a real scratch tree: read-only, hidden and system
// entries go, a file held open stays with the folders above it, and the
// root guard holds for every spelling the real path normalisation knows.
// Roots are only ever checked, never handed to a removal.
#include <gtest/gtest.h>

#include <string>

#include "contract_env.h"
#include "u_Global/folder_guard.h"
#include "u_Global/texts.h"
#include "u_Global/u_Global.h"

namespace nuben::contract {
namespace {

class FolderRemovalContract : public ::testing::Test {
  protected:
    // app\ with a hidden, read-only subfolder holding read-only, hidden and
    // system files, a second level below, and a Korean-named folder.
    void MakeTree() {
        env_.MakeFolder(app_);
        env_.MakeFile(app_ + "setup.ini", "ini", kFileAttributeReadOnly);
        env_.MakeFolder(app_ + "data", kFileAttributeHidden);
        env_.MakeFile(app_ + "data\\ro.dat", "ro", kFileAttributeReadOnly);
        env_.MakeFile(app_ + "data\\hidden.dat", "h", kFileAttributeHidden);
        env_.MakeFile(app_ + "data\\system.dat", "s",
                      kFileAttributeSystem | kFileAttributeHidden | kFileAttributeReadOnly);
        env_.MakeFolder(app_ + "data\\deeper", kFileAttributeSystem);
        env_.MakeFile(app_ + "data\\deeper\\leaf.txt", "leaf");
        env_.MakeFolder(app_ + texts::kProductName);
        env_.MakeFile(app_ + texts::kProductName + "\\" + texts::kShortcutName, "lnk");
        env_.MakeFile(dir_ + "sibling.txt", "stay");
    }

    ContractEnv& env_ = Env();
    Platform& os_ = env_.os();
    const std::string dir_ = env_.ScratchFolder();
    const std::string app_ = dir_ + "app\\";
};

TEST_F(FolderRemovalContract, RemovesAWholeTreeWithProtectedAttributes) {
    MakeTree();
    env_.MakeFolder(dir_ + "app", kFileAttributeReadOnly);
    {
        ExpectNoHandleLeak guard(env_);
        RemoveFolder(os_, dir_ + "app");
    }
    EXPECT_FALSE(env_.Exists(dir_ + "app")) << env_.name();
    EXPECT_TRUE(env_.Exists(dir_ + "sibling.txt"));
}

TEST_F(FolderRemovalContract, EmptyingKeepsTheFolderItself) {
    MakeTree();
    {
        ExpectNoHandleLeak guard(env_);
        DeleteFolderContents(os_, dir_ + "app");
    }
    EXPECT_TRUE(env_.Exists(dir_ + "app"));
    EXPECT_FALSE(env_.Exists(app_ + "setup.ini"));
    EXPECT_FALSE(env_.Exists(app_ + "data"));
    EXPECT_FALSE(env_.Exists(app_ + texts::kProductName));
}

TEST_F(FolderRemovalContract, AFileHeldOpenSurvivesWithItsParentsOnly) {
    MakeTree();
    {
        auto held = env_.HoldOpen(app_ + "data\\deeper\\leaf.txt");
        ExpectNoHandleLeak guard(env_);  // after the hold: that handle is the test's
        RemoveFolder(os_, dir_ + "app");
    }
    EXPECT_TRUE(env_.Exists(app_ + "data\\deeper\\leaf.txt"));
    EXPECT_TRUE(env_.Exists(app_ + "data\\deeper"));
    EXPECT_TRUE(env_.Exists(app_ + "data"));
    EXPECT_FALSE(env_.Exists(app_ + "data\\ro.dat"));
    EXPECT_FALSE(env_.Exists(app_ + "data\\system.dat"));
    EXPECT_FALSE(env_.Exists(app_ + "setup.ini"));
    EXPECT_FALSE(env_.Exists(app_ + texts::kProductName));
}

TEST_F(FolderRemovalContract, EverySpellingOfADriveRootIsRefused) {
    for (const char* spelling : {"C:\\", "C:\\\\", "C:\\.", "C:\\..\\", "C:\\foo\\..", "C:\\ ",
                                 "C:\\..", "C:/", "c:\\", "C:", "C:foo", "\\\\?\\C:\\"}) {
        std::string normalised;
        ExpectNoHandleLeak guard(env_);
        EXPECT_NE(FolderRefusal::kAllowed, CheckRemovableFolder(os_, spelling, &normalised))
            << "\"" << spelling << "\" on " << env_.name();
    }
}

TEST_F(FolderRemovalContract, TheScratchTreeItselfMayBeRemoved) {
    MakeTree();
    std::string normalised;
    ExpectNoHandleLeak guard(env_);
    EXPECT_EQ(FolderRefusal::kAllowed, CheckRemovableFolder(os_, dir_ + "app", &normalised))
        << env_.name();
}

// A desktop moved into a folder whose name code page 949 cannot spell is
// named exactly: protected like any other in any letter case, with the one
// above it, while what is in it can go, and a lookalike beside it is its own.
TEST_F(FolderRemovalContract, ADesktopInAFolderThatCodePage949CannotSpellIsProtected) {
    ASSERT_TRUE(env_.MoveDesktopUtf16(dir_ + "sync\\", u"Caf\u00e9")) << env_.name();
    env_.MakeFileUtf16(dir_ + "sync\\", u"Caf\u00e9\\Group\\Sub\\a.lnk");
    env_.MakeFolder(dir_ + "sync\\Cafe");
    env_.MakeFile(dir_ + "sync\\Cafe\\lookalike.txt", "");
    const std::string desktop = os_.SpecialFolderPath(kCsidlDesktopDirectory) + "\\";
    ASSERT_EQ(dir_ + "sync\\Caf?00E9\\", desktop) << env_.name();
    std::string normalised;
    for (const std::string& kept : {dir_ + "sync", dir_ + "SYNC\\.\\", dir_ + "SYNC\\CAF?00C9"}) {
        EXPECT_EQ(FolderRefusal::kProtectedFolder, CheckRemovableFolder(os_, kept, &normalised))
            << kept << " on " << env_.name();
    }
    // A spelling that is not the platform's own names nothing.
    EXPECT_FALSE(IsExistingFile(os_, dir_ + "sync\\Caf?0065\\Group\\Sub\\a.lnk"));
    EXPECT_TRUE(IsExistingFile(os_, desktop + "Group\\Sub\\a.lnk")) << env_.name();
    RemoveFolder(os_, desktop + "Group");
    EXPECT_EQ(kInvalidFileAttributes, os_.FileAttributesOf(desktop + "Group")) << env_.name();
    RemoveFolder(os_, dir_ + "sync\\Cafe");
    EXPECT_FALSE(env_.Exists(dir_ + "sync\\Cafe")) << env_.name();
}

// The user's own Downloads and Pictures are among the known folders.
TEST_F(FolderRemovalContract, TheKnownFoldersIncludeTheUsersDownloadsAndPictures) {
    ExpectNoHandleLeak guard(env_);
    std::vector<std::string> paths;
    ASSERT_TRUE(os_.KnownFolderPaths(&paths)) << env_.name();
    const std::string profile = WithTrailingBackslash(os_, os_.SpecialFolderPath(kCsidlProfile));
    for (const char* name : {"Downloads", "Pictures"})
        EXPECT_NE(paths.end(), std::find(paths.begin(), paths.end(), profile + name)) << name;
}

TEST_F(FolderRemovalContract, ExistingFilesAreFilesAndFoldersAreNot) {
    MakeTree();
    ExpectNoHandleLeak guard(env_);
    EXPECT_TRUE(IsExistingFile(os_, app_ + "setup.ini"));
    EXPECT_TRUE(IsExistingFile(os_, app_ + "data\\hidden.dat"));
    EXPECT_FALSE(IsExistingFile(os_, app_ + "data"));
    EXPECT_FALSE(IsExistingFile(os_, app_ + "missing.lnk"));
    EXPECT_TRUE(FolderExists(os_, app_ + "data"));
    EXPECT_FALSE(FolderExists(os_, app_ + "setup.ini"));
}

}  // namespace
}  // namespace nuben::contract
