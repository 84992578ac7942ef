#include "registry/registry.h"
#include "u_Global/registry_keys.h"
#include "u_Global/texts.h"
#include "u_Global/u_Global.h"

namespace nuben {

bool IsBetaInstalled(GlobalState& g) {
    TRegistry reg(g.os);
    reg.SetAccessMask(kKeyRead);
    reg.SetRootHandle(kHkeyLocalMachine);
    // A probe only finds or does not find: its registry work stops at the
    // first error, which reads as "not installed", except that a matched name
    // stays matched. The key is closed on every way out.
    if (!reg.OpenSubkey(kBetaUninstallKey)) return false;
    const TRegistryText name = reg.ReadTextValue("DisplayName");
    if (!name) return false;
    const bool result = name.Text() == texts::kProductName;
    const TRegistryText command = reg.ReadTextValue("UninstallString");
    if (!command) return result;
    g.UninstallCommand = command.Text();
    reg.CloseCurrentKey();
    return result;
}

bool IsVersion20Installed(GlobalState& g) {
    TRegistry reg(g.os);
    reg.SetAccessMask(kKeyRead);
    reg.SetRootHandle(kHkeyLocalMachine);
    // Opens and existence checks report no error: a key that cannot be had is not found.
    if (!reg.OpenSubkey(kUninstallRootKey)) return false;
    const bool result = reg.SubkeyExists(texts::kV20Registration);
    reg.CloseCurrentKey();
    return result;
}

}  // namespace nuben
