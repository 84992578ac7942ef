// The file-system behaviours the removal and delivery code stands on:
// attributes, which deletes fail, what an enumeration shows, what replacing
// a file needs, and how paths normalise (the drive-root guard relies on it).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "contract_env.h"
#include "u_Global/u_Global.h"

namespace nuben::contract {
namespace {

class FileSemanticsContract : public ::testing::Test {
  protected:
    ContractEnv& env_ = Env();
    Platform& os_ = env_.os();
    const std::string dir_ = env_.ScratchFolder();
};

TEST_F(FileSemanticsContract, AttributesTellFoldersFromFilesAndMissingPaths) {
    env_.MakeFolder(dir_ + "sub");
    env_.MakeFile(dir_ + "file.txt", "x");
    EXPECT_EQ(kInvalidFileAttributes, os_.FileAttributesOf(dir_ + "missing"));
    EXPECT_EQ(kInvalidFileAttributes, os_.FileAttributesOf(dir_ + "missing\\deeper"));
    EXPECT_EQ(kFileAttributeDirectory,
              os_.FileAttributesOf(dir_ + "sub") & kFileAttributeDirectory);
    EXPECT_EQ(0u, os_.FileAttributesOf(dir_ + "file.txt") & kFileAttributeDirectory);
}

TEST_F(FileSemanticsContract, ReadOnlyAndOpenFilesResistDeletion) {
    env_.MakeFile(dir_ + "ro.txt", "r", kFileAttributeReadOnly);
    env_.MakeFile(dir_ + "open.txt", "o");
    env_.MakeFile(dir_ + "made ro.txt", "m");
    EXPECT_FALSE(os_.RemoveFile(dir_ + "ro.txt"));
    EXPECT_TRUE(env_.Exists(dir_ + "ro.txt"));
    ASSERT_TRUE(os_.ChangeFileAttributes(dir_ + "made ro.txt", kFileAttributeReadOnly));
    EXPECT_EQ(kFileAttributeReadOnly,
              os_.FileAttributesOf(dir_ + "made ro.txt") & kFileAttributeReadOnly);
    EXPECT_FALSE(os_.RemoveFile(dir_ + "made ro.txt"));
    {
        auto held = env_.HoldOpen(dir_ + "open.txt");
        EXPECT_FALSE(os_.RemoveFile(dir_ + "open.txt"));
        EXPECT_TRUE(env_.Exists(dir_ + "open.txt"));
    }
    EXPECT_TRUE(os_.RemoveFile(dir_ + "open.txt"));
    EXPECT_FALSE(os_.RemoveFile(dir_ + "open.txt"));  // already gone
    ASSERT_TRUE(os_.ChangeFileAttributes(dir_ + "ro.txt", kFileAttributeNormal));
    EXPECT_TRUE(os_.RemoveFile(dir_ + "ro.txt"));
    EXPECT_FALSE(env_.Exists(dir_ + "ro.txt"));
    EXPECT_EQ(kInvalidFileAttributes, os_.FileAttributesOf(dir_ + "ro.txt"));
    // Reset through a handle on the entry itself, as the walk does.
    EXPECT_EQ(kInvalidHandle, os_.OpenEntryToChange(dir_ + "missing"));
    const FileHandle entry = os_.OpenEntryToChange(dir_ + "made ro.txt");
    ASSERT_NE(kInvalidHandle, entry) << env_.name();
    EXPECT_EQ(kFileAttributeReadOnly,
              os_.HeldAttributesOf(entry) &
                  (kFileAttributeReadOnly | kFileAttributeDirectory | kFileAttributeReparsePoint));
    EXPECT_TRUE(os_.ChangeHeldAttributes(entry, kFileAttributeNormal));
    EXPECT_TRUE(os_.CloseFile(entry));
    EXPECT_EQ(0u, os_.FileAttributesOf(dir_ + "made ro.txt") & kFileAttributeReadOnly);
    EXPECT_TRUE(os_.RemoveFile(dir_ + "made ro.txt"));
}

// (Windows also refuses to remove a read-only folder; Wine run as root does
// not, so only the removal after resetting the attributes is part of the contract.)
TEST_F(FileSemanticsContract, OnlyAnEmptyFolderIsRemoved) {
    env_.MakeFolder(dir_ + "full");
    env_.MakeFile(dir_ + "full\\f.txt", "f");
    env_.MakeFolder(dir_ + "ro", kFileAttributeReadOnly);
    env_.MakeFolder(dir_ + "hidden", kFileAttributeHidden | kFileAttributeSystem);
    EXPECT_FALSE(os_.RemoveEmptyDirectory(dir_ + "full"));
    EXPECT_TRUE(env_.Exists(dir_ + "full\\f.txt"));
    EXPECT_TRUE(os_.ChangeFileAttributes(dir_ + "ro", kFileAttributeNormal));
    EXPECT_EQ(kFileAttributeDirectory, os_.FileAttributesOf(dir_ + "ro") & kFileAttributeDirectory);
    EXPECT_EQ(0u, os_.FileAttributesOf(dir_ + "ro") & kFileAttributeReadOnly);
    EXPECT_TRUE(os_.RemoveEmptyDirectory(dir_ + "ro"));
    EXPECT_TRUE(os_.RemoveEmptyDirectory(dir_ + "hidden"));  // hidden alone does not stop it
    EXPECT_FALSE(os_.RemoveEmptyDirectory(dir_ + "ro"));
    EXPECT_FALSE(os_.RemoveFile(dir_ + "full"));  // a folder is not a file
}

// The folder walk holds each folder while it empties it: held, the folder
// can be neither renamed (nor so replaced by a link) nor removed, while
// what is in it can be listed and removed; released, it goes.
TEST_F(FileSemanticsContract, AHeldFolderStaysWhereItIsWhileItsEntriesGo) {
    env_.MakeFolder(dir_ + "held\\sub");
    env_.MakeFile(dir_ + "held\\f.txt", "f", kFileAttributeReadOnly);
    EXPECT_EQ(kInvalidHandle, os_.OpenFolderToHold(dir_ + "missing"));
    const FileHandle held = os_.OpenFolderToHold(dir_ + "held");
    ASSERT_NE(kInvalidHandle, held) << env_.name();
    EXPECT_EQ(kFileAttributeDirectory,
              os_.HeldAttributesOf(held) & (kFileAttributeDirectory | kFileAttributeReparsePoint));
    // Whatever spelling opened it, the handle tells where the folder really is;
    // held through a link (as the temp folder is), a plain folder is held the same.
    for (const std::string& spelling :
         {AsciiUpper(dir_) + "HELD\\SUB\\..", dir_ + "held\\sub\\..\\"}) {
        const FileHandle spelled = spelling.back() == '\\'
                                       ? os_.OpenFolderToHoldThroughLink(spelling)
                                       : os_.OpenFolderToHold(spelling);
        ASSERT_NE(kInvalidHandle, spelled) << spelling << " on " << env_.name();
        std::string final;
        EXPECT_TRUE(os_.FinalPathOfHeld(spelled, &final)) << "every system since Vista has it";
        EXPECT_EQ(os_.FullPathOf(dir_ + "held"), final);
        EXPECT_TRUE(os_.CloseFile(spelled));
    }
    FindEntry entry;
    const FindHandle find = os_.FindFirstEntry(dir_ + "held\\*.*", &entry);
    EXPECT_NE(kInvalidHandle, find) << "listed while held";
    if (find != kInvalidHandle) os_.CloseFind(find);
    EXPECT_TRUE(os_.ChangeFileAttributes(dir_ + "held\\f.txt", kFileAttributeNormal));
    EXPECT_TRUE(os_.RemoveFile(dir_ + "held\\f.txt"));
    EXPECT_TRUE(os_.RemoveEmptyDirectory(dir_ + "held\\sub"));
    EXPECT_TRUE(os_.ChangeFileAttributes(dir_ + "held", kFileAttributeNormal));
    EXPECT_FALSE(env_.MoveEntry(dir_ + "held", dir_ + "moved")) << env_.name();
    EXPECT_FALSE(os_.RemoveEmptyDirectory(dir_ + "held")) << env_.name();
    EXPECT_TRUE(os_.CloseFile(held));
    EXPECT_TRUE(env_.MoveEntry(dir_ + "held", dir_ + "moved"));
    EXPECT_TRUE(os_.RemoveEmptyDirectory(dir_ + "moved"));
}

TEST_F(FileSemanticsContract, EnumerationShowsDotsFirstAndEveryHiddenOrSystemEntry) {
    env_.MakeFolder(dir_ + "list");
    env_.MakeFile(dir_ + "list\\hidden.txt", "h", kFileAttributeHidden);
    env_.MakeFile(dir_ + "list\\system.sys", "s", kFileAttributeSystem | kFileAttributeReadOnly);
    env_.MakeFolder(dir_ + "list\\Sub", kFileAttributeHidden);
    // Listed in the form that loses nothing; its best fit, "cafe.txt", would
    // name another file.
    env_.MakeFileUtf16(dir_ + "list\\", u"caf\u00e9.txt");
    FindEntry entry;
    const FindHandle find = os_.FindFirstEntry(dir_ + "list\\*.*", &entry);
    ASSERT_NE(kInvalidHandle, find);
    std::vector<std::string> names{entry.name};
    std::vector<std::uint32_t> attributes{entry.attributes};
    while (os_.FindNextEntry(find, &entry)) {
        names.push_back(entry.name);
        attributes.push_back(entry.attributes);
    }
    EXPECT_TRUE(os_.CloseFind(find));
    ASSERT_EQ(6u, names.size());
    EXPECT_EQ(".", names[0]);
    EXPECT_EQ("..", names[1]);
    EXPECT_EQ(kFileAttributeDirectory, attributes[0] & kFileAttributeDirectory);
    std::vector<std::string> rest(names.begin() + 2, names.end());
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ((std::vector<std::string>{"Sub", "caf?00E9.txt", "hidden.txt", "system.sys"}), rest);
    EXPECT_NE(kInvalidFileAttributes, os_.FileAttributesOf(dir_ + "list\\caf?00E9.txt"));
    for (std::size_t i = 2; i < names.size(); ++i) {
        if (names[i] == "Sub") {
            EXPECT_EQ(kFileAttributeDirectory | kFileAttributeHidden,
                      attributes[i] & (kFileAttributeDirectory | kFileAttributeHidden));
        }
        if (names[i] == "system.sys") {
            EXPECT_EQ(kFileAttributeSystem | kFileAttributeReadOnly, attributes[i] & 0x7u);
        }
    }
}

TEST_F(FileSemanticsContract, AnExactNameFindsThatEntryOnly) {
    env_.MakeFile(dir_ + "One.lnk", "1");
    FindEntry entry;
    const FindHandle find = os_.FindFirstEntry(dir_ + "one.lnk", &entry);
    ASSERT_NE(kInvalidHandle, find);
    EXPECT_EQ("One.lnk", entry.name);
    EXPECT_FALSE(os_.FindNextEntry(find, &entry));
    os_.CloseFind(find);
    EXPECT_EQ(kInvalidHandle, os_.FindFirstEntry(dir_ + "two.lnk", &entry));
    EXPECT_EQ(kInvalidHandle, os_.FindFirstEntry(dir_ + "nowhere\\*.*", &entry));
}

// The installer is written only into a file made new, and held from then on.
TEST_F(FileSemanticsContract, ANewFileIsMadeOnlyWhereNoEntryOfThatNameIs) {
    env_.MakeFile(dir_ + "old.bin", "earlier");
    env_.MakeFolder(dir_ + "folder.bin");
    std::uint32_t error = 0;
    for (const std::string& path :
         {dir_ + "old.bin", dir_ + "folder.bin", dir_ + "no\\such\\folder.bin"}) {
        const FileHandle file = os_.CreateNewFileForWriting(path, &error);
        EXPECT_EQ(kInvalidHandle, file) << path << " on " << env_.name();
        // An existing name is final, not a scanner's moment to wait out.
        EXPECT_TRUE(error == 80u || path.find("no\\") != std::string::npos) << path << error;
        if (file != kInvalidHandle) os_.CloseFile(file);
    }
    EXPECT_EQ("earlier", env_.ReadFileBytes(dir_ + "old.bin"));
    const FileHandle file = os_.CreateNewFileForWriting(dir_ + "new.bin", &error);
    ASSERT_NE(kInvalidHandle, file);
    std::uint32_t written = 0;
    EXPECT_TRUE(os_.WriteToFile(file, "new", 3, &written));
    EXPECT_EQ(3u, written);
    EXPECT_EQ(kInvalidHandle, os_.OpenFileToHold(dir_ + "new.bin", &error)) << "open for writing";
    EXPECT_EQ(static_cast<std::uint32_t>(kErrorSharingViolation), error) << env_.name();
    EXPECT_TRUE(os_.CloseFile(file));
    EXPECT_EQ("new", env_.ReadFileBytes(dir_ + "new.bin"));
}

// Held, a file can be read and started but not written, renamed or deleted.
TEST_F(FileSemanticsContract, AHeldFileIsReadAndStartedButNeverChanged) {
    env_.MakeFile(dir_ + "held.bin", "MZ held");
    env_.MakeFolder(dir_ + "folder");
    std::uint32_t error = 0;
    const FileHandle held = os_.OpenFileToHold(dir_ + "held.bin", &error);
    ASSERT_NE(kInvalidHandle, held) << env_.name();
    EXPECT_FALSE(env_.OpensForWriting(dir_ + "held.bin")) << env_.name();
    EXPECT_FALSE(env_.MoveEntry(dir_ + "held.bin", dir_ + "moved.bin")) << env_.name();
    EXPECT_FALSE(os_.RemoveFile(dir_ + "held.bin")) << env_.name();
    char bytes[16] = {};
    std::uint32_t read = 0;
    EXPECT_TRUE(os_.ReadFromFile(held, bytes, 4, &read));
    EXPECT_EQ("MZ h", std::string(bytes, read));
    EXPECT_TRUE(os_.ReadFromFile(held, bytes, sizeof bytes, &read));
    EXPECT_EQ("eld", std::string(bytes, read));
    EXPECT_TRUE(os_.ReadFromFile(held, bytes, sizeof bytes, &read));
    EXPECT_EQ(0u, read) << "the end";
    EXPECT_TRUE(os_.CloseFile(held));
    EXPECT_TRUE(env_.OpensForWriting(dir_ + "held.bin"));
    EXPECT_EQ(kInvalidHandle, os_.OpenFileToHold(dir_ + "folder", &error)) << "not a folder";
    EXPECT_EQ(static_cast<std::uint32_t>(kErrorAccessDenied), error) << env_.name();

    // A held program starts, asking for System32 DLLs first (Windows 10
    // version 1607 and later, and Wine, take that).
    const std::string marker = dir_ + "started.txt";
    ProcessStart request;
    request.commandLine = env_.SleeperCommand(0, marker);
    request.applicationName = request.commandLine.substr(1, request.commandLine.find('"', 1) - 1);
    request.startup = {kStartupInfoSize, kStartfUseShowWindow, kSwShowNormal};
    request.preferSystem32Dlls = true;
    const FileHandle program = os_.OpenFileToHold(request.applicationName, &error);
    StartedProcess started;
    ASSERT_TRUE(os_.StartProcess(request, &started)) << env_.name() << " error " << started.error;
    EXPECT_TRUE(os_.CloseFile(program)) << request.applicationName;
    EXPECT_EQ(kWaitObject0, os_.WaitUntilSignalled(started.process, kInfinite));
    os_.CloseProcessHandle(started.thread);
    os_.CloseProcessHandle(started.process);
    EXPECT_TRUE(env_.Exists(marker));
}

TEST_F(FileSemanticsContract, RootSpellingsNormaliseToTheRoot) {
    for (const char* spelling : {"C:\\", "C:\\\\", "C:\\.", "C:\\..", "C:\\..\\", "C:\\..\\..",
                                 "C:\\foo\\..", "C:\\foo\\..\\", "C:\\ ", "C:\\.\\.", "C:/"}) {
        EXPECT_EQ("C:\\", os_.FullPathOf(spelling)) << "\"" << spelling << "\" on " << env_.name();
    }
}

TEST_F(FileSemanticsContract, NormalisationResolvesDotsAndDropsTrailingDotsAndBlanks) {
    EXPECT_EQ("C:\\a\\c", os_.FullPathOf("C:\\a\\b\\..\\c"));
    EXPECT_EQ("C:\\a\\b", os_.FullPathOf("C:\\a\\.\\b"));
    EXPECT_EQ("C:\\a\\b", os_.FullPathOf("C:/a/b"));
    EXPECT_EQ("C:\\a\\b\\", os_.FullPathOf("C:\\a\\b\\"));
    EXPECT_EQ("C:\\a", os_.FullPathOf("C:\\a\\b\\.."));
    EXPECT_EQ("C:\\a\\b", os_.FullPathOf("C:\\a\\b."));
    EXPECT_EQ("C:\\a\\b", os_.FullPathOf("C:\\a\\b "));
    EXPECT_EQ("C:\\a\\b", os_.FullPathOf("C:\\a\\b. ."));
}

TEST_F(FileSemanticsContract, DriveRelativePathsResolveFromTheCurrentFolder) {
    env_.MakeFolder(dir_ + "cwd");
    ASSERT_TRUE(os_.ChangeCurrentDirectory(dir_ + "cwd"));
    const std::string here = os_.FullPathOf(dir_ + "cwd");
    // Wine keeps the current folder's trailing backslash here; either form names it.
    std::string drive = os_.FullPathOf("C:");
    if (drive.size() > 3 && drive.back() == '\\') drive.pop_back();
    EXPECT_EQ(here, drive);
    EXPECT_EQ(here + "\\foo", os_.FullPathOf("C:foo"));
    EXPECT_EQ(here + "\\foo", os_.FullPathOf("foo"));
    EXPECT_EQ(here + "\\foo", os_.FullPathOf(".\\foo"));
    EXPECT_FALSE(os_.ChangeCurrentDirectory(dir_ + "missing"));
    EXPECT_FALSE(os_.ChangeCurrentDirectory(""));
    EXPECT_TRUE(os_.ChangeCurrentDirectory("C:\\"));  // leave the scratch folder removable
}

TEST_F(FileSemanticsContract, FileTimesBeforeTheDosEraDoNotConvert) {
    constexpr std::uint64_t k2010 = 129067776000000000ull;
    constexpr std::uint64_t k1970 = 116444736000000000ull;
    EXPECT_TRUE(os_.ConvertsToLocalDosTime(k2010));
    EXPECT_FALSE(os_.ConvertsToLocalDosTime(k1970));
    EXPECT_FALSE(os_.ConvertsToLocalDosTime(0));
}

TEST_F(FileSemanticsContract, TheTempPathEndsWithABackslash) {
    const std::string temp = os_.TempFolderPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ('\\', temp.back());
    EXPECT_EQ(kFileAttributeDirectory, os_.FileAttributesOf(temp) & kFileAttributeDirectory);
}

// File names compare without regard to the case of any letter the code
// page has, double-byte alphabets included; the folder guard folds names the
// same way, or "иван" would slip past a profile named "Иван". Code page 949.
TEST_F(FileSemanticsContract, EveryLetterOfTheCodePageFoldsAsFileNamesDo) {
    const std::string ivan = "\xAC\xAA\xAC\xD3\xAC\xD1\xAC\xDF";   // "Иван"
    const std::string lower = "\xAC\xDA\xAC\xD3\xAC\xD1\xAC\xDF";  // "иван"
    const std::string upper = "\xAC\xAA\xAC\xA3\xAC\xA1\xAC\xAF";  // "ИВАН"
    const std::string wideLower = "\xA3\xEE\xA3\xF5\xA3\xE2";      // "ｎｕｂ"
    const std::string wideUpper = "\xA3\xCE\xA3\xD5\xA3\xC2";      // "ＮＵＢ"
    const std::string hangul = "\xB4\xA9\xBA\xA5";                 // "누벤": no case
    ASSERT_TRUE(os_.IsDbcsEnabled()) << "needs a double-byte code page (949)";

    EXPECT_EQ(
        "C:\\USERS\\" + upper + "\\" + wideUpper + " " + hangul + " 2.0\\",
        os_.UpperCaseText("c:\\Users\\" + lower + "\\" + wideLower + " " + hangul + " 2.0\\"));
    env_.MakeFolder(dir_ + ivan);
    env_.MakeFolder(dir_ + wideLower);
    EXPECT_NE(kInvalidFileAttributes, os_.FileAttributesOf(dir_ + lower));
    EXPECT_NE(kInvalidFileAttributes, os_.FileAttributesOf(dir_ + upper));
    EXPECT_NE(kInvalidFileAttributes, os_.FileAttributesOf(dir_ + wideUpper));
}

}  // namespace
}  // namespace nuben::contract
