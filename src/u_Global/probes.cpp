#include "registry/registry.h"
#include "u_Global/registry_keys.h"
#include "u_Global/texts.h"
#include "u_Global/u_Global.h"

namespace nuben {

bool IsBetaInstalled(GlobalState& g) {
    bool result = false;
    TRegistry reg(g.os);
    reg.SetAccessMask(kKeyRead);
    reg.SetRootHandle(kHkeyLocalMachine);
    // A probe only finds or does not find: any registry error reads as "not
    // installed", except that a matched name stays matched (result is set
    // before the command is read).
    try {
        if (reg.OpenSubkey(kBetaUninstallKey)) {
            if (reg.ReadTextValue("DisplayName") == texts::kProductName) result = true;
            g.UninstallCommand = reg.ReadTextValue("UninstallString");
            reg.CloseCurrentKey();
        }
    } catch (...) {
    }
    return result;
}

bool IsVersion20Installed(GlobalState& g) {
    bool result = false;
    TRegistry reg(g.os);
    reg.SetAccessMask(kKeyRead);
    reg.SetRootHandle(kHkeyLocalMachine);
    try {
        if (reg.OpenSubkey(kUninstallRootKey)) {
            result = reg.SubkeyExists(texts::kV20Registration);
            reg.CloseCurrentKey();
        }
    } catch (...) {
        // Same rule as the beta probe: an error means "not found".
    }
    return result;
}

}  // namespace nuben
