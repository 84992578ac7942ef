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
    };
    for (const auto& folder : folders) {
        os.SetSpecialFolder(folder.first, folder.second);
        os.MakeFolder(folder.second);
        os.MakeFile(folder.second + "\\keep.txt", "keep");
    }
    os.MakeFile("C:\\boot.ini", "boot", kFileAttributeHidden | kFileAttributeSystem);
    os.MakeFolder(kTemp);
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
            kDocumentsAndSettings};
}

void MachineTest::TearDown() {
    // A path whose last element is only dots and blanks is an alias of
    // another folder (a parent, or the folder itself): nothing may act on
    // one. Normalising one is how it is read, so that call alone may name it.
    for (const fake::CallRecord& call : os.Calls()) {
        if (call.operation == "FullPathOf") continue;
        std::string path = call.subject;
        while (!path.empty() && path.back() == '\\') path.pop_back();
        const std::string last = path.substr(path.find_last_of('\\') + 1);
        EXPECT_FALSE(!last.empty() && last.find_first_not_of(". ") == std::string::npos &&
                     path.find('\\') != std::string::npos)
            << "#" << call.number << " " << call.operation << " " << call.subject;
    }
    if (HasFailure()) std::cerr << os.Dump();
}

}  // namespace nuben::test
