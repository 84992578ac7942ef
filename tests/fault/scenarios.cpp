#include "scenarios.h"

#include "machine.h"

namespace nuben::fault {
namespace {

const std::string kApp = test::kProgramFiles + "\\누벤";
const std::string kShortcut = test::kDesktop + "\\누벤.lnk";
const std::string kGroup = test::kPrograms + "\\누벤 2.0";
const std::string kUninstaller = test::kProgramFiles + "\\NU-BEN\\unins000.exe";
const std::string kUninstallerCopy = test::kTemp + "~nsu.tmp\\Au_.exe";

bool Within(const std::string& path, const std::string& root) {
    return path == root || path.rfind(root + "\\", 0) == 0;
}

void InstallVersion20(fake::FakePlatform& os) {
    os.SetText(kHkeyLocalMachine, test::kV20Key, "DisplayName", "누벤 2.0");
    os.CreateKey(kHkeyLocalMachine, test::kV20Key + "\\Details");
    os.SetText(kHkeyLocalMachine, test::kProductKey, "InstallPath", kApp);
    // A subkey name long enough that the enumeration buffer could also hold
    // a short name of another key.
    os.SetText(kHkeyLocalMachine, test::kProductKey + "\\Settings", "Theme", "blue");
    os.MakeFile(kApp + "\\NuBen.exe", "exe", kFileAttributeReadOnly);
    os.MakeFolder(kApp + "\\data", kFileAttributeHidden);
    os.MakeFile(kApp + "\\data\\words.dat", "words",
                kFileAttributeReadOnly | kFileAttributeHidden | kFileAttributeSystem);
    os.MakeFile(kShortcut, "shortcut");
    os.MakeFile(kGroup + "\\누벤.lnk", "start");
    os.MakeFile(kGroup + "\\제거.lnk", "remove");
}

// The uninstaller hands its work over to a copy of itself, which ends at
// the second look at its job (the uninstaller, when not waited for, at the first).
void InstallBeta(fake::FakePlatform& os, bool uninstallerRemovesIt) {
    os.SetText(kHkeyLocalMachine, test::kBetaKey, "DisplayName", "누벤");
    os.SetText(kHkeyLocalMachine, test::kBetaKey, "UninstallString", UninstallCommand());
    os.RegisterProgram(
        kUninstaller,
        [](fake::FakePlatform& machine, const ProcessStart&) {
            machine.StartChild(kUninstallerCopy);
        },
        /*effectWhenWaitedFor=*/false, /*livesForCounts=*/1);
    os.RegisterProgram(
        kUninstallerCopy,
        [uninstallerRemovesIt](fake::FakePlatform& machine, const ProcessStart&) {
            if (uninstallerRemovesIt) machine.RemoveKey(kHkeyLocalMachine, test::kBetaKey);
        },
        /*effectWhenWaitedFor=*/true, /*livesForCounts=*/2);
}

}  // namespace

const std::vector<Scenario>& LaunchPaths() {
    static const std::vector<Scenario> paths = {
        {"NothingInstalled", Layout::kNothing, false, 0},
        {"BetaDeclined", Layout::kBeta, true, kIdNo},
        {"BetaAcceptedAndRemoved", Layout::kBeta, true, kIdYes},
        {"BetaAcceptedAndKept", Layout::kBeta, false, kIdYes},
        {"Version20Declined", Layout::kVersion20, false, kIdNo},
        {"Version20Accepted", Layout::kVersion20, false, kIdYes},
    };
    return paths;
}

void Furnish(fake::FakePlatform& os, const Scenario& scenario) {
    test::FurnishTypicalMachine(os);

    // The product's windows, a hidden second copy in other letter case, and
    // near misses that must never be told to quit.
    os.AddWindow("TfrmRepMain", "누벤 신고하기");
    os.AddWindow("TfrmNuBen", "누벤");
    os.AddWindow("TfrmNuBen", "누벤 베타");
    os.AddWindow("TfrmRepMain", "누벤 신고");
    os.AddWindow("tfrmnuben", "누벤", /*visible=*/false);
    os.AddWindow("Notepad", "누벤");

    // Decoys beside every target.
    os.MakeFile(test::kProgramFiles + "\\누벤 사전\\dict.dat", "dict");
    os.MakeFile(kUninstaller, "the beta's own files");
    os.MakeFile(test::kCommonDesktop + "\\누벤.lnk", "all users' shortcut");
    os.MakeFile(test::kCommonPrograms + "\\누벤 2.0\\누벤.lnk", "all users' group");
    os.SetText(kHkeyLocalMachine, "SOFTWARE\\NU-BEN2", "InstallPath",
               test::kProgramFiles + "\\누벤 사전");
    os.CreateKey(kHkeyLocalMachine, test::kUninstallRoot + "\\누벤 2.01");
    os.SetText(kHkeyLocalMachine, test::kUninstallRoot + "\\Other", "DisplayName", "Other");
    os.SetText(kHkeyCurrentUser, "SOFTWARE\\NU-BEN", "Recent", "the user's own settings");

    if (scenario.layout == Layout::kVersion20) InstallVersion20(os);
    if (scenario.layout == Layout::kBeta) InstallBeta(os, scenario.uninstallerRemovesBeta);
    if (scenario.answer != 0) os.QueueAnswers({scenario.answer});
}

bool IsVersion20FileTarget(const std::string& path) {
    return Within(path, kApp) || path == kShortcut || Within(path, kGroup);
}

bool IsVersion20KeyTarget(const std::string& keyPath) {
    return Within(keyPath, "HKLM\\" + test::kProductKey) ||
           Within(keyPath, "HKLM\\" + test::kV20Key);
}

bool IsBetaKeyTarget(const std::string& keyPath) {
    return Within(keyPath, BetaKey());
}

bool IsInstallerFile(const std::string& path) {
    const std::string name = "NUBEN_SETUP.EXE";
    const std::string upper = AsciiUpper(path);
    return upper.size() >= name.size() &&
           upper.compare(upper.size() - name.size(), name.size(), name) == 0;
}

std::vector<std::string> Version20Files() {
    return {kApp, kShortcut, kGroup};
}

std::vector<std::string> Version20Keys() {
    return {"HKLM\\" + test::kProductKey, "HKLM\\" + test::kV20Key};
}

std::string BetaKey() {
    return "HKLM\\" + test::kBetaKey;
}

std::string UninstallCommand() {
    return "\"" + kUninstaller + "\" /S";
}

}  // namespace nuben::fault
