#include "registry/registry.h"
#include "u_Global/registry_keys.h"
#include "u_Global/texts.h"
#include "u_Global/u_Global.h"

namespace nuben {
namespace {

std::string ReadInstallFolder(Platform& os) {
    TRegistry reg(os);
    reg.SetAccessMask(kKeyRead);
    reg.SetRootHandle(kHkeyLocalMachine);
    if (!reg.OpenSubkey(kProductKey)) return std::string();
    // A value of the wrong type leaves the folder empty; the rest of the
    // clean-up still runs.
    const TRegistryText folder = reg.ReadTextValue("InstallPath");
    return folder ? folder.Text() : std::string();
}

// The current user's special folder with `name` below it; "" when the
// folder yields no path, so nothing is ever appended to an empty string.
std::string InSpecialFolder(Platform& os, int csidl, const char* name) {
    const std::string folder = os.SpecialFolderPath(csidl);
    if (folder.empty()) return folder;
    return WithTrailingBackslash(os, folder) + name;
}

void DeleteRegistryRecords(Platform& os) {
    TRegistry reg(os);
    reg.SetAccessMask(kKeyAllAccess);
    reg.SetRootHandle(kHkeyLocalMachine);
    // Deletes report no error, only their results, which are not looked at.
    reg.DeleteKeyTree(kProductKey);
    if (reg.OpenSubkey(kUninstallRootKey)) {
        reg.DeleteKeyTree(texts::kV20Registration);
        reg.CloseCurrentKey();
    }
}

}  // namespace

void RemoveVersion20(GlobalState& g) {
    Platform& os = g.os;
    const std::string installFolder = ReadInstallFolder(os);
    const std::string desktopShortcut =
        InSpecialFolder(os, kCsidlDesktopDirectory, texts::kShortcutName);
    const std::string programsGroup = InSpecialFolder(os, kCsidlPrograms, texts::kV20Registration);

    // Files and folders before registry keys: if the user stops halfway,
    // the registration still points at what is left.
    RemoveFolder(os, installFolder);
    if (IsExistingFile(os, desktopShortcut)) {
        // The desktop is the user's to change under us, as the group is.
        ResetFileAttributes(os, desktopShortcut);
        os.RemoveFile(desktopShortcut);
    }
    RemoveFolder(os, programsGroup);
    DeleteRegistryRecords(os);
}

}  // namespace nuben
