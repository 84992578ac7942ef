#include "machine.h"

#include <iostream>

namespace nuben::test {

std::string InstallerBytes() {
    std::string bytes = std::string("MZ\x90\x00\x03\x00\x00\x00", 8);
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((i * 31 + 7) % 256);
    return bytes;
}

void FurnishTypicalMachine(fake::FakePlatform& os) {
    const std::vector<std::pair<int, std::string>> folders = {
        {kCsidlWindows, kWindows},
        {kCsidlSystem, kSystem},
        {kCsidlSystemX86, kSystem},
        {kCsidlProgramFiles, kProgramFiles},
        {kCsidlProgramFilesCommon, kCommonFiles},
        {kCsidlCommonAppData, kCommonAppData},
        {kCsidlCommonDesktopDirectory, kCommonDesktop},
        {kCsidlCommonStartMenu, kCommonStartMenu},
        {kCsidlCommonPrograms, kCommonPrograms},
        {kCsidlCommonDocuments, kCommonDocuments},
        {kCsidlProfile, kProfile},
        {kCsidlDesktopDirectory, kDesktop},
        {kCsidlPersonal, kDocuments},
        {kCsidlStartMenu, kStartMenu},
        {kCsidlPrograms, kPrograms},
        {kCsidlAppData, kAppData},
        {kCsidlLocalAppData, kLocalAppData},
        {kCsidlMyPictures, kPictures},
    };
    for (const auto& folder : folders) {
        os.SetSpecialFolder(folder.first, folder.second);
        os.MakeFolder(folder.second);
        os.MakeFile(folder.second + "\\keep.txt", "keep");
    }
    os.MakeFile("C:\\boot.ini", "boot", kFileAttributeHidden | kFileAttributeSystem);
    os.SetKnownFolders({kDesktop, "", kPictures, kDownloads, kCommonMusic});
    for (const std::string& folder :
         {kDownloads + "\\", kCommonMusic + "\\", kWindows + "\\Fonts\\", kTemp})
        os.MakeFile(folder + "keep.txt", "keep");
    os.SetTempPath(kTemp);
    os.MakeFolder(kWork);
    os.MakeFile(kWork + "\\notes.txt", "notes");
    os.SetCurrentDirectoryTo(kWork);
    os.AddResource(fake::FakePlatform::kOwnModule, "EXE", "SETUP_FILE", InstallerBytes());
}

std::vector<std::string> WellKnownFolders() {
    return {kWindows,
            kSystem,
            kProgramFiles,
            kCommonFiles,
            kCommonAppData,
            kAllUsers,
            kCommonDesktop,
            kCommonPrograms,
            kCommonDocuments,
            kProfile,
            kDesktop,
            kDocuments,
            kStartMenu,
            kPrograms,
            kAppData,
            kLocalAppData,
            kDocumentsAndSettings,
            kPictures,
            kDownloads,
            kCommonMusic,
            kTemp.substr(0, kTemp.size() - 1),
            kWindows + "\\Fonts"};
}

void MachineTest::TearDown() {
    // A path ending in an element of only dots and blanks is an alias of the
    // folder itself or one above it: no call but its normalisation may name one.
    for (const fake::CallRecord& call : os.Calls()) {
        const std::string path = call.subject.substr(0, call.subject.find_last_not_of('\\') + 1);
        const std::size_t last = path.find_last_of('\\');
        EXPECT_TRUE(call.operation == "FullPathOf" || last == std::string::npos ||
                    path.find_first_not_of(". ", last + 1) != std::string::npos)
            << "#" << call.number << " " << call.operation << " " << call.subject;
    }
    if (HasFailure()) std::cerr << os.Dump();
}

}  // namespace nuben::test
