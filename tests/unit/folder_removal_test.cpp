// Folder removal: whole trees go, whatever their attributes; what is open
// stays with the folders above it; and no spelling of a drive root, a
// network path or a well-known folder (or one above it) is ever emptied.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine.h"
#include "u_Global/folder_guard.h"

namespace nuben::test {
namespace {

const std::string kApp = kProgramFiles + "\\누벤";

class FolderRemovalTest : public FurnishedMachineTest {
  protected:
    void SetUp() override {
        FurnishedMachineTest::SetUp();
        // In order, below kApp: a folder where `bytes` is null, else a file.
        const struct {
            const char* path;
            const char* bytes;
            std::uint32_t attributes;
        } tree[] = {
            {"", nullptr, kFileAttributeReadOnly},
            {"\\NuBen.exe", "exe", kFileAttributeReadOnly},
            {"\\data", nullptr, kFileAttributeHidden},
            {"\\data\\ro.dat", "ro", kFileAttributeReadOnly},
            {"\\data\\hidden.dat", "h", kFileAttributeHidden},
            {"\\data\\sys.dat", "s",
             kFileAttributeSystem | kFileAttributeHidden | kFileAttributeReadOnly},
            {"\\data\\deeper", nullptr, kFileAttributeHidden | kFileAttributeSystem},
            {"\\data\\deeper\\leaf.txt", "leaf", 0},
            {"\\empty", nullptr, 0},
        };
        for (const auto& entry : tree) {
            if (entry.bytes == nullptr) {
                os.MakeFolder(kApp + entry.path, entry.attributes);
            } else {
                os.MakeFile(kApp + entry.path, entry.bytes, entry.attributes);
            }
        }
        os.MakeFile(kProgramFiles + "\\누벤 Other\\keep.txt", "sibling with a common prefix");
    }
    void TearDown() override {
        EXPECT_EQ(0u, os.OpenHandleCount());
        FurnishedMachineTest::TearDown();
    }
    // Both routines, so neither may slip past a guard.
    void TryToRemove(const std::string& path) {
        DeleteFolderContents(os, path);
        RemoveFolder(os, path);
    }
};

TEST_F(FolderRemovalTest, ATreeOfReadOnlyHiddenAndSystemEntriesGoesWhole) {
    RemoveFolder(os, kApp);
    EXPECT_FALSE(os.Exists(kApp));
    EXPECT_TRUE(os.Exists(kProgramFiles + "\\누벤 Other\\keep.txt"));
    EXPECT_TRUE(os.Exists(kProgramFiles + "\\keep.txt"));
    // Every delete is preceded by resetting the entry's attributes.
    const auto events = os.EventsOf({"SetAttributes", "RemoveFile", "RemoveDir"});
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].rfind("Remove", 0) != 0) continue;
        const std::string path = events[i].substr(
            events[i].find(' ') + 1, events[i].rfind(" -> ") - events[i].find(' ') - 1);
        ASSERT_GT(i, 0u) << events[i];
        EXPECT_EQ("SetAttributes " + path + " 0x80 -> ok", events[i - 1]);
    }
}

TEST_F(FolderRemovalTest, EmptyingKeepsTheFolderAndAcceptsATrailingBackslash) {
    DeleteFolderContents(os, kApp + "\\");
    EXPECT_TRUE(os.IsFolder(kApp));
    EXPECT_FALSE(os.Exists(kApp + "\\NuBen.exe"));
    EXPECT_FALSE(os.Exists(kApp + "\\data"));
    EXPECT_FALSE(os.Exists(kApp + "\\empty"));
}

TEST_F(FolderRemovalTest, AFileHeldOpenSurvivesWithTheFoldersAboveItAndNothingElse) {
    const int held = os.HoldOpen(kApp + "\\data\\deeper\\leaf.txt");
    RemoveFolder(os, kApp);
    os.Release(held);
    EXPECT_TRUE(os.Exists(kApp + "\\data\\deeper\\leaf.txt"));
    EXPECT_TRUE(os.IsFolder(kApp + "\\data\\deeper"));
    EXPECT_TRUE(os.IsFolder(kApp + "\\data"));
    EXPECT_TRUE(os.IsFolder(kApp));
    for (const char* gone :
         {"\\NuBen.exe", "\\data\\ro.dat", "\\data\\hidden.dat", "\\data\\sys.dat", "\\empty"}) {
        EXPECT_FALSE(os.Exists(kApp + gone)) << gone;
    }
}

