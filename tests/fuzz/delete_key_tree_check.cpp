// TRegistry::DeleteKeyTree over random trees: names with double-byte
// characters (0x5C trail bytes in code page 932), several levels, keys that
// deny opening or deleting, the longest name reported in bytes or (on
// double-byte NT systems) in characters, and the three ways of naming the
// key. Afterwards exactly the keys a bottom-up delete cannot reach remain
// (a denied key, everything below a key that cannot be opened, every key
// above one that remains); nothing outside the subtree changed; the current
// key is what it was; no handle is left open.
#include <map>

#include "checks.h"
#include "fake_platform.h"
#include "fuzz_input.h"
#include "registry/registry.h"
#include "text_rules.h"

namespace nuben::fuzz {
namespace {

const std::string kParent = "SOFTWARE\\Fuzz";
const std::string kTarget = kParent + "\\Target";

struct Node {
    std::string path;  // below HKLM
    std::uint32_t denied = 0;
    std::vector<std::size_t> children;
};

// A name that is valid in the code page: no backslash of its own, no NUL,
// every lead byte followed by a trail byte of that code page.
std::string MakeName(FuzzInput& in, int codePage) {
    std::string name;
    const std::size_t length = 1 + in.Byte() % 8;
    while (name.size() < length) {
        const std::uint8_t byte = in.Byte();
        if (codePage != 1252 && byte >= 0xC0) {
            std::uint8_t lead = 0;
            std::uint8_t trail = in.Byte();
            if (codePage == 949) {
                lead = static_cast<std::uint8_t>(0x81 + byte % 0x7E);
                const std::uint8_t trails[] = {0x41, 0x61, 0x81};
                const std::uint8_t spans[] = {26, 26, 0x7E};
                const int range = trail % 3;
                trail = static_cast<std::uint8_t>(trails[range] + trail % spans[range]);
            } else {
                lead = static_cast<std::uint8_t>(byte % 2 == 0 ? 0x81 + byte % 0x1F
                                                               : 0xE0 + byte % 0x1D);
                // 0x40-0x7E and 0x80-0xFC; 0x5C, the backslash, among them.
                trail = static_cast<std::uint8_t>(trail % 2 == 0 ? 0x40 + trail % 0x3F
                                                                 : 0x80 + trail % 0x7D);
            }
            name += static_cast<char>(lead);
            name += static_cast<char>(trail);
        } else {
            char c = static_cast<char>(0x20 + byte % 0x5F);
            if (codePage == 1252 && byte >= 0xA0) c = static_cast<char>(byte);
            if (c == '\\') c = '_';
            name += c;
        }
    }
    return name;
}

bool Within(const std::string& path, const std::string& root) {
    return path == root || path.rfind(root + "\\", 0) == 0;
}

// Marks what a bottom-up delete with full access leaves in place, from
// `index` down; `reached` is false below a key that could not be opened.
bool MarkRemaining(const std::vector<Node>& nodes, std::size_t index, bool reached,
                   std::vector<bool>* remains) {
    const Node& node = nodes[index];
    const bool opens = reached && (node.denied & kKeyAllAccess) == 0;
    bool childRemains = false;
    for (const std::size_t child : node.children) {
        childRemains = MarkRemaining(nodes, child, opens, remains) || childRemains;
    }
    // Never reached: never deleted. Reached: deleted unless a subkey stays
    // or the key denies deletion.
    (*remains)[index] = !reached || childRemains || (node.denied & kDelete) != 0;
    return (*remains)[index];
}

}  // namespace

Verdict CheckDeleteKeyTree(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    const int codePage = CodePageOf(flags);
    const bool nt = (flags & 0x04) != 0;
    const int mode =
        (flags >> 3) % 3;  // 0: from the root, 1: absolute, 2: relative to the current key
    const std::uint8_t targetDenial = in.Byte();
    fake::FakePlatform os;
    os.SetCodePage(codePage);
    os.SetWindowsNt(nt);
    // Counting in characters is what some double-byte NT systems do; the
    // doubling that answers it applies only there.
    os.ReportSubkeyLengthInCharacters((flags & 0x20) != 0 && nt && codePage != 1252);

    std::vector<Node> nodes = {
        {kTarget, 0, {}}, {kParent + "\\Target2", 0, {}}, {kParent + "\\Other", 0, {}}};
    for (const Node& node : nodes) os.SetText(kHkeyLocalMachine, node.path, "Value", node.path);
    os.SetText(kHkeyCurrentUser, kTarget, "Value", "the same path below another root");
    const std::uint32_t denials[] = {kKeyEnumerateSubKeys, kDelete, kKeyQueryValue};
    while (!in.empty() && nodes.size() < 64) {
        const std::size_t parent = in.Byte() % nodes.size();
        const std::string name = MakeName(in, codePage);
        const std::uint8_t deny = in.Byte();
        const std::string path = nodes[parent].path + "\\" + name;
        if (os.KeyExists(kHkeyLocalMachine, path))
            continue;  // the same name as a sibling once folded
        Node node{path, deny < 0xC0 ? 0u : denials[deny % 3], {}};
        os.SetText(kHkeyLocalMachine, path, "Value", name);
        if (node.denied != 0) os.DenyKeyAccess(kHkeyLocalMachine, path, node.denied);
        nodes[parent].children.push_back(nodes.size());
        nodes.push_back(node);
    }
    // The target itself may deny too.
    if (targetDenial >= 0xE0) {
        nodes[0].denied = denials[targetDenial % 3];
        os.DenyKeyAccess(kHkeyLocalMachine, kTarget, nodes[0].denied);
    }

    const std::map<std::string, std::string> before = os.RegistryState();
    Verdict v;
    bool deleted = false;
    {
        TRegistry reg(os);
        reg.SetAccessMask(kKeyAllAccess);
        reg.SetRootHandle(kHkeyLocalMachine);
        if (mode == 0) {
            deleted = reg.DeleteKeyTree(kTarget);
        } else {
            reg.OpenSubkey(mode == 1 ? kParent + "\\Other" : kParent);
            const KeyHandle current = reg.CurrentKey();
            deleted = reg.DeleteKeyTree(mode == 1 ? "\\" + kTarget : std::string("Target"));
            v.Expect(reg.CurrentKey() == current, "the current key stays current");
            v.Expect(os.OpenHandleCount() == (current != 0 ? 1u : 0u),
                     "only the current key is open");
        }
    }
    v.Expect(os.OpenHandleCount() == 0, "no handle left open");
    v.Expect(os.BadCloseCount() == 0, "no handle closed twice");
    v.Expect(deleted == !os.KeyExists(kHkeyLocalMachine, kTarget),
             "true exactly when the key is gone");

    std::vector<bool> expected(nodes.size(), true);
    MarkRemaining(nodes, 0, /*reached=*/true, &expected);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (!Within(nodes[i].path, kTarget)) continue;
        const bool remains = os.KeyExists(kHkeyLocalMachine, nodes[i].path);
        if (remains != expected[i]) {
            v.Expect(false, std::string(remains ? "remains: " : "deleted: ") + nodes[i].path);
        }
    }
    const std::string target = "HKLM\\" + kTarget;
    const std::map<std::string, std::string> after = os.RegistryState();
    for (const auto& entry : before) {
        const auto now = after.find(entry.first);
        const bool same = now != after.end() && now->second == entry.second;
        // Inside the subtree a key may go, but one that stays keeps its values.
        if (!same && (now != after.end() || !Within(entry.first, target))) {
            v.Expect(false, "changed outside what was deleted: " + entry.first);
        }
    }
    for (const auto& entry : after)
        v.Expect(before.count(entry.first) != 0, "created: " + entry.first);
    return v;
}

}  // namespace nuben::fuzz
