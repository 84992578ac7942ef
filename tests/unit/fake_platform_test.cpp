// The fake's own behaviours that the contract suite cannot reach (links,
// program search, windows, resources): the other tests rely on them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine.h"

namespace nuben::test {
namespace {

class FakeModelTest : public MachineTest {};

TEST_F(FakeModelTest, AFolderLinkShowsItsTargetsContentsAndGoesAloneWhenRemoved) {
    os.MakeFile("C:\\Target\\a.txt", "a");
    os.MakeFolderLink("C:\\Tree\\link", "C:\\Target");
    EXPECT_EQ(kFileAttributeDirectory | kFileAttributeReparsePoint,
              os.FileAttributesOf("C:\\Tree\\link"));
    FindEntry entry;
    const FindHandle find = os.FindFirstEntry("C:\\Tree\\link\\*.*", &entry);
    ASSERT_NE(kInvalidHandle, find);
    std::vector<std::string> names{entry.name};
    while (os.FindNextEntry(find, &entry)) names.push_back(entry.name);
    os.CloseFind(find);
    EXPECT_EQ((std::vector<std::string>{".", "..", "a.txt"}), names);
    EXPECT_EQ("a", os.FileBytes("C:\\Tree\\link\\a.txt"));
    EXPECT_TRUE(os.RemoveEmptyDirectory("C:\\Tree\\link"));
    EXPECT_TRUE(os.Exists("C:\\Target\\a.txt"));
}

TEST_F(FakeModelTest, TheRootListsNoDotEntries) {
    os.MakeFile("C:\\x.txt");
    FindEntry entry;
    const FindHandle find = os.FindFirstEntry("C:\\*.*", &entry);
    ASSERT_NE(kInvalidHandle, find);
    EXPECT_EQ("Temp", entry.name);
    os.CloseFind(find);
    EXPECT_FALSE(os.RemoveEmptyDirectory("C:\\"));
}

TEST_F(FakeModelTest, AnUnquotedCommandStartsTheShortestProgramPrefixAsWindowsDoes) {
    os.MakeFile("C:\\Program Files\\App\\app.exe", "MZ");
    ProcessStart request;
    request.commandLine = "C:\\Program Files\\App\\app.exe /x";
    StartedProcess started;
    ASSERT_TRUE(os.StartProcess(request, &started));
    EXPECT_EQ("C:\\Program Files\\App\\app.exe", os.Starts().back().program);
    os.RegisterProgram("C:\\Program.exe");
    ASSERT_TRUE(os.StartProcess(request, &started));
    EXPECT_EQ("C:\\Program.exe", os.Starts().back().program);
    request.commandLine = "\"C:\\Program Files\\App\\app.exe\" /x";
    ASSERT_TRUE(os.StartProcess(request, &started));
    EXPECT_EQ("C:\\Program Files\\App\\app.exe", os.Starts().back().program);
    request.commandLine = "   ";
    EXPECT_FALSE(os.StartProcess(request, &started));
    for (const auto& start : os.Starts()) {
        os.CloseProcessHandle(start.process);
        os.CloseProcessHandle(start.thread);
    }
    EXPECT_EQ(0u, os.OpenHandleCount());
}

TEST_F(FakeModelTest, WindowsWalkInZOrderAndAVanishedOneHasNoNextAndNoTexts) {
    const WindowHandle a = os.AddWindow("A", "first");
    const WindowHandle b = os.AddWindow("B", "second");
    EXPECT_EQ(a, os.RelatedWindow(os.RelatedWindow(os.DesktopWindow(), kGwChild), kGwHwndFirst));
    EXPECT_EQ(b, os.RelatedWindow(a, kGwHwndNext));
    EXPECT_EQ(0u, os.RelatedWindow(b, kGwHwndNext));
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(3, os.WindowTextOf(a, buffer, 4));  // cut to size - 1
    EXPECT_EQ("fir", std::string(buffer));
    os.DestroyAfter(a, "IsLiveWindow");
    EXPECT_TRUE(os.IsLiveWindow(a));
    EXPECT_FALSE(os.IsLiveWindow(a));
    EXPECT_EQ(0, os.ClassNameOf(a, buffer, 4));
    EXPECT_EQ("fir", std::string(buffer)) << "a failed fetch leaves the buffer alone";
    EXPECT_EQ(0u, os.RelatedWindow(a, kGwHwndNext));
    EXPECT_FALSE(os.PostMessageTo(a, kWmQuit, 0, 0));
}

TEST_F(FakeModelTest, ResourcesLoadAndReleaseAsHandles) {
    os.AddResource(fake::FakePlatform::kOwnModule, "EXE", "SETUP_FILE", "bytes");
    const ResourceInfo info =
        os.FindResourceIn(fake::FakePlatform::kOwnModule, "setup_file", "exe");
    ASSERT_NE(0u, info);
    const ResourceData data = os.LoadResourceData(fake::FakePlatform::kOwnModule, info);
    EXPECT_EQ(1u, os.OpenHandleCount());
    EXPECT_EQ(5u, os.ResourceSize(fake::FakePlatform::kOwnModule, info));
    EXPECT_EQ("bytes", std::string(static_cast<const char*>(os.LockResourceData(data)), 5));
    os.ReleaseResourceData(data);
    os.ReleaseResourceData(data);
    EXPECT_EQ(0u, os.OpenHandleCount());
    EXPECT_EQ(1u, os.BadCloseCount());
}

TEST_F(FakeModelTest, InjectedFailuresHitOnlyTheirSubjectAndCount) {
    os.MakeFile("C:\\a.txt");
    os.MakeFile("C:\\b.txt");
    os.FailNext("RemoveFile", "c:\\A.TXT");
    EXPECT_TRUE(os.RemoveFile("C:\\b.txt"));
    EXPECT_FALSE(os.RemoveFile("C:\\a.txt"));
    EXPECT_TRUE(os.RemoveFile("C:\\a.txt"));
    std::uint32_t error = 0;
    os.FailWhen("CreateNewFileForWriting",
                [](const std::string& path) { return path.find(".exe") != std::string::npos; });
    EXPECT_EQ(kInvalidHandle, os.CreateNewFileForWriting("C:\\x.exe", &error));
    const FileHandle ok = os.CreateNewFileForWriting("C:\\x.txt", &error);
    EXPECT_NE(kInvalidHandle, ok);
    os.CloseFile(ok);
}

TEST_F(FakeModelTest, DoubleByteNamesFoldOnlyTheirSingleByteLetters) {
    os.MakeFile("C:\\\x81\x61.txt", "one");  // trail byte 'a'
    EXPECT_TRUE(os.Exists("C:\\\x81\x61.TXT"));
    EXPECT_FALSE(os.Exists("C:\\\x81\x41.txt")) << "another character";
    os.SetCodePage(932);
    os.MakeFile("C:\\\x95\x5C\\inside.txt", "932");  // "表" ends in 0x5C
    EXPECT_TRUE(os.IsFolder("C:\\\x95\x5C"));
    EXPECT_EQ("932", os.FileBytes("C:\\\x95\x5C\\inside.txt"));
}

TEST_F(FakeModelTest, FollowsWindowsWhereWineRunAsRootDoesNot) {
    // Documented Windows behaviour the contract cannot check under Wine.
    std::uint32_t error = 0;
    os.MakeFolder("C:\\ro", kFileAttributeReadOnly);
    EXPECT_FALSE(os.RemoveEmptyDirectory("C:\\ro"));
    os.MakeFile("C:\\ro.bin", "ro", kFileAttributeReadOnly);
    os.MakeFile("C:\\hidden.bin", "h", kFileAttributeHidden);
    EXPECT_EQ(kInvalidHandle, os.CreateNewFileForWriting("C:\\ro.bin", &error));
    EXPECT_EQ(kInvalidHandle, os.CreateNewFileForWriting("C:\\hidden.bin", &error));
    EXPECT_EQ("h", os.FileBytes("C:\\hidden.bin"));
}

}  // namespace
}  // namespace nuben::test