TEST_F(FolderRemovalTest, NothingHappensForAMissingFolderOrAnEmptyPath) {
    RemoveFolder(os, "");
    DeleteFolderContents(os, "");
    RemoveFolder(os, kProgramFiles + "\\Missing");
    EXPECT_TRUE(os.EventsOf({"RemoveFile", "RemoveDir", "FindFirst", "SetAttributes"}).empty());
}

TEST_F(FolderRemovalTest, PathsWithoutAColonAreNeverEmptied) {
    os.MakeFile("\\\\server\\share\\folder\\data.txt", "remote");
    os.SetCurrentDirectoryTo(kProgramFiles);
    const std::string before = os.FileSnapshot();
    for (const char* path : {"\\\\server\\share\\folder", "\\\\server\\share\\folder\\",
                             "\\\\server\\share", "누벤", "\\Program Files\\누벤", "."}) {
        TryToRemove(path);
        EXPECT_EQ(before, os.FileSnapshot()) << path;
    }
}

TEST_F(FolderRemovalTest, NoSpellingOfADriveRootIsEmptied) {
    os.MakeFile("D:\\data\\d.txt", "d");
    os.SetCurrentDirectoryTo(kApp);  // "C:" and "C:foo" would land here
    os.MakeFolder(kApp + "\\foo");
    const std::string before = os.FileSnapshot();
    for (const char* root : {"C:\\",
                             "C:\\\\",
                             "C:\\.",
                             "C:\\..",
                             "C:\\..\\",
                             "C:\\..\\..",
                             "C:\\foo\\..",
                             "C:\\Program Files\\..",
                             "C:\\ ",
                             "C:\\.\\",
                             "C:\\. ",
                             "C:/",
                             "c:\\",
                             "C:",
                             "C:.",
                             "C:foo",
                             "C:data",
                             "\\\\?\\C:\\",
                             "\\\\?\\C:\\Program Files\\누벤",
                             "\\\\.\\C:\\",
                             "D:\\",
                             "D:\\data\\.."}) {
        TryToRemove(root);
        EXPECT_EQ(before, os.FileSnapshot()) << "\"" << root << "\"";
    }
}

TEST_F(FolderRemovalTest, WellKnownFoldersAndEveryFolderAboveThemAreRefused) {
    os.MakeFolder(kPrograms + "\\empty group");
    const std::string before = os.FileSnapshot();
    for (const std::string& folder : WellKnownFolders()) {
        for (const std::string& spelling :
             {folder, folder + "\\", folder + "\\.", folder + ".", folder + " ",
              folder + "\\sub\\..", AsciiUpper(folder)}) {
            TryToRemove(spelling);
            EXPECT_EQ(before, os.FileSnapshot()) << "\"" << spelling << "\"";
        }
    }
}

// Without the known-folder manager the data folders that have a CSIDL
// stand in; another name for a protected folder is judged by the folder it
// leads to, and where the system cannot tell, by its spelling alone.
TEST_F(FolderRemovalTest, KnownFoldersWithoutTheirManagerAndProtectedOnesUnderAnotherName) {
    os.FailNext("KnownFolderPaths", "", -1);
    os.MakeAlias(kWork + "\\Sysnative", kSystem);
    const std::string before = os.FileSnapshot();
    for (const std::string& path : {kPictures, kWork + "\\Sysnative"}) {
        TryToRemove(path);
        EXPECT_EQ(before, os.FileSnapshot()) << path;
    }
    os.LackFinalPathCall(true);
    RemoveFolder(os, kApp);
    EXPECT_FALSE(os.Exists(kApp));
}

TEST_F(FolderRemovalTest, AnEmptyWellKnownFolderIsNotRemovedEither) {
    os.RemoveFile(kDocuments + "\\keep.txt");
    RemoveFolder(os, kDocuments);
    EXPECT_TRUE(os.IsFolder(kDocuments));
}

