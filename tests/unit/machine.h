// A furnished fake machine for the unit tests: a Korean Windows XP layout
// with the current user's and the all-users folders, a temp folder whose
// path has blanks, and the installer payload in the program's own module.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "u_Global/u_Global.h"

namespace nuben::test {

inline const std::string kUninstallRoot = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline const std::string kBetaKey = kUninstallRoot + "\\NU-BEN";
inline const std::string kV20Key = kUninstallRoot + "\\누벤 2.0";
inline const std::string kProductKey = "SOFTWARE\\NU-BEN";

inline const std::string kWindows = "C:\\WINDOWS";
inline const std::string kSystem = "C:\\WINDOWS\\system32";
inline const std::string kProgramFiles = "C:\\Program Files";
inline const std::string kCommonFiles = "C:\\Program Files\\Common Files";
inline const std::string kDocumentsAndSettings = "C:\\Documents and Settings";
inline const std::string kAllUsers = "C:\\Documents and Settings\\All Users";
inline const std::string kCommonAppData = kAllUsers + "\\Application Data";
inline const std::string kCommonDesktop = kAllUsers + "\\바탕 화면";
inline const std::string kCommonStartMenu = kAllUsers + "\\시작 메뉴";
inline const std::string kCommonPrograms = kCommonStartMenu + "\\프로그램";
inline const std::string kCommonDocuments = kAllUsers + "\\Documents";
inline const std::string kProfile = "C:\\Documents and Settings\\user";
inline const std::string kDesktop = kProfile + "\\바탕 화면";
inline const std::string kDocuments = kProfile + "\\My Documents";
inline const std::string kStartMenu = kProfile + "\\시작 메뉴";
inline const std::string kPrograms = kStartMenu + "\\프로그램";
inline const std::string kAppData = kProfile + "\\Application Data";
inline const std::string kLocalAppData = kProfile + "\\Local Settings\\Application Data";
inline const std::string kTemp = kProfile + "\\Local Settings\\Temp\\";
inline const std::string kPictures = kDocuments + "\\My Pictures";
inline const std::string kDownloads = kProfile + "\\Downloads";  // a known folder without a CSIDL
inline const std::string kCommonMusic = kCommonDocuments + "\\My Music";
inline const std::string kWork = "C:\\work";

// The embedded installer: binary, with NULs, not a multiple of anything.
std::string InstallerBytes();

// Sets up the layout above; each well-known folder holds a "keep.txt".
void FurnishTypicalMachine(fake::FakePlatform& os);

// Every folder the program must never empty, as the machine above has them.
std::vector<std::string> WellKnownFolders();

// Runs the logic against a fresh fake; prints the fake's state when a test fails.
class MachineTest : public ::testing::Test {
  protected:
    void TearDown() override;

    fake::FakePlatform os;
    GlobalState g{os};
};

// MachineTest on the furnished machine.
class FurnishedMachineTest : public MachineTest {
  protected:
    void SetUp() override { FurnishTypicalMachine(os); }
};

}  // namespace nuben::test
