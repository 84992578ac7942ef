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
        {0x0024, kWindows},       {0x0025, kSystem},          {0x0029, kSystem},
        {0x0026, kProgramFiles},  {0x002B, kCommonFiles},     {0x0023, kCommonAppData},
        {0x0019, kCommonDesktop}, {0x0016, kCommonStartMenu}, {0x0017, kCommonPrograms},
        {0x002E, kCommonDocuments}, {0x0028, kProfile},       {0x0010, kDesktop},
        {0x0005, kDocuments},     {0x000B, kStartMenu},       {0x0002, kPrograms},
        {0x001A, kAppData},       {0x001C, kLocalAppData},
    };
    for (const auto& folder : folders) {
        os.SetSpecialFolder(folder.first, folder.second);
        os.MakeFolder(folder.second);
        os.MakeFile(folder.second + "\\keep.txt", "keep");
    }
    os.MakeFile("C:\\boot.ini", "boot", fake::ATTR_HIDDEN | fake::ATTR_SYSTEM);
    os.MakeFolder(kTemp);
    os.SetTempPath(kTemp);
    os.MakeFolder(kWork);
    os.MakeFile(kWork + "\\notes.txt", "notes");
    os.SetCurrentDirectoryTo(kWork);
    os.AddResource(fake::FakePlatform::kOwnModule, "EXE", "SETUP_FILE", InstallerBytes());
}

std::vector<std::string> WellKnownFolders() {
    return {kWindows,         kSystem,         kProgramFiles, kCommonFiles, kCommonAppData,
            kAllUsers,        kCommonDesktop,  kCommonPrograms, kCommonDocuments, kProfile,
            kDesktop,         kDocuments,      kStartMenu,    kPrograms,    kAppData,
            kLocalAppData,    kDocumentsAndSettings};
}

void MachineTest::TearDown() {
    if (HasFailure()) std::cerr << os.Dump();
}

}  // namespace nuben::test