TEST_F(FolderRemovalTest, AFolderBelowAWellKnownOneIsRemoved) {
    os.MakeFile(kPrograms + "\\누벤 2.0\\누벤.lnk", "lnk");
    os.MakeFile(kAllUsers + "\\Application Data\\NU-BEN\\cache.bin", "c");
    RemoveFolder(os, kPrograms + "\\누벤 2.0");
    RemoveFolder(os, kCommonAppData + "\\NU-BEN");
    RemoveFolder(os, "C:\\Program Files\\누벤\\..\\누벤");
    os.MakeFile(kDownloads + "\\누벤\\app.exe", "exe");
    RemoveFolder(os, kDownloads + "\\누벤");
    EXPECT_FALSE(os.Exists(kDownloads + "\\누벤"));
    EXPECT_FALSE(os.Exists(kPrograms + "\\누벤 2.0"));
    EXPECT_FALSE(os.Exists(kCommonAppData + "\\NU-BEN"));
    EXPECT_FALSE(os.Exists(kApp));
    EXPECT_TRUE(os.Exists(kPrograms + "\\keep.txt"));
}

TEST_F(FolderRemovalTest, AFolderLinkInsideTheTreeGoesAsALinkAndItsTargetStays) {
    os.MakeFolder("C:\\Shared", kFileAttributeReadOnly);
    os.MakeFile("C:\\Shared\\precious.doc", "precious");
    os.MakeFile("C:\\Shared\\sub\\more.doc", "more");
    os.MakeFolderLink(kApp + "\\data\\shared", "C:\\Shared");
    RemoveFolder(os, kApp);
    EXPECT_FALSE(os.Exists(kApp));
    EXPECT_EQ("precious", os.FileBytes("C:\\Shared\\precious.doc"));
    EXPECT_EQ("more", os.FileBytes("C:\\Shared\\sub\\more.doc"));
    EXPECT_EQ(kFileAttributeReadOnly, os.AttributesAt("C:\\Shared") & kFileAttributeReadOnly)
        << "attributes reset through the link";
    for (const std::string& line : os.EventsOf({"FindFirst"})) {
        EXPECT_EQ(std::string::npos, line.find("shared\\")) << "entered the link: " << line;
    }
}

// Another process of the user tries to swap a folder for a link while the
// walk is busy elsewhere: at the listing of "data" (before "zlater" is
// reached) the swap succeeds and the link is left alone, never entered; at
// the listing of "zlater" itself the folder is held and the swap fails.
// A file listed after both, swapped for a link either time, is not reset
// through it: the read-only target stays read-only.
TEST_F(FolderRemovalTest, AFolderSwappedForALinkMidWalkIsNotEnteredAndAHeldOneCannotBe) {
    struct Case {
        std::string swapAt;  // the listing during which the swap is tried
        bool swapped;
    };
    for (const Case& c : {Case{kApp + "\\data\\*.*", true}, Case{kApp + "\\zlater\\*.*", false}}) {
        fake::FakePlatform machine;
        FurnishTypicalMachine(machine);
        machine.MakeFile(kApp + "\\data\\big.dat", "big");
        machine.MakeFile(kApp + "\\zlater\\own.txt", "own");
        machine.MakeFile(kApp + "\\zz.dat", "zz");
        machine.MakeFolder("C:\\Shared", kFileAttributeReadOnly);
        machine.MakeFile("C:\\Shared\\precious.doc", "precious");
        bool swapped = false;
        bool fileSwapped = false;
        machine.OnEveryCall([&](const fake::CallRecord& call) {
            if (call.operation != "FindFirstEntry" || call.subject != c.swapAt || fileSwapped)
                return;
            swapped = machine.MoveEntry(kApp + "\\zlater", "C:\\moved");
            if (swapped) machine.MakeFolderLink(kApp + "\\zlater", "C:\\Shared");
            fileSwapped = machine.MoveEntry(kApp + "\\zz.dat", "C:\\moved.dat");
            if (fileSwapped) machine.MakeFolderLink(kApp + "\\zz.dat", "C:\\Shared");
        });
        RemoveFolder(machine, kApp);
        EXPECT_EQ(c.swapped, swapped) << c.swapAt;
        EXPECT_TRUE(fileSwapped) << c.swapAt;
        EXPECT_EQ("precious", machine.FileBytes("C:\\Shared\\precious.doc")) << c.swapAt;
        EXPECT_EQ(kFileAttributeReadOnly,
                  machine.AttributesAt("C:\\Shared") & kFileAttributeReadOnly)
            << "attributes reset through a link swapped in for a file, " << c.swapAt;
        EXPECT_FALSE(machine.Exists(kApp + "\\data")) << c.swapAt;
        EXPECT_EQ(c.swapped, machine.Exists(kApp + "\\zlater")) << "a swapped-in link stays";
        for (const std::string& line :
             machine.EventsOf({"FindFirst", "RemoveFile", "SetAttributes"})) {
            EXPECT_FALSE(c.swapped && line.find("zlater\\") != std::string::npos) << line;
        }
        EXPECT_EQ(0u, machine.OpenHandleCount());
    }
}

