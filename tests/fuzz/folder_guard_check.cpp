// The folder guard and the removal behind it, against the fake's
// normalisation: a folder is only ever emptied when its normalised form is
// drive-absolute, no root, reached through no link and neither a protected
// folder nor above one; and emptying or removing it changes nothing but
// what lies in it.
#include <map>

#include "checks.h"
#include "fake_platform.h"
#include "fuzz_input.h"
#include "fuzz_machine.h"
#include "text_rules.h"
#include "u_Global/folder_guard.h"
#include "u_Global/u_Global.h"

namespace nuben::fuzz {
namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Tokens for bytes below 0x40 (where the path characters that matter lie),
// the byte itself above.
std::string ComposePath(FuzzInput& in, const std::vector<std::string>& tokens) {
    std::string path;
    for (int i = 0; i < 48 && !in.empty(); ++i) {
        const std::uint8_t byte = in.Byte();
        path +=
            byte < 0x40 ? tokens[byte % tokens.size()] : std::string(1, static_cast<char>(byte));
    }
    return path;
}

}  // namespace

Verdict CheckFolderGuard(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    const int codePage = CodePageOf(flags);
    const bool x86 = (flags & 0x4) != 0;
    const int operation =
        (flags >> 3) % 3;  // 0: guard only, 1: DeleteFolderContents, 2: RemoveFolder
    const std::string path = ComposePath(in, PathTokens(codePage));

    fake::FakePlatform os;
    FurnishFolderMachine(os, codePage, x86);
    Verdict v;

    std::string normalised;
    const FolderRefusal refusal = CheckRemovableFolder(os, path, &normalised);
    const bool allowed = refusal == FolderRefusal::kAllowed;
    const std::string full = os.FullPathOf(path);
    const std::string folder = WithSeparator(codePage, full);

    if (allowed) {
        v.Expect(path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' &&
                     (path[2] == '\\' || path[2] == '/'),
                 "allowed only for a path that starts with a drive, a colon and a separator");
        v.Expect(full.size() >= 3 && IsAsciiLetter(full[0]) && full[1] == ':' && full[2] == '\\',
                 "allowed only when the normalised form starts with X:\\");
        v.Expect(folder.size() > 3, "never a drive's root");
        v.Expect(normalised == folder, "the folder reported is the normalised form");
        for (const std::string& kept : ProtectedFolderPaths(codePage, x86)) {
            const std::string protectedFolder = WithSeparator(codePage, os.FullPathOf(kept));
            v.Expect(!IsSameOrBelow(codePage, folder, protectedFolder),
                     "never a protected folder or one above it: " + kept);
        }
        for (const std::string& link : FolderLinkPaths(codePage)) {
            v.Expect(!IsSameOrBelow(codePage, WithSeparator(codePage, link), folder),
                     "never a folder reached through a link: " + link);
        }
    }
    if (operation == 0) return v;

    // The removal itself, on the same machine: everything that changed must
    // lie in the folder (or be the folder, when it is removed too).
    const std::map<std::string, std::string> before = os.FileState();
    if (operation == 1) {
        DeleteFolderContents(os, path);
    } else {
        RemoveFolder(os, path);
    }
    const std::map<std::string, std::string> after = os.FileState();
    for (const auto& entry : before) {
        const auto now = after.find(entry.first);
        if (now != after.end() && now->second == entry.second) continue;
        const std::string changed = WithSeparator(codePage, entry.first);
        const bool inside = allowed && IsSameOrBelow(codePage, folder, changed) &&
                            (changed.size() > folder.size() || operation == 2);
        v.Expect(inside, "changed outside the folder: " + entry.first);
    }
    for (const auto& entry : after) {
        v.Expect(before.count(entry.first) != 0, "created: " + entry.first);
    }
    v.Expect(os.OpenHandleCount() == 0, "every handle closed");
    return v;
}

}  // namespace nuben::fuzz