TEST_F(FolderRemovalTest, AFolderThatIsItselfALinkIsNeverEmptiedThroughIt) {
    os.MakeFolderLink(kProgramFiles + "\\NuBenLink", kDocuments);
    TryToRemove(kProgramFiles + "\\NuBenLink");
    EXPECT_EQ("keep", os.FileBytes(kDocuments + "\\keep.txt"));
}

TEST_F(FolderRemovalTest, TheRefusalReasonIsDecidedOnTheNormalisedPath) {
    std::string normalised;
    EXPECT_EQ(FolderRefusal::kNoColon,
              CheckRemovableFolder(os, "\\\\server\\share\\x", &normalised));
    EXPECT_EQ(FolderRefusal::kNotDriveAbsolute, CheckRemovableFolder(os, "C:foo", &normalised));
    EXPECT_EQ(FolderRefusal::kNotDriveAbsolute,
              CheckRemovableFolder(os, "\\\\?\\C:\\x", &normalised));
    EXPECT_EQ(FolderRefusal::kDriveRoot, CheckRemovableFolder(os, "C:\\foo\\..", &normalised));
    EXPECT_EQ(FolderRefusal::kStreamSuffix,
              CheckRemovableFolder(os, kProfile + "::$INDEX_ALLOCATION", &normalised));
    EXPECT_EQ(FolderRefusal::kProtectedFolder,
              CheckRemovableFolder(os, kApp + "\\..", &normalised));
    os.FailNext("FullPathOf", kApp);
    EXPECT_EQ(FolderRefusal::kUnresolvable, CheckRemovableFolder(os, kApp, &normalised));
    EXPECT_EQ(FolderRefusal::kAllowed,
              CheckRemovableFolder(os, "c:/program files/누벤/.", &normalised));
    EXPECT_EQ(0u, normalised.rfind("c:\\program files\\누벤", 0)) << normalised;
}

// A 64-bit Windows 7 as the 32-bit program sees it: the well-known folders
// live under C:\Users, "C:\Documents and Settings" is a junction to it, and
// the shell names "C:\Program Files (x86)" as Program Files.
class ModernLayoutTest : public MachineTest {
  protected:
    void SetUp() override {
        const std::string user = "C:\\Users\\user";
        const std::string startMenu = user + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
        const std::vector<std::pair<int, std::string>> folders = {
            {kCsidlWindows, "C:\\Windows"},
            {kCsidlSystem, "C:\\Windows\\SysWOW64"},
            {kCsidlProgramFiles, "C:\\Program Files (x86)"},
            {kCsidlProgramFilesX86, "C:\\Program Files (x86)"},
            {kCsidlCommonAppData, "C:\\ProgramData"},
            {kCsidlCommonDesktopDirectory, "C:\\Users\\Public\\Desktop"},
            {kCsidlCommonDocuments, "C:\\Users\\Public\\Documents"},
            {kCsidlProfile, user},
            {kCsidlDesktopDirectory, user + "\\Desktop"},
            {kCsidlPersonal, user + "\\Documents"},
            {kCsidlStartMenu, startMenu},
            {kCsidlPrograms, startMenu + "\\Programs"},
            {kCsidlAppData, user + "\\AppData\\Roaming"},
            {kCsidlLocalAppData, user + "\\AppData\\Local"}};
        for (const auto& folder : folders) {
            os.SetSpecialFolder(folder.first, folder.second);
            os.MakeFile(folder.second + "\\keep.txt", "keep");
        }
        os.MakeFolderLink("C:\\Documents and Settings", "C:\\Users");
        os.MakeFile("C:\\Program Files\\Internet Explorer\\iexplore.exe", "64-bit program");
    }
};

TEST_F(ModernLayoutTest, AWellKnownFolderReachedThroughAJunctionIsRefused) {
    const std::string before = os.FileSnapshot();
    for (const std::string path :
         {"C:\\Documents and Settings\\user", "C:\\Documents and Settings\\user\\Desktop",
          "C:\\Documents and Settings"}) {
        DeleteFolderContents(os, path);
        RemoveFolder(os, path);
        EXPECT_EQ(before, os.FileSnapshot()) << "\"" << path << "\"";
    }
}

TEST_F(ModernLayoutTest, TheNative64BitProgramFilesIsRefusedToo) {
    const std::string before = os.FileSnapshot();
    DeleteFolderContents(os, "C:\\Program Files");
    RemoveFolder(os, "C:\\Program Files");
    EXPECT_EQ(before, os.FileSnapshot());
    os.MakeFile("C:\\Program Files\\누벤\\app.exe", "exe");
    RemoveFolder(os, "C:\\Program Files\\누벤");
    EXPECT_FALSE(os.Exists("C:\\Program Files\\누벤"));
}

// "PROGRA~1" may be the short alias of Program Files; normalisation expands
// the aliases of folders that exist, so what still looks like one is refused.
TEST_F(FolderRemovalTest, WhatLooksLikeAShortAliasIsRefused) {
    os.MakeFile("C:\\NUBEN~1\\app.exe", "exe");
    os.MakeFile(kProgramFiles + "\\NUBEN~12\\app.exe", "exe");
    const std::string before = os.FileSnapshot();
    for (const std::string path : {"C:\\PROGRA~1", "C:\\NUBEN~1", "C:\\Program Files\\NUBEN~12"}) {
        std::string normalised;
        EXPECT_EQ(FolderRefusal::kShortNameAlias, CheckRemovableFolder(os, path, &normalised))
            << path;
        TryToRemove(path);
        EXPECT_EQ(before, os.FileSnapshot()) << path;
    }
    // A tilde that no digit follows is an ordinary name.
    os.MakeFile(kProgramFiles + "\\NuBen~old\\app.exe", "exe");
    RemoveFolder(os, kProgramFiles + "\\NuBen~old");
    EXPECT_FALSE(os.Exists(kProgramFiles + "\\NuBen~old"));
}

// Windows folds every letter of a file name, not only A to Z: a profile
// named in Cyrillic or full-width letters is the same folder in any case.
class FoldedNamesTest : public FurnishedMachineTest {};

TEST_F(FoldedNamesTest, AWellKnownFolderNamedInDoubleByteLettersIsRefusedInAnyCase) {
    const std::string ivan = "\xAC\xAA\xAC\xD3\xAC\xD1\xAC\xDF";   // "Иван" in code page 949
    const std::string lower = "\xAC\xDA\xAC\xD3\xAC\xD1\xAC\xDF";  // "иван"
    const std::string upper = "\xAC\xAA\xAC\xA3\xAC\xA1\xAC\xAF";  // "ИВАН"
    const std::string wide = "\xA3\xCE\xA3\xD5\xA3\xC2";           // "ＮＵＢ"
    const std::string wideLower = "\xA3\xEE\xA3\xF5\xA3\xE2";      // "ｎｕｂ"
    os.SetSpecialFolder(kCsidlProfile, "C:\\Users\\" + ivan);
    os.SetSpecialFolder(kCsidlPersonal, "C:\\Data\\" + wide);
    os.MakeFile("C:\\Users\\" + ivan + "\\keep.txt", "the user's own");
    os.MakeFile("C:\\Data\\" + wide + "\\keep.txt", "the user's documents");
    const std::string before = os.FileSnapshot();
    for (const std::string& path :
         {"C:\\Users\\" + lower, "C:\\users\\" + upper + "\\", "C:\\Data\\" + wideLower}) {
        std::string normalised;
        EXPECT_EQ(FolderRefusal::kProtectedFolder, CheckRemovableFolder(os, path, &normalised))
            << path;
        RemoveFolder(os, path);
        EXPECT_EQ(before, os.FileSnapshot()) << path;
    }
    // Another name in the same letters is not protected.
    os.MakeFile("C:\\Users\\" + ivan + "\\" + lower + "\\app.dat", "app");
    RemoveFolder(os, "C:\\Users\\" + upper + "\\" + upper);
    EXPECT_FALSE(os.Exists("C:\\Users\\" + ivan + "\\" + lower));
    EXPECT_TRUE(os.Exists("C:\\Users\\" + ivan + "\\keep.txt"));
}

// If the system cannot fold the names, nothing is emptied on a guess.
TEST_F(FoldedNamesTest, NamesThatCannotBeFoldedAreNotEmptied) {
    os.SetSpecialFolder(kCsidlProfile, "C:\\Users\\user");
    os.MakeFolder("C:\\Users\\user");
    os.MakeFile("C:\\Program Files\\NuBen\\app.exe", "exe");
    os.FailWhen("UpperCaseText", [](const std::string&) { return true; });
    RemoveFolder(os, "C:\\Program Files\\NuBen");
    EXPECT_TRUE(os.Exists("C:\\Program Files\\NuBen\\app.exe"));
}

// --- WithTrailingBackslash: a 0x5C after an odd run of lead-byte values is
// the second byte of a double-byte character, not a separator.

class TrailingBackslashTest : public MachineTest {};

TEST_F(TrailingBackslashTest, PlainPaths) {
    EXPECT_EQ("C:\\a\\", WithTrailingBackslash(os, "C:\\a"));
    EXPECT_EQ("C:\\a\\", WithTrailingBackslash(os, "C:\\a\\"));
    EXPECT_EQ("\\", WithTrailingBackslash(os, ""));
}

TEST_F(TrailingBackslashTest, CodePage932WhereTrailBytesCanBe5C) {
    os.SetCodePage(932);
    // "表" is 0x95 0x5C: one lead byte before the 0x5C, so it is a trail byte.
    EXPECT_EQ("C:\\\x95\x5C\\", WithTrailingBackslash(os, "C:\\\x95\x5C"));
    // Two lead-byte values: a whole character, then a real separator.
    EXPECT_EQ("C:\\\x95\x95\\", WithTrailingBackslash(os, "C:\\\x95\x95\\"));
    EXPECT_EQ("C:\\\x95\x95\x95\x5C\\", WithTrailingBackslash(os, "C:\\\x95\x95\x95\x5C"));
    // 0xA0 is no lead byte in 932: the run is empty.
    EXPECT_EQ("C:\\\xA0\\", WithTrailingBackslash(os, "C:\\\xA0\\"));
}

TEST_F(TrailingBackslashTest, CodePage949) {
    os.SetCodePage(949);
    EXPECT_EQ("C:\\누벤\\", WithTrailingBackslash(os, "C:\\누벤\\"));  // four lead-byte values
    EXPECT_EQ("C:\\누벤\\", WithTrailingBackslash(os, "C:\\누벤"));
    EXPECT_EQ("C:\\\xB4\xA9\xBA\\\\", WithTrailingBackslash(os, "C:\\\xB4\xA9\xBA\\"));
    EXPECT_EQ("C:\\\x81\x41\\", WithTrailingBackslash(os, "C:\\\x81\x41\\"));  // trail 'A'
}

TEST_F(TrailingBackslashTest, WithoutDoubleByteSupportA5CIsAlwaysASeparator) {
    os.SetCodePage(932);
    os.SetDbcsEnabled(false);
    EXPECT_EQ("C:\\\x95\x5C", WithTrailingBackslash(os, "C:\\\x95\x5C"));
}

}  // namespace
}  // namespace nuben::test
