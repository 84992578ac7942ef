#include "fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <utility>

namespace nuben::fake {
namespace {

constexpr std::uint32_t kSettableAttributes =
    kFileAttributeReadOnly | kFileAttributeHidden | kFileAttributeSystem | kFileAttributeArchive |
    kFileAttributeTemporary | kFileAttributeOffline | kFileAttributeNotContentIndexed;
// DOS dates run from 1980-01-01 up to the end of 2107.
constexpr std::uint64_t kDosEpoch = 119600064000000000ull;
constexpr std::uint64_t kDosEnd = 159992928000000000ull;

std::string Hex(std::uint64_t value, int width = 0) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%0*llX", width, static_cast<unsigned long long>(value));
    return buffer;
}

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

// '*' and '?' over already folded texts; "*.*" matches every name, dot or not.
bool WildcardMatch(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*" || pattern == "*") return true;
    std::size_t p = 0, n = 0, star = std::string::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out;
}

FakePlatform::FakePlatform() {
    hklm_ = std::make_shared<KeyNode>();
    hklm_->name = "HKLM";
    hkcu_ = std::make_shared<KeyNode>();
    hkcu_->name = "HKCU";
    AddDrive('C');
    MakeFolder("C:\\Temp");
}

FakePlatform::~FakePlatform() = default;

// ===================================================================== text

bool FakePlatform::LeadByte(std::uint8_t byte) const {
    switch (codePage_) {
        case 932:
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:
        case 949:
        case 950:
            return byte >= 0x81 && byte <= 0xFE;
        default:
            return false;
    }
}

// Windows compares file names without regard to the case of any letter,
// not only A to Z. Code page 949 has three double-byte alphabets with case:
// full-width Latin (row 0xA3), Greek (0xA5) and Cyrillic (0xAC); paths bring
// "à" to "ï", which it cannot spell, as "?00E0" to "?00EF", folded to "?00C0".
std::string FakePlatform::Fold(const std::string& text) const {
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (LeadByte(static_cast<std::uint8_t>(out[i])) && i + 1 < out.size()) {
            const auto lead = static_cast<std::uint8_t>(out[i]);
            const auto trail = static_cast<std::uint8_t>(out[i + 1]);
            int shift = 0;
            if (codePage_ == 949) {
                if (lead == 0xA3 && trail >= 0xE1 && trail <= 0xFA) shift = 0x20;
                if (lead == 0xA5 && trail >= 0xE1 && trail <= 0xF8) shift = 0x20;
                if (lead == 0xAC && trail >= 0xD1 && trail <= 0xF1) shift = 0x30;
            }
            out[i + 1] = static_cast<char>(trail - shift);
            ++i;  // a trail byte is part of its character, never an ASCII letter
        } else if (out[i] >= 'a' && out[i] <= 'z') {
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
        } else if (out.compare(i, 4, "?00E") == 0 && i + 4 < out.size() &&
                   std::isxdigit(static_cast<unsigned char>(out[i + 4])) && out[i + 4] < 'a') {
            out[i + 3] = 'C';
            i += 4;
        }
    }
    return out;
}

std::vector<std::string> FakePlatform::SplitBackslash(const std::string& text) const {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (LeadByte(static_cast<std::uint8_t>(text[i])) && i + 1 < text.size()) {
            parts.back() += text.substr(i, 2);
            ++i;
        } else if (text[i] == '\\') {
            parts.emplace_back();
        } else {
            parts.back() += text[i];
        }
    }
    return parts;
}

bool FakePlatform::EndsWithBackslash(const std::string& text) const {
    const auto parts = SplitBackslash(text);
    return parts.size() > 1 && parts.back().empty();
}

// A trailing 0x5C may be the second byte of a character (code page 932):
// only a backslash of its own is a separator.
std::string FakePlatform::WithSeparator(const std::string& path) const {
    return EndsWithBackslash(path) ? path : path + "\\";
}

std::size_t FakePlatform::CharacterCount(const std::string& text) const {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i, ++count) {
        if (LeadByte(static_cast<std::uint8_t>(text[i])) && i + 1 < text.size()) ++i;
    }
    return count;
}

bool FakePlatform::IsWindowsNt() {
    return !Enter("IsWindowsNt", "").fail && windowsNt_;
}

bool FakePlatform::IsDbcsEnabled() {
    return !Enter("IsDbcsEnabled", "").fail && dbcsEnabled_;
}

std::string FakePlatform::UpperCaseText(const std::string& text) {
    if (Enter("UpperCaseText", text).fail || Injected("UpperCaseText", text, nullptr))
        return std::string();
    return Fold(text);
}

bool FakePlatform::IsLeadByte(std::uint8_t byte) {
    return !Enter("IsLeadByte", Hex(byte, 2)).fail && LeadByte(byte);
}

void FakePlatform::SetCodePage(int codePage) {
    codePage_ = codePage;
    dbcsEnabled_ = codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

// ================================================================= handles

std::uintptr_t FakePlatform::NewHandle(Handle handle) {
    const std::uintptr_t value = nextHandle_;
    nextHandle_ += 4;
    handles_.emplace(value, std::move(handle));
    return value;
}

FakePlatform::Handle* FakePlatform::HandleOf(std::uintptr_t value, int kind) {
    const auto it = handles_.find(value);
    if (it == handles_.end() || it->second.kind != kind) return nullptr;
    return &it->second;
}

bool FakePlatform::Injected(const std::string& operation, const std::string& subject, long* code) {
    const std::string folded = Fold(subject);
    for (Injection& injection : injections_) {
        if (injection.operation != operation) continue;
        bool hit = false;
        if (injection.predicate) {
            hit = injection.predicate(subject);
        } else if (injection.remaining != 0 &&
                   (injection.subject.empty() || injection.subject == folded)) {
            if (injection.remaining > 0) --injection.remaining;
            hit = true;
        }
        if (hit) {
            if (code != nullptr) *code = injection.code;
            Log("Injected " + operation + " " + subject);
            return true;
        }
    }
    return false;
}

void FakePlatform::FailNext(const std::string& operation, const std::string& subject, int times,
                            long errorCode) {
    Injection injection;
    injection.operation = operation;
    injection.subject = Fold(subject);
    injection.remaining = times;
    injection.code = errorCode;
    injections_.push_back(std::move(injection));
}

void FakePlatform::FailWhen(const std::string& operation,
                            std::function<bool(const std::string&)> predicate, long errorCode) {
    Injection injection;
    injection.operation = operation;
    injection.predicate = std::move(predicate);
    injection.code = errorCode;
    injections_.push_back(std::move(injection));
}

std::vector<std::string> FakePlatform::EventsOf(const std::vector<std::string>& kinds) const {
    std::vector<std::string> out;
    for (const std::string& line : events_) {
        const std::string kind = line.substr(0, line.find(' '));
        if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end()) out.push_back(line);
    }
    return out;
}

// ================================================================ registry

std::shared_ptr<FakePlatform::KeyNode> FakePlatform::RootNode(KeyHandle root) const {
    if (root == kHkeyLocalMachine) return hklm_;
    if (root == kHkeyCurrentUser) return hkcu_;
    return nullptr;
}

std::shared_ptr<FakePlatform::KeyNode> FakePlatform::KeyOf(KeyHandle handle,
                                                           std::uint32_t* access) const {
    if (auto root = RootNode(handle)) {
        *access = 0xFFFFFFFFu;
        return root;
    }
    const auto it = handles_.find(handle);
    if (it == handles_.end() || it->second.kind != kKey) return nullptr;
    *access = it->second.access;
    return it->second.key;
}

std::shared_ptr<FakePlatform::KeyNode> FakePlatform::UsableKey(KeyHandle key,
                                                               std::uint32_t neededAccess,
                                                               const CallPlan& plan, long* code) {
    std::uint32_t access = 0;
    auto node = KeyOf(key, &access);
    if (!node) {
        *code = kErrorInvalidHandle;
    } else if (node->deleted) {
        *code = kErrorKeyDeleted;
    } else if (neededAccess != 0 && (access & neededAccess) == 0) {
        *code = kErrorAccessDenied;
    } else if (plan.fail) {
        *code = kErrorGenFailure;
    } else {
        return node;
    }
    return nullptr;
}

std::shared_ptr<FakePlatform::KeyNode> FakePlatform::FindKey(const std::shared_ptr<KeyNode>& base,
                                                             const std::string& path,
                                                             long* code) const {
    if (!path.empty() && path[0] == '\\') {
        *code = kErrorBadPathname;
        return nullptr;
    }
    std::shared_ptr<KeyNode> node = base;
    for (const std::string& part : SplitBackslash(path)) {
        if (part.empty()) continue;
        const auto it = node->subkeys.find(Fold(part));
        if (it == node->subkeys.end()) {
            *code = kErrorFileNotFound;
            return nullptr;
        }
        node = it->second;
    }
    *code = kErrorSuccess;
    return node;
}

std::shared_ptr<FakePlatform::KeyNode> FakePlatform::MakeKey(KeyHandle root,
                                                             const std::string& path) {
    std::shared_ptr<KeyNode> node = RootNode(root);
    for (const std::string& part : SplitBackslash(path)) {
        if (part.empty()) continue;
        auto& slot = node->subkeys[Fold(part)];
        if (!slot) {
            slot = std::make_shared<KeyNode>();
            slot->name = part;
            slot->parent = node.get();
        }
        node = slot;
    }
    return node;
}

std::string FakePlatform::KeyPath(const KeyNode& node) const {
    return node.parent == nullptr ? node.name : KeyPath(*node.parent) + "\\" + node.name;
}

std::string FakePlatform::KeyPathFor(KeyHandle base, const std::string& path) const {
    std::uint32_t access = 0;
    const auto node = KeyOf(base, &access);
    const std::string prefix = node ? KeyPath(*node) : Hex(base);
    return path.empty() ? prefix : prefix + "\\" + path;
}

void FakePlatform::CreateKey(KeyHandle root, const std::string& path) {
    MakeKey(root, path);
}

void FakePlatform::SetValue(KeyHandle root, const std::string& keyPath, const std::string& name,
                            std::uint32_t type, const std::string& bytes) {
    auto node = MakeKey(root, keyPath);
    KeyValue& value = node->values[Fold(name)];
    if (value.name.empty()) value.name = name;
    value.type = type;
    value.bytes = bytes;
}

void FakePlatform::SetText(KeyHandle root, const std::string& keyPath, const std::string& name,
                           const std::string& text, std::uint32_t type) {
    SetValue(root, keyPath, name, type, text + std::string(1, '\0'));
}

void FakePlatform::RemoveKey(KeyHandle root, const std::string& path) {
    long code = 0;
    const auto node = FindKey(RootNode(root), path, &code);
    if (!node || node->parent == nullptr) return;
    Unlink(node);
}

void FakePlatform::Unlink(const std::shared_ptr<KeyNode>& node) {
    KeyNode* parent = node->parent;
    const std::string slot = Fold(node->name);
    // Open handles may outlive every key above the one they hold, so a
    // deleted key keeps its full path as its name and forgets its parent.
    std::function<void(KeyNode&)> mark = [&](KeyNode& key) {
        for (auto& child : key.subkeys) mark(*child.second);
        key.deleted = true;
        key.name = KeyPath(key);
        key.parent = nullptr;
    };
    mark(*node);
    parent->subkeys.erase(slot);
}

bool FakePlatform::KeyExists(KeyHandle root, const std::string& path) const {
    long code = 0;
    return FindKey(RootNode(root), path, &code) != nullptr;
}

bool FakePlatform::ValueExists(KeyHandle root, const std::string& keyPath,
                               const std::string& name) const {
    long code = 0;
    const auto node = FindKey(RootNode(root), keyPath, &code);
    return node && node->values.count(Fold(name)) != 0;
}

std::vector<std::string> FakePlatform::SubkeyNames(KeyHandle root, const std::string& path) const {
    long code = 0;
    std::vector<std::string> names;
    if (const auto node = FindKey(RootNode(root), path, &code)) {
        for (const auto& entry : node->subkeys) names.push_back(entry.second->name);
    }
    return names;
}

std::map<std::string, std::string> FakePlatform::RegistryState() const {
    std::map<std::string, std::string> state;
    std::function<void(const KeyNode&)> walk = [&](const KeyNode& node) {
        std::string entry = "denied " + Hex(node.denied);
        for (const auto& value : node.values) {
            entry += "; " + value.second.name + " type " + std::to_string(value.second.type) +
                     " [" + value.second.bytes + "]";
        }
        state[KeyPath(node)] = entry;
        for (const auto& child : node.subkeys) walk(*child.second);
    };
    walk(*hklm_);
    walk(*hkcu_);
    return state;
}

void FakePlatform::DenyKeyAccess(KeyHandle root, const std::string& path,
                                 std::uint32_t deniedBits) {
    MakeKey(root, path)->denied = deniedBits;
}

long FakePlatform::OpenRegistryKey(KeyHandle base, const std::string& path, std::uint32_t access,
                                   KeyHandle* out) {
    const std::string label = KeyPathFor(base, path);
    const CallPlan plan = Enter("OpenRegistryKey", label);
    long code = kErrorSuccess;
    const auto baseNode = UsableKey(base, 0, plan, &code);
    if (baseNode && !Injected("OpenRegistryKey", label, &code)) {
        const auto node = FindKey(baseNode, path, &code);
        if (node && (access & node->denied) != 0) {
            code = kErrorAccessDenied;
        } else if (node) {
            Handle handle;
            handle.kind = kKey;
            handle.key = node;
            handle.access = access;
            *out = NewHandle(std::move(handle));
        }
    }
    Log("OpenKey " + label + " " + Hex(access) + " -> " + std::to_string(code));
    return code;
}

long FakePlatform::QueryRegistryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                                      std::uint8_t* data, std::uint32_t* size) {
    const CallPlan plan = Enter("QueryRegistryValue", KeyPathFor(key, "") + " [" + name + "] " +
                                                          (data == nullptr ? "size" : "data"));
    long code = kErrorSuccess;
    const auto node = UsableKey(key, kKeyQueryValue, plan, &code);
    if (!node || Injected("QueryRegistryValue", name, &code)) return code;
    if (data != nullptr && Injected("QueryRegistryValueData", name, &code)) return code;
    const auto it = node->values.find(Fold(name));
    if (it == node->values.end()) return kErrorFileNotFound;
    if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
    MarkAnswered(plan);
    KeyValue value = it->second;
    value.type = OddValue(plan, value.type, &value.bytes);
    const auto needed = static_cast<std::uint32_t>(value.bytes.size());
    if (type != nullptr) *type = value.type;
    if (data == nullptr) {
        if (size != nullptr) *size = needed;
        return kErrorSuccess;
    }
    if (*size < needed) {
        *size = needed;
        return kErrorMoreData;
    }
    std::memcpy(data, value.bytes.data(), needed);
    *size = needed;
    return kErrorSuccess;
}

long FakePlatform::QueryRegistryKeyInfo(KeyHandle key, std::uint32_t* subkeys,
                                        std::uint32_t* maxSubkeyLen) {
    const CallPlan plan = Enter("QueryRegistryKeyInfo", KeyPathFor(key, ""));
    long code = kErrorSuccess;
    const auto node = UsableKey(key, kKeyQueryValue, plan, &code);
    if (!node || Injected("QueryRegistryKeyInfo", KeyPath(*node), &code)) return code;
    std::size_t longest = 0;
    for (const auto& entry : node->subkeys) {
        const std::string& name = entry.second->name;
        longest = std::max(longest, lengthInCharacters_ ? CharacterCount(name) : name.size());
    }
    std::size_t count = node->subkeys.size();
    MarkAnswered(plan);
    if (plan.odd && plan.kind == OddData::kEmpty) count = longest = 0;
    if (plan.odd && plan.kind == OddData::kOneByte) longest = 1;
    if (plan.odd && plan.kind == OddData::kHuge) {
        // More subkeys than there are, each longer than any name can be.
        count += 1000;
        longest = 0x10000;
    }
    if (subkeys != nullptr) *subkeys = static_cast<std::uint32_t>(count);
    if (maxSubkeyLen != nullptr) *maxSubkeyLen = static_cast<std::uint32_t>(longest);
    return kErrorSuccess;
}

long FakePlatform::EnumRegistrySubkey(KeyHandle key, std::uint32_t index, char* name,
                                      std::uint32_t* nameLen) {
    const CallPlan plan =
        Enter("EnumRegistrySubkey", KeyPathFor(key, "") + " #" + std::to_string(index));
    long code = kErrorSuccess;
    const auto node = UsableKey(key, kKeyEnumerateSubKeys, plan, &code);
    if (!node || Injected("EnumRegistrySubkey", KeyPath(*node), &code)) return code;
    if (index >= node->subkeys.size()) return kErrorNoMoreItems;
    if (name == nullptr || nameLen == nullptr) return kErrorInvalidParameter;
    auto it = node->subkeys.begin();
    std::advance(it, index);
    MarkAnswered(plan);
    const std::string found = OddName(plan, it->second->name);
    if (plan.odd && plan.kind == OddData::kHuge && *nameLen > 0) {
        // The buffer filled to the brim and a length far beyond it.
        std::memset(name, 'x', *nameLen);
        *nameLen = 0x7FFFFFFF;
        return kErrorSuccess;
    }
    if (plan.odd && plan.kind == OddData::kNoNul && *nameLen >= found.size()) {
        // The name without its NUL, the rest of the buffer not cleared.
        std::memset(name, 'Z', *nameLen);
        std::memcpy(name, found.data(), found.size());
        *nameLen = static_cast<std::uint32_t>(found.size());
        return kErrorSuccess;
    }
    if (*nameLen < found.size() + 1) return kErrorMoreData;
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameLen = static_cast<std::uint32_t>(found.size());
    return kErrorSuccess;
}

long FakePlatform::DeleteRegistryKey(KeyHandle base, const std::string& path) {
    const std::string label = KeyPathFor(base, path);
    const CallPlan plan = Enter("DeleteRegistryKey", label);
    long code = kErrorSuccess;
    const auto baseNode = UsableKey(base, 0, plan, &code);
    if (baseNode && !Injected("DeleteRegistryKey", label, &code)) {
        const auto node = FindKey(baseNode, path, &code);
        if (!node) {
            // code set by FindKey
        } else if (node->parent == nullptr || (node->denied & kDelete) != 0 ||
                   !node->subkeys.empty()) {
            code = kErrorAccessDenied;
        } else {
            Unlink(node);
        }
    }
    Log("DeleteKey " + label + " -> " + std::to_string(code));
    return code;
}

long FakePlatform::CloseRegistryKey(KeyHandle key) {
    const CallPlan plan = Enter("CloseRegistryKey", KeyPathFor(key, ""));
    if (RootNode(key)) return plan.fail ? kErrorGenFailure : kErrorSuccess;
    Handle* handle = HandleOf(key, kKey);
    if (handle == nullptr) {
        ++badCloses_;
        Log("CloseKey " + Hex(key) + " -> invalid");
        return kErrorInvalidHandle;
    }
    Log("CloseKey " + KeyPath(*handle->key) + (plan.fail ? " -> fail" : ""));
    // A close that reports failure still lets the handle go: there is
    // nothing the caller could do with it afterwards.
    handles_.erase(key);
    return plan.fail ? kErrorGenFailure : kErrorSuccess;
}

// =================================================================== paths

std::string FakePlatform::Normalise(const std::string& input) const {
    if (input.empty()) return std::string();
    // "\\?\" paths are handed to the file system as they are.
    if (input.rfind("\\\\?\\", 0) == 0) return input;
    std::string s = input;
    std::replace(s.begin(), s.end(), '/', '\\');

    std::string root;
    std::string rest;
    bool unc = false;
    if (s.size() >= 2 && s[0] == '\\' && s[1] == '\\') {
        const auto parts = SplitBackslash(s.substr(2));
        if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) return std::string();
        root = "\\\\" + parts[0] + "\\" + parts[1];
        rest = s.size() > root.size() ? s.substr(root.size() + 1) : std::string();
        unc = true;
    } else if (s.size() >= 2 && IsAsciiLetter(s[0]) && s[1] == ':') {
        if (s.size() >= 3 && s[2] == '\\') {
            root = s.substr(0, 2);
            rest = s.substr(3);
        } else {
            // Drive-relative: from that drive's current folder.
            const bool sameDrive = Fold(cwd_.substr(0, 2)) == Fold(s.substr(0, 2));
            const std::string base = sameDrive ? cwd_ : s.substr(0, 2) + "\\";
            const std::string tail = s.substr(2);
            return tail.empty() ? Normalise(base) : Normalise(WithSeparator(base) + tail);
        }
    } else if (s[0] == '\\') {
        // Rooted: on the current folder's drive or share.
        if (cwd_.rfind("\\\\", 0) == 0) {
            const auto parts = SplitBackslash(cwd_.substr(2));
            return Normalise("\\\\" + parts[0] + "\\" + parts[1] + s);
        }
        return Normalise(cwd_.substr(0, 2) + s);
    } else {
        return Normalise(WithSeparator(cwd_) + s);
    }

    const auto parts = SplitBackslash(rest);
    const bool endsWithSeparator = EndsWithBackslash(rest);
    std::size_t lastIndex = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!parts[i].empty()) lastIndex = i;
    }
    std::vector<std::string> out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string part = parts[i];
        if (part.empty()) continue;
        if (i == lastIndex && !endsWithSeparator && part != "." && part != "..") {
            // The last element loses its trailing dots and blanks.
            while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
            if (part.empty()) continue;
        }
        if (part == ".") continue;
        if (part == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        out.push_back(part);
    }
    std::string result = root;
    if (out.empty()) return unc ? (endsWithSeparator ? result + "\\" : result) : result + "\\";
    for (const std::string& part : out) result += "\\" + part;
    if (endsWithSeparator) result += "\\";
    return result;
}

std::shared_ptr<FakePlatform::FsNode> FakePlatform::RootFor(const std::string& full,
                                                            std::string* rest) const {
    std::string root;
    if (full.rfind("\\\\", 0) == 0) {
        const auto parts = SplitBackslash(full.substr(2));
        if (parts.size() < 2) return nullptr;
        root = "\\\\" + parts[0] + "\\" + parts[1];
    } else if (full.size() >= 2 && full[1] == ':') {
        root = full.substr(0, 2);
    } else {
        return nullptr;
    }
    *rest = full.size() > root.size() ? full.substr(root.size() + 1) : std::string();
    const auto it = roots_.find(Fold(root));
    return it == roots_.end() ? nullptr : it->second;
}

std::shared_ptr<FakePlatform::FsNode> FakePlatform::FollowLink(const std::shared_ptr<FsNode>& node,
                                                               int depth) const {
    if (!node || node->linkTarget.empty()) return node;
    if (depth > 8) return nullptr;
    return Locate(node->linkTarget, true, depth + 1).node;
}

FakePlatform::Located FakePlatform::Locate(const std::string& path, bool followLast,
                                           int depth) const {
    Located found;
    const bool raw = path.rfind("\\\\?\\", 0) == 0;
    found.full = raw ? path.substr(4) : Normalise(path);
    if (found.full.empty()) return found;
    std::string rest;
    std::shared_ptr<FsNode> node = RootFor(found.full, &rest);
    if (!node) return found;
    std::vector<std::string> parts;
    for (const std::string& part : SplitBackslash(rest)) {
        if (!part.empty()) parts.push_back(part);
    }
    if (parts.empty()) {
        found.valid = true;
        found.node = node;
        return found;
    }
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const auto it = node->children.find(Fold(parts[i]));
        if (it == node->children.end() || !it->second->IsFolder()) return found;
        node = FollowLink(it->second, depth);
        if (!node) return found;
    }
    found.valid = true;
    found.parent = node;
    found.name = parts.back();
    const auto it = node->children.find(Fold(found.name));
    if (it != node->children.end())
        found.node = followLast ? FollowLink(it->second, depth) : it->second;
    return found;
}

std::shared_ptr<FakePlatform::FsNode> FakePlatform::NodeAt(const std::string& path,
                                                           bool followLast) const {
    return Locate(path, followLast).node;
}

std::shared_ptr<FakePlatform::FsNode> FakePlatform::MakeNode(const std::string& path, bool folder) {
    const std::string full = Normalise(path);
    std::string rest;
    std::shared_ptr<FsNode> node = RootFor(full, &rest);
    if (!node) {
        if (full.rfind("\\\\", 0) == 0) {
            const auto parts = SplitBackslash(full.substr(2));
            AddShare("\\\\" + parts[0] + "\\" + parts[1]);
        } else {
            AddDrive(full[0]);
        }
        node = RootFor(full, &rest);
    }
    std::vector<std::string> parts;
    for (const std::string& part : SplitBackslash(rest)) {
        if (!part.empty()) parts.push_back(part);
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        auto& slot = node->children[Fold(parts[i])];
        if (!slot) {
            slot = std::make_shared<FsNode>();
            slot->name = parts[i];
            slot->parent = node.get();
            slot->attributes = (!last || folder) ? kFileAttributeDirectory : kFileAttributeArchive;
        }
        node = last ? slot : FollowLink(slot, 0);
    }
    return node;
}

std::string FakePlatform::NodePath(const FsNode& node) const {
    if (node.parent == nullptr) return node.name + "\\";
    const std::string parent = NodePath(*node.parent);
    return WithSeparator(parent) + node.name;
}

std::uint32_t FakePlatform::ReportedAttributes(const FsNode& node) const {
    return node.attributes == 0 ? kFileAttributeNormal : node.attributes;
}

FindEntry FakePlatform::EntryOf(const std::string& name, const FsNode& node) const {
    FindEntry entry;
    entry.name = name;
    entry.attributes = ReportedAttributes(node);
    entry.lastWriteTime = node.lastWrite;
    return entry;
}

// ============================================================ files set-up

void FakePlatform::AddDrive(char letter) {
    const std::string root = std::string(1, letter) + ":";
    auto& slot = roots_[Fold(root)];
    if (slot) return;
    slot = std::make_shared<FsNode>();
    slot->name = root;
    slot->attributes = kFileAttributeDirectory | kFileAttributeHidden | kFileAttributeSystem;
}

void FakePlatform::AddShare(const std::string& uncRoot) {
    auto& slot = roots_[Fold(uncRoot)];
    if (slot) return;
    slot = std::make_shared<FsNode>();
    slot->name = uncRoot;
    slot->attributes = kFileAttributeDirectory;
}

void FakePlatform::MakeFolder(const std::string& path, std::uint32_t attributes) {
    auto node = MakeNode(path, true);
    node->attributes = kFileAttributeDirectory | (attributes & ~kFileAttributeNormal);
}

void FakePlatform::MakeFile(const std::string& path, const std::string& bytes,
                            std::uint32_t attributes) {
    auto node = MakeNode(path, false);
    node->attributes =
        attributes == 0 ? kFileAttributeArchive : (attributes & ~kFileAttributeNormal);
    node->bytes = bytes;
}

void FakePlatform::MakeFolderLink(const std::string& linkPath, const std::string& target) {
    auto node = MakeNode(linkPath, true);
    node->attributes = kFileAttributeDirectory | kFileAttributeReparsePoint;
    node->linkTarget = Normalise(target);
}

void FakePlatform::MakeAlias(const std::string& aliasPath, const std::string& target) {
    const auto node = NodeAt(target, true);
    const Located at = Locate(aliasPath, false);
    if (node && at.parent && !at.node) at.parent->children[Fold(at.name)] = node;
}

void FakePlatform::SetLastWriteTime(const std::string& path, std::uint64_t fileTime) {
    if (auto node = NodeAt(path, false)) node->lastWrite = fileTime;
}

bool FakePlatform::Exists(const std::string& path) const {
    return NodeAt(path, false) != nullptr;
}

bool FakePlatform::IsFolder(const std::string& path) const {
    const auto node = NodeAt(path, false);
    return node && node->IsFolder();
}

std::string FakePlatform::FileBytes(const std::string& path) const {
    const auto node = NodeAt(path, true);
    return node ? node->bytes : std::string();
}

std::uint32_t FakePlatform::AttributesAt(const std::string& path) const {
    const auto node = NodeAt(path, false);
    return node ? ReportedAttributes(*node) : kInvalidFileAttributes;
}

int FakePlatform::HoldOpen(const std::string& path) {
    const auto node = NodeAt(path, true);
    if (!node) return 0;
    ++node->openCount;
    const int token = nextHold_++;
    holds_[token] = node;
    return token;
}

void FakePlatform::Release(int token) {
    const auto it = holds_.find(token);
    if (it == holds_.end()) return;
    --it->second->openCount;
    holds_.erase(it);
}

bool FakePlatform::MoveEntry(const std::string& from, const std::string& to) {
    const Located source = Locate(from, false);
    const Located target = Locate(to, false);
    if (!source.node || !source.parent || !target.valid || target.node ||
        source.node->openCount > 0 || source.node->holdCount > 0) {
        return false;
    }
    source.parent->children.erase(Fold(source.name));
    source.node->name = target.name;
    source.node->parent = target.parent.get();
    target.parent->children[Fold(target.name)] = source.node;
    return true;
}

void FakePlatform::SetCurrentDirectoryTo(const std::string& path) {
    std::string full = Normalise(path);
    if (full.size() > 3 && EndsWithBackslash(full)) full.pop_back();
    cwd_ = full;
}

std::string FakePlatform::FileSnapshot() const {
    std::ostringstream out;
    std::function<void(const FsNode&)> walk = [&](const FsNode& node) {
        out << Printable(NodePath(node)) << " " << Hex(ReportedAttributes(node));
        if (!node.IsFolder()) out << " " << node.bytes.size() << " bytes";
        if (!node.linkTarget.empty()) out << " -> " << Printable(node.linkTarget);
        if (node.openCount > 0) out << " (open)";
        out << "\n";
        if (node.linkTarget.empty()) {
            for (const auto& child : node.children) walk(*child.second);
        }
    };
    for (const auto& root : roots_) walk(*root.second);
    return out.str();
}

std::map<std::string, std::string> FakePlatform::FileState() const {
    std::map<std::string, std::string> state;
    std::function<void(const FsNode&)> walk = [&](const FsNode& node) {
        std::string& entry = state[NodePath(node)];
        entry = Hex(node.attributes) + " [" + node.bytes + "]";
        if (!node.linkTarget.empty()) entry += " -> " + node.linkTarget;
        if (node.linkTarget.empty()) {
            for (const auto& child : node.children) walk(*child.second);
        }
    };
    for (const auto& root : roots_) walk(*root.second);
    return state;
}

bool FakePlatform::IsOpen(const std::string& path) const {
    const auto node = NodeAt(path, true);
    return node && node->openCount > 0;
}

void FakePlatform::SetSpecialFolder(int csidl, const std::string& path) {
    specialFolders_[csidl] = path;
}

// ======================================================== files (platform)

std::uint32_t FakePlatform::FileAttributesOf(const std::string& path) {
    if (Enter("FileAttributesOf", path).fail) return kInvalidFileAttributes;
    if (Injected("FileAttributesOf", Normalise(path))) return kInvalidFileAttributes;
    const auto node = NodeAt(path, false);
    return node ? ReportedAttributes(*node) : kInvalidFileAttributes;
}

bool FakePlatform::ChangeFileAttributes(const std::string& path, std::uint32_t attributes) {
    const CallPlan plan = Enter("ChangeFileAttributes", path);
    // Not opened as a reparse point: a link's target takes the change.
    const Located at = Locate(path, true);
    bool ok = false;
    if (!plan.fail && !Injected("ChangeFileAttributes", at.full) && at.node) {
        at.node->attributes =
            (at.node->attributes & ~kSettableAttributes) | (attributes & kSettableAttributes);
        ok = true;
    }
    Log("SetAttributes " + at.full + " " + Hex(attributes) + (ok ? " -> ok" : " -> fail"));
    return ok;
}

FindHandle FakePlatform::FindFirstEntry(const std::string& pattern, FindEntry* entry) {
    const CallPlan plan = Enter("FindFirstEntry", pattern);
    Log("FindFirst " + pattern);
    if (plan.fail || Injected("FindFirstEntry", Normalise(pattern))) return kInvalidHandle;
    const auto parts = SplitBackslash(pattern);
    const std::string& name = parts.back();
    if (name.empty()) return kInvalidHandle;
    const std::string folderPart = pattern.substr(0, pattern.size() - name.size());

    Handle handle;
    handle.kind = kFind;
    if (HasWildcard(name)) {
        const auto folder = folderPart.empty() ? NodeAt(cwd_, true) : NodeAt(folderPart, true);
        if (!folder || !folder->IsFolder()) return kInvalidHandle;
        const std::string folded = Fold(name);
        if (folder->parent != nullptr) {
            handle.entries.push_back(EntryOf(".", *folder));
            handle.entries.push_back(EntryOf("..", *folder->parent));
            if (!WildcardMatch(folded, ".")) handle.entries.clear();
        }
        for (const auto& child : folder->children) {
            if (WildcardMatch(folded, child.first)) {
                handle.entries.push_back(EntryOf(child.second->name, *child.second));
            }
        }
    } else {
        const Located at = Locate(pattern, false);
        if (at.node && at.parent) handle.entries.push_back(EntryOf(at.node->name, *at.node));
    }
    if (handle.entries.empty()) return kInvalidHandle;
    MarkAnswered(plan);
    Corrupt(plan, &handle.entries[0]);
    *entry = handle.entries[0];
    handle.next = 1;
    handle.path = pattern;
    return NewHandle(std::move(handle));
}

bool FakePlatform::FindNextEntry(FindHandle find, FindEntry* entry) {
    Handle* handle = HandleOf(find, kFind);
    const CallPlan plan = Enter("FindNextEntry", handle == nullptr ? Hex(find) : handle->path);
    if (plan.fail || handle == nullptr || handle->next >= handle->entries.size()) return false;
    FindEntry next = handle->entries[handle->next++];
    MarkAnswered(plan);
    Corrupt(plan, &next);
    *entry = next;
    return true;
}

bool FakePlatform::CloseFind(FindHandle find) {
    const CallPlan plan = Enter("CloseFind", Hex(find));
    if (HandleOf(find, kFind) == nullptr) {
        ++badCloses_;
        return false;
    }
    handles_.erase(find);  // gone even when the close reports failure
    return !plan.fail;
}

bool FakePlatform::RemoveFile(const std::string& path) {
    const CallPlan plan = Enter("RemoveFile", path);
    const Located at = Locate(path, false);
    bool ok = false;
    if (!plan.fail && !Injected("RemoveFile", at.full) && at.node && at.parent &&
        !at.node->IsFolder() && (at.node->attributes & kFileAttributeReadOnly) == 0 &&
        at.node->openCount == 0) {
        at.parent->children.erase(Fold(at.name));
        ok = true;
    }
    Log("RemoveFile " + at.full + (ok ? " -> ok" : " -> fail"));
    return ok;
}

bool FakePlatform::RemoveEmptyDirectory(const std::string& path) {
    const CallPlan plan = Enter("RemoveEmptyDirectory", path);
    const Located at = Locate(path, false);
    bool ok = false;
    if (!plan.fail && !Injected("RemoveEmptyDirectory", at.full) && at.node && at.parent &&
        at.node->IsFolder() && (at.node->attributes & kFileAttributeReadOnly) == 0 &&
        at.node->openCount == 0 && at.node->holdCount == 0 &&
        (!at.node->linkTarget.empty() || at.node->children.empty())) {
        // A link goes as a link; its target keeps its contents.
        at.parent->children.erase(Fold(at.name));
        ok = true;
    }
    Log("RemoveDir " + at.full + (ok ? " -> ok" : " -> fail"));
    return ok;
}

// Folders above are followed, links among them included, as Windows does;
// the entry itself never is: any entry of that name refuses the create.
FileHandle FakePlatform::CreateNewFileForWriting(const std::string& path, std::uint32_t* error) {
    const CallPlan plan = Enter("CreateNewFileForWriting", path);
    const Located at = Locate(path, false);
    std::shared_ptr<FsNode> node;
    long code = at.node ? kErrorFileExists : kErrorGenFailure;
    if (!plan.fail && !Injected("CreateNewFileForWriting", at.full, &code) && at.parent &&
        !at.node) {
        node = std::make_shared<FsNode>();
        node->name = at.name;
        node->parent = at.parent.get();
        node->attributes = kFileAttributeArchive;
        at.parent->children[Fold(at.name)] = node;
    }
    Log("CreateFile " + at.full + (node ? " -> ok" : " -> fail"));
    *error = node ? 0 : static_cast<std::uint32_t>(code);
    if (!node) return kInvalidHandle;
    ++node->openCount;
    Handle handle;
    handle.kind = kFile;
    handle.file = node;
    handle.path = at.full;
    return NewHandle(std::move(handle));
}

bool FakePlatform::WriteToFile(FileHandle file, const void* data, std::uint32_t size,
                               std::uint32_t* written) {
    Handle* handle = HandleOf(file, kFile);
    const CallPlan plan = Enter("WriteToFile", handle == nullptr ? Hex(file) : handle->path);
    if (written != nullptr) *written = 0;
    if (handle == nullptr) {
        Log("WriteFile " + Hex(file) + " -> invalid");
        return false;
    }
    MarkAnswered(plan);
    if (plan.fail || Injected("WriteToFile", handle->path)) {
        Log("WriteFile " + handle->path + " " + std::to_string(size) + " -> fail");
        return false;
    }
    std::uint32_t count = size;
    if (shortWrite_ >= 0) {
        count = std::min(size, static_cast<std::uint32_t>(shortWrite_));
        shortWrite_ = -1;
    }
    if (plan.odd) count = std::min(size, plan.kind == OddData::kOneByte ? 1u : 0u);
    handle->file->bytes.append(static_cast<const char*>(data), count);
    if (written != nullptr) *written = count;
    Log("WriteFile " + handle->path + " " + std::to_string(size) + " -> " + std::to_string(count));
    return true;
}

FileHandle FakePlatform::OpenFileToHold(const std::string& path, std::uint32_t* error) {
    return OpenEntryItself("OpenFileToHold", "HoldFile", path, kFileHold, error);
}

bool FakePlatform::ReadFromFile(FileHandle file, void* data, std::uint32_t size,
                                std::uint32_t* read) {
    Handle* handle = HandleOf(file, kFile);
    const CallPlan plan = Enter("ReadFromFile", handle == nullptr ? Hex(file) : handle->path);
    *read = 0;
    if (plan.fail || handle == nullptr || Injected("ReadFromFile", handle->path)) return false;
    const std::string& bytes = handle->file->bytes;
    std::size_t count =
        std::min<std::size_t>(size, bytes.size() - std::min(handle->next, bytes.size()));
    if (count > 0) MarkAnswered(plan);
    if (plan.odd) count = std::min<std::size_t>(count, plan.kind == OddData::kOneByte ? 1 : 0);
    std::memcpy(data, bytes.data() + handle->next, count);
    handle->next += count;
    *read = static_cast<std::uint32_t>(count);
    return true;
}

bool FakePlatform::CloseFile(FileHandle file) {
    const CallPlan plan = Enter("CloseFile", Hex(file));
    Handle* handle = HandleOf(file, kFile);
    if (handle == nullptr) {
        ++badCloses_;
        Log("CloseFile " + Hex(file) + " -> invalid");
        return false;
    }
    if (!handle->sharesAll) {
        --(handle->folderHold ? handle->file->holdCount : handle->file->openCount);
    }
    Log("CloseFile " + handle->path + (plan.fail ? " -> fail" : ""));
    handles_.erase(file);  // gone even when the close reports failure
    return !plan.fail;
}

// As Windows does, a link is opened itself, not its target (but for a hold
// through a link). A folder hold shares all but delete, so it fails on an
// entry open without sharing; a file hold shares reading only, so it counts as
// such an open itself and takes no folder; attribute access alone is not
// subject to other handles' sharing.
FileHandle FakePlatform::OpenEntryItself(const char* operation, const char* logged,
                                         const std::string& path, Opening opening,
                                         std::uint32_t* error) {
    const CallPlan plan = Enter(operation, path);
    const Located at = Locate(path, opening == kFolderHoldThroughLink);
    const bool folderHold = opening == kFolderHold || opening == kFolderHoldThroughLink;
    long code = kErrorGenFailure;
    if (!plan.fail && !Injected(operation, at.full, &code)) {
        code = !at.node                                         ? kErrorFileNotFound
               : opening != kToChange && at.node->openCount > 0 ? kErrorSharingViolation
               : opening == kFileHold && at.node->IsFolder()    ? kErrorAccessDenied
                                                                : kErrorSuccess;
    }
    if (error != nullptr) *error = static_cast<std::uint32_t>(code);
    Log(std::string(logged) + " " + at.full + (code == kErrorSuccess ? " -> ok" : " -> fail"));
    if (code != kErrorSuccess) return kInvalidHandle;
    if (opening != kToChange) ++(folderHold ? at.node->holdCount : at.node->openCount);
    Handle handle;
    handle.kind = kFile;
    handle.file = at.node;
    handle.folderHold = folderHold;
    handle.sharesAll = opening == kToChange;
    handle.path = at.full;
    return NewHandle(std::move(handle));
}

FileHandle FakePlatform::OpenFolderToHold(const std::string& path) {
    return OpenEntryItself("OpenFolderToHold", "HoldFolder", path, kFolderHold);
}

FileHandle FakePlatform::OpenFolderToHoldThroughLink(const std::string& path) {
    return OpenEntryItself("OpenFolderToHoldThroughLink", "HoldFolder", path,
                           kFolderHoldThroughLink);
}

std::uint32_t FakePlatform::HeldAttributesOf(FileHandle file) {
    Handle* handle = HandleOf(file, kFile);
    const CallPlan plan = Enter("HeldAttributesOf", handle == nullptr ? Hex(file) : handle->path);
    if (plan.fail || handle == nullptr || Injected("HeldAttributesOf", handle->path))
        return kInvalidFileAttributes;
    MarkAnswered(plan);
    const std::uint32_t attributes = ReportedAttributes(*handle->file);
    return plan.odd ? attributes ^ kFileAttributeDirectory : attributes;
}

bool FakePlatform::FinalPathOfHeld(FileHandle file, std::string* path) {
    if (!finalPathCall_) return false;
    Handle* handle = HandleOf(file, kFile);
    const CallPlan plan = Enter("FinalPathOfHeld", handle == nullptr ? Hex(file) : handle->path);
    path->clear();
    if (plan.fail || handle == nullptr || Injected("FinalPathOfHeld", handle->path)) return true;
    MarkAnswered(plan);
    // Where the entry is now, in its stored case: moves since the open included.
    const std::string where = NodePath(*handle->file);
    if (!InLongTemp(where)) *path = CorruptPath(plan, where);
    return true;
}

FileHandle FakePlatform::OpenEntryToChange(const std::string& path) {
    return OpenEntryItself("OpenEntryToChange", "OpenToChange", path, kToChange);
}

// Logged like ChangeFileAttributes: the walk's tests read one kind of line.
bool FakePlatform::ChangeHeldAttributes(FileHandle file, std::uint32_t attributes) {
    Handle* handle = HandleOf(file, kFile);
    const CallPlan plan =
        Enter("ChangeHeldAttributes", handle == nullptr ? Hex(file) : handle->path);
    const bool ok = !plan.fail && handle != nullptr;
    if (ok) {
        handle->file->attributes =
            (handle->file->attributes & ~kSettableAttributes) | (attributes & kSettableAttributes);
    }
    Log("SetAttributes " + (handle == nullptr ? Hex(file) : handle->path) + " " + Hex(attributes) +
        (ok ? " -> ok" : " -> fail"));
    return ok;
}

std::string FakePlatform::PathIn(FileHandle folder, const std::string& asGiven,
                                 const std::string& name) {
    Handle* handle = HandleOf(folder, kFile);
    const std::string base =
        handle != nullptr && finalPathCall_ ? NodePath(*handle->file) : asGiven;
    return base.empty() ? name : WithSeparator(base) + name;
}

bool FakePlatform::InLongTemp(const std::string& path) const {
    const std::string temp = Fold(WithSeparator(tempPath_));
    return longTemp_ && Fold(WithSeparator(path)).compare(0, temp.size(), temp) == 0;
}

FileHandle FakePlatform::HoldTempFolder() {
    return OpenEntryItself("HoldTempFolder", "HoldFolder", tempPath_.empty() ? "." : tempPath_,
                           kFolderHoldThroughLink);
}

// The held-folder calls are the path calls at the place Windows names: logged
// and failed as those.
FileHandle FakePlatform::CreateNewFileIn(FileHandle folder, const std::string& asGiven,
                                         const std::string& name, std::uint32_t* error) {
    return CreateNewFileForWriting(PathIn(folder, asGiven, name), error);
}

FileHandle FakePlatform::OpenFileToHoldIn(FileHandle folder, const std::string& asGiven,
                                          const std::string& name, std::uint32_t* error) {
    return OpenFileToHold(PathIn(folder, asGiven, name), error);
}

bool FakePlatform::RemoveEntryIn(FileHandle folder, const std::string& asGiven,
                                 const std::string& name) {
    const std::string path = PathIn(folder, asGiven, name);
    const std::uint32_t attributes = FileAttributesOf(path);
    if (attributes == kInvalidFileAttributes) return false;
    const bool isFolder = (attributes & kFileAttributeDirectory) != 0;
    if ((attributes & kFileAttributeReparsePoint) != 0)
        return isFolder ? RemoveEmptyDirectory(path) : RemoveFile(path);
    if (isFolder) return false;
    const FileHandle entry = OpenEntryToChange(path);
    if (entry != kInvalidHandle) {
        ChangeHeldAttributes(entry, kFileAttributeNormal);
        CloseFile(entry);
    }
    return RemoveFile(path);
}

std::string FakePlatform::TempFolderPath() {
    const CallPlan plan = Enter("TempFolderPath", "");
    if (plan.fail || Injected("TempFolderPath", "") || longTemp_) return std::string();
    if (!tempPath_.empty()) MarkAnswered(plan);
    return tempPath_.empty() ? tempPath_ : CorruptPath(plan, tempPath_);
}

bool FakePlatform::ChangeCurrentDirectory(const std::string& path) {
    const CallPlan plan = Enter("ChangeCurrentDirectory", path);
    const auto node = NodeAt(path, true);
    const bool ok = !plan.fail && !Injected("ChangeCurrentDirectory", Normalise(path)) && node &&
                    node->IsFolder();
    if (ok) SetCurrentDirectoryTo(path);
    Log("SetCurrentDir " + path + (ok ? " -> ok" : " -> fail"));
    return ok;
}

std::string FakePlatform::FullPathOf(const std::string& path) {
    if (Enter("FullPathOf", path).fail || Injected("FullPathOf", path)) return std::string();
    return Normalise(path);
}

bool FakePlatform::ConvertsToLocalDosTime(std::uint64_t fileTime) {
    if (Enter("ConvertsToLocalDosTime", std::to_string(fileTime)).fail) return false;
    if (Injected("ConvertsToLocalDosTime", "")) return false;
    if (fileTime >= 0x8000000000000000ull) return false;
    const std::int64_t local = static_cast<std::int64_t>(fileTime) - biasMinutes_ * 600000000ll;
    return local >= static_cast<std::int64_t>(kDosEpoch) &&
           local < static_cast<std::int64_t>(kDosEnd);
}

// The model's paths always fit: both are one shell lookup, logged and failed
// as SpecialFolderPath.
std::string FakePlatform::SpecialFolderOrAbove(int csidl) {
    return SpecialFolderPath(csidl);
}

std::string FakePlatform::SpecialFolderPath(int csidl) {
    const CallPlan plan = Enter("SpecialFolderPath", std::to_string(csidl));
    if (plan.fail || Injected("SpecialFolderPath", std::to_string(csidl))) return std::string();
    const auto it = specialFolders_.find(csidl);
    if (it == specialFolders_.end() || it->second.empty()) return std::string();
    MarkAnswered(plan);
    return CorruptPath(plan, it->second);
}

bool FakePlatform::KnownFolderPaths(std::vector<std::string>* paths) {
    const CallPlan plan = Enter("KnownFolderPaths", "");
    paths->clear();
    if (plan.fail || !knownFolders_ || Injected("KnownFolderPaths", "")) return false;
    for (const std::string& path : *knownFolders_) {
        if (!path.empty()) paths->push_back(CorruptPath(plan, path));
    }
    MarkAnswered(plan);
    return true;
}

// =============================================================== resources

void FakePlatform::AddResource(ModuleHandle module, const std::string& type,
                               const std::string& name, const std::string& bytes) {
    resources_.push_back(Resource{module, type, name, bytes});
}

ModuleHandle FakePlatform::OwnModule() {
    return Enter("OwnModule", "").fail ? 0 : kOwnModule;
}

ResourceInfo FakePlatform::FindResourceIn(ModuleHandle module, const std::string& name,
                                          const std::string& type) {
    const CallPlan plan = Enter("FindResourceIn", type + "/" + name);
    if (plan.fail || Injected("FindResourceIn", name)) return 0;
    for (std::size_t i = 0; i < resources_.size(); ++i) {
        const Resource& resource = resources_[i];
        if (resource.module == module && Fold(resource.name) == Fold(name) &&
            Fold(resource.type) == Fold(type)) {
            MarkAnswered(plan);
            // A handle that names no resource at all.
            return plan.odd ? 0x0BAD0 : 0x70000 + i;
        }
    }
    return 0;
}

ResourceData FakePlatform::LoadResourceData(ModuleHandle module, ResourceInfo info) {
    const CallPlan plan = Enter("LoadResourceData", Hex(info));
    const std::size_t index = info - 0x70000;
    if (info < 0x70000 || index >= resources_.size() || resources_[index].module != module)
        return 0;
    if (plan.fail || Injected("LoadResourceData", resources_[index].name)) return 0;
    Handle handle;
    handle.kind = kResource;
    handle.resource = index;
    Log("LoadResource " + resources_[index].name);
    return NewHandle(std::move(handle));
}

std::uint32_t FakePlatform::ResourceSize(ModuleHandle module, ResourceInfo info) {
    const CallPlan plan = Enter("ResourceSize", Hex(info));
    const std::size_t index = info - 0x70000;
    if (info < 0x70000 || index >= resources_.size() || resources_[index].module != module)
        return 0;
    if (plan.fail || Injected("ResourceSize", resources_[index].name)) return 0;
    return static_cast<std::uint32_t>(resources_[index].bytes.size());
}

const void* FakePlatform::LockResourceData(ResourceData data) {
    const CallPlan plan = Enter("LockResourceData", Hex(data));
    Handle* handle = HandleOf(data, kResource);
    if (handle == nullptr) return nullptr;
    if (plan.fail || Injected("LockResourceData", resources_[handle->resource].name))
        return nullptr;
    return resources_[handle->resource].bytes.data();
}

void FakePlatform::ReleaseResourceData(ResourceData data) {
    Enter("ReleaseResourceData", Hex(data));
    Handle* handle = HandleOf(data, kResource);
    if (handle == nullptr) {
        ++badCloses_;
        Log("ReleaseResource " + Hex(data) + " -> invalid");
        return;
    }
    Log("ReleaseResource " + resources_[handle->resource].name);
    handles_.erase(data);
}

// =============================================================== processes

void FakePlatform::RegisterProgram(const std::string& path, ProgramEffect effect,
                                   bool effectWhenWaitedFor, int livesForCounts) {
    programs_.push_back(
        Program{Normalise(path), std::move(effect), effectWhenWaitedFor, livesForCounts});
}

void FakePlatform::RunEffect(int id, bool atEnd) {
    const Process process = processes_[static_cast<std::size_t>(id - 1)];
    if (process.program < 0) return;
    const Program program = programs_[static_cast<std::size_t>(process.program)];
    if (!program.effect || program.whenWaitedFor != atEnd) return;
    const int caller = std::exchange(running_, id);
    program.effect(*this, process.request);
    running_ = caller;
}

void FakePlatform::EndProcess(int id) {
    if (std::exchange(processes_[static_cast<std::size_t>(id - 1)].ended, true)) return;
    RunEffect(id, true);
}

void FakePlatform::StartChild(const std::string& path, bool breakingAway) {
    Process child;
    child.request.commandLine = path;
    // Every job NewJob makes allows breakaway.
    const int job = processes_.at(static_cast<std::size_t>(running_ - 1)).job;
    if (!breakingAway && !(jobLimits_[job] & kJobObjectLimitSilentBreakawayOk)) child.job = job;
    for (std::size_t i = 0; i < programs_.size(); ++i) {
        if (Fold(programs_[i].path) == Fold(Normalise(path))) {
            child.program = static_cast<int>(i);
            child.countsLeft = programs_[i].livesForCounts;
        }
    }
    processes_.push_back(child);
    const int id = static_cast<int>(processes_.size());
    Log("StartChild #" + std::to_string(running_) + " -> #" + std::to_string(id) + " " + path);
    RunEffect(id, false);
}

// The program CreateProcessA would start: the application name as given, or
// the command line's first token, quoted or (unquoted) the shortest prefix
// ending at a blank that names a program; ".exe" may be left off.
std::string FakePlatform::ResolveProgram(const ProcessStart& request) const {
    const auto find = [&](const std::string& candidate) -> std::string {
        if (candidate.empty()) return std::string();
        std::vector<std::string> tries{candidate};
        const auto parts = SplitBackslash(candidate);
        if (parts.back().find('.') == std::string::npos) tries.push_back(candidate + ".exe");
        for (const std::string& attempt : tries) {
            const std::string full = Normalise(attempt);
            if (full.empty()) continue;
            for (const Program& program : programs_) {
                if (Fold(program.path) == Fold(full)) return full;
            }
            const auto node = NodeAt(full, true);
            if (node && !node->IsFolder()) return full;
        }
        return std::string();
    };
    if (!request.applicationName.empty()) return find(request.applicationName);
    const std::string& line = request.commandLine;
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return std::string();
    if (line[start] == '"') {
        const std::size_t end = line.find('"', start + 1);
        return find(
            line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1));
    }
    for (std::size_t i = start; i < line.size(); ++i) {
        if (line[i] == ' ' || line[i] == '\t') {
            const std::string found = find(line.substr(start, i - start));
            if (!found.empty()) return found;
        }
    }
    return find(line.substr(start));
}

bool FakePlatform::StartProcess(const ProcessStart& given, StartedProcess* started) {
    // A held program and folder are named where they are now, as Windows names
    // them; the strings given serve only a system that cannot say.
    ProcessStart request = given;
    Handle* heldProgram = HandleOf(given.program, kFile);
    if (heldProgram != nullptr && finalPathCall_) {
        request.applicationName = NodePath(*heldProgram->file);
        request.commandLine = "\"" + request.applicationName + "\"";
    }
    Handle* folder = HandleOf(given.currentFolder, kFile);
    if (folder != nullptr && finalPathCall_) request.currentDirectory = NodePath(*folder->file);
    const CallPlan plan = Enter("StartProcess", request.commandLine);
    std::string program;
    long code = kErrorGenFailure;
    if (refuseMitigation_ && request.preferSystem32Dlls) {
        code = kErrorInvalidParameter;
    } else if (!plan.fail && !Injected("StartProcess", request.commandLine, &code) &&
               request.commandLine.size() < kMaxCommandLine) {
        code = kErrorFileNotFound;
        program = ResolveProgram(request);
    }
    Log("StartProcess app=" + request.applicationName + " cmd=" + request.commandLine +
        (request.preferSystem32Dlls ? " system32-first" : "") + " -> " +
        (program.empty() ? std::string("fail ") + std::to_string(code) : program));
    if (program.empty()) {
        started->error = static_cast<std::uint32_t>(code);
        return false;
    }

    Process process;
    process.request = request;
    process.suspended = (request.creationFlags & kCreateSuspended) != 0;
    for (std::size_t i = 0; i < programs_.size(); ++i) {
        if (Fold(programs_[i].path) == Fold(program)) {
            process.program = static_cast<int>(i);
            process.countsLeft = programs_[i].livesForCounts;
        }
    }
    processes_.push_back(process);
    const int id = static_cast<int>(processes_.size());
    Handle handle;
    handle.kind = kProcess;
    handle.process = id;
    started->process = NewHandle(handle);
    handle.kind = kThread;
    started->thread = NewHandle(handle);
    const std::string caller = cwd_;
    if (!request.currentDirectory.empty()) SetCurrentDirectoryTo(request.currentDirectory);
    starts_.push_back(StartRecord{request, program, cwd_, started->process, started->thread, id});
    cwd_ = caller;
    processes_.back().ran = !process.suspended;
    if (!process.suspended) RunEffect(id, false);
    return true;
}

std::uint32_t FakePlatform::WaitUntilInputIdle(ProcessHandle process, std::uint32_t timeoutMs) {
    const CallPlan plan = Enter("WaitUntilInputIdle", Hex(process));
    Handle* handle = HandleOf(process, kProcess);
    if (plan.fail) {
        Log("WaitInputIdle " + Hex(process) + " -> fail");
        return kWaitFailed;
    }
    if (handle == nullptr) {
        Log("WaitInputIdle " + Hex(process) + " -> invalid");
        return kWaitFailed;
    }
    Log("WaitInputIdle #" + std::to_string(handle->process) + " " + Hex(timeoutMs));
    return 0;
}

std::uint32_t FakePlatform::WaitUntilSignalled(ProcessHandle handleValue, std::uint32_t timeoutMs) {
    if (Enter("WaitUntilSignalled", Hex(handleValue)).fail) {
        // The wait gives up; the process runs on, its effect not yet done.
        Log("WaitEnd " + Hex(handleValue) + " -> fail");
        return kWaitFailed;
    }
    Handle* handle = HandleOf(handleValue, kProcess);
    if (handle == nullptr) handle = HandleOf(handleValue, kThread);
    if (handle == nullptr) {
        Log("WaitEnd " + Hex(handleValue) + " -> invalid");
        return kWaitFailed;
    }
    const int id = handle->process;
    if (processes_[static_cast<std::size_t>(id - 1)].suspended) {
        // Windows would wait for good: the process never runs.
        Log("WaitEnd #" + std::to_string(id) + " -> suspended, never ends");
        return kWaitFailed;
    }
    Log("WaitEnd #" + std::to_string(id) + " " + Hex(timeoutMs));
    EndProcess(id);
    return 0;
}

bool FakePlatform::CloseProcessHandle(ProcessHandle handleValue) {
    const CallPlan plan = Enter("CloseProcessHandle", Hex(handleValue));
    const auto it = handles_.find(handleValue);
    const int kind = it == handles_.end() ? -1 : it->second.kind;
    if (kind != kProcess && kind != kThread && kind != kJob && kind != kMutex) {
        ++badCloses_;
        Log("CloseProcessHandle " + Hex(handleValue) + " -> invalid");
        return false;
    }
    if (kind == kMutex) {
        --mutexes_[Fold(it->second.path)];
        Log("CloseProcessHandle mutex " + it->second.path + (plan.fail ? " -> fail" : ""));
        handles_.erase(it);
        return !plan.fail;
    }
    const char* what = kind == kProcess ? "process#" : kind == kThread ? "thread#" : "job#";
    Log(std::string("CloseProcessHandle ") + what + std::to_string(it->second.process) +
        (plan.fail ? " -> fail" : ""));
    // A job's only handle: what it holds ends with it under the kill limit.
    const int job = kind == kJob ? it->second.process : 0;
    handles_.erase(it);  // gone even when the close reports failure
    for (Process& process : processes_) {
        if (job != 0 && process.job == job && (jobLimits_[job] & kJobObjectLimitKillOnJobClose))
            process.ended = !(process.suspended = false);
    }
    return !plan.fail;
}

// Ended at once, and nothing it would have done at its end happens.
bool FakePlatform::EndStartedProcess(ProcessHandle process) {
    const Handle* handle = HandleOf(process, kProcess);
    const bool ok = !Enter("EndStartedProcess", Hex(process)).fail && handle != nullptr;
    Log("EndProcess " + (ok ? "#" + std::to_string(handle->process) : Hex(process) + " -> fail"));
    if (!ok) return false;
    Process& ended = processes_[static_cast<std::size_t>(handle->process - 1)];
    ended.ended = true;
    ended.suspended = false;
    return true;
}

ProcessHandle FakePlatform::CreateNamedMutex(const std::string& name, bool* alreadyExisted) {
    const CallPlan plan = Enter("CreateNamedMutex", name);
    const bool ok = !plan.fail && !Injected("CreateNamedMutex", name);
    *alreadyExisted = ok && mutexes_[Fold(name)]++ > 0;
    Log("CreateMutex " + name + (!ok ? " -> fail" : *alreadyExisted ? " -> exists" : " -> new"));
    if (!ok) return 0;
    Handle handle;
    handle.kind = kMutex;
    handle.path = name;
    return NewHandle(std::move(handle));
}

ProcessHandle FakePlatform::NewJob(std::uint32_t limits) {
    if (Enter("NewJob", "").fail || Injected("NewJob", "")) {
        Log("NewJob -> fail");
        return 0;
    }
    Handle handle;
    handle.kind = kJob;
    handle.process = ++jobs_;
    jobLimits_[jobs_] = limits;
    Log("NewJob #" + std::to_string(jobs_) + " " + Hex(limits));
    return NewHandle(handle);
}

bool FakePlatform::ChangeJobLimits(ProcessHandle job, std::uint32_t limits) {
    const CallPlan plan = Enter("ChangeJobLimits", Hex(job));
    const Handle* handle = HandleOf(job, kJob);
    const bool ok = !plan.fail && handle != nullptr && !Injected("ChangeJobLimits", "");
    if (ok) jobLimits_[handle->process] = limits;
    Log("JobLimits " +
        (ok ? "#" + std::to_string(handle->process) + " " + Hex(limits) : "-> fail"));
    return ok;
}

bool FakePlatform::PutProcessInJob(ProcessHandle job, ProcessHandle process) {
    const CallPlan plan = Enter("PutProcessInJob", Hex(process));
    const Handle* jobHandle = HandleOf(job, kJob);
    const Handle* processHandle = HandleOf(process, kProcess);
    if (plan.fail || jobHandle == nullptr || processHandle == nullptr ||
        Injected("PutProcessInJob", "")) {
        Log("PutInJob " + Hex(process) + " -> fail");
        return false;
    }
    processes_[static_cast<std::size_t>(processHandle->process - 1)].job = jobHandle->process;
    Log("PutInJob #" + std::to_string(processHandle->process) + " job#" +
        std::to_string(jobHandle->process));
    return true;
}

bool FakePlatform::ResumeStartedThread(ProcessHandle thread) {
    const CallPlan plan = Enter("ResumeStartedThread", Hex(thread));
    const Handle* handle = HandleOf(thread, kThread);
    if (plan.fail || handle == nullptr || Injected("ResumeStartedThread", "")) {
        Log("Resume " + Hex(thread) + " -> fail");
        return false;
    }
    const int id = handle->process;
    Log("Resume #" + std::to_string(id));
    if (std::exchange(processes_[static_cast<std::size_t>(id - 1)].suspended, false)) {
        processes_[static_cast<std::size_t>(id - 1)].ran = true;
        RunEffect(id, false);
    }
    return true;
}

bool FakePlatform::CountJobProcesses(ProcessHandle job, std::uint32_t* active) {
    const CallPlan plan = Enter("CountJobProcesses", Hex(job));
    const Handle* handle = HandleOf(job, kJob);
    if (plan.fail || handle == nullptr || Injected("CountJobProcesses", "")) {
        Log("CountJob " + Hex(job) + " -> fail");
        return false;
    }
    const int number = handle->process;
    // Each count is a moment later: processes whose time is up end first.
    // Indexes, not iterators: an ending process may start another.
    for (std::size_t i = 0; i < processes_.size(); ++i) {
        Process& process = processes_[i];
        if (process.job == number && !process.ended && process.countsLeft > 0 &&
            --process.countsLeft == 0) {
            EndProcess(static_cast<int>(i + 1));
        }
    }
    std::uint32_t count = 0;
    for (const Process& process : processes_) {
        if (process.job == number && !process.ended) ++count;
    }
    MarkAnswered(plan);
    *active = plan.odd ? 0x7FFFFFFFu : count;  // OddData::kHuge, the only odd answer
    Log("CountJob #" + std::to_string(number) + " -> " + std::to_string(count));
    return true;
}

void FakePlatform::Pause(std::uint32_t milliseconds) {
    Enter("Pause", std::to_string(milliseconds));
    pauses_.push_back(milliseconds);
    Log("Pause " + std::to_string(milliseconds));
}

// ================================================================= windows

WindowHandle FakePlatform::AddWindow(const std::string& className, const std::string& text,
                                     bool visible) {
    Window window;
    window.number = static_cast<int>(windows_.size()) + 1;
    window.handle = 0x20000 + static_cast<WindowHandle>(window.number) * 4;
    window.className = className;
    window.text = text;
    window.visible = visible;
    windows_.push_back(window);
    return window.handle;
}

WindowHandle FakePlatform::AddAnsiProgramWindow(const std::string& className,
                                                const std::string& bytes) {
    const WindowHandle handle = AddWindow(className, bytes);
    windows_.back().textCodePage = codePage_;
    return handle;
}

void FakePlatform::DestroyWindow(WindowHandle handle) {
    for (Window& window : windows_) {
        if (window.handle == handle) window.alive = false;
    }
}

void FakePlatform::RaiseWindow(WindowHandle handle) {
    const auto at = std::find_if(windows_.begin(), windows_.end(),
                                 [&](const Window& window) { return window.handle == handle; });
    if (at != windows_.end()) std::rotate(windows_.begin(), at, at + 1);
}

void FakePlatform::DestroyAfter(WindowHandle handle, const std::string& operation, int nth) {
    for (Window& window : windows_) {
        if (window.handle == handle) {
            window.destroyAfter = operation;
            window.destroyCountdown = nth;
        }
    }
}

FakePlatform::Window* FakePlatform::LiveWindow(WindowHandle handle) {
    for (Window& window : windows_) {
        if (window.handle == handle && window.alive) return &window;
    }
    return nullptr;
}

void FakePlatform::AfterWindowCall(WindowHandle handle, const std::string& operation) {
    Window* window = LiveWindow(handle);
    if (window != nullptr && window->destroyAfter == operation && --window->destroyCountdown == 0) {
        window->alive = false;
        Log("WindowDestroyed " + Describe(handle));
    }
}

std::string FakePlatform::Describe(WindowHandle handle) const {
    for (const Window& window : windows_) {
        if (window.handle == handle) {
            return window.className + "|" + window.text + "#" + std::to_string(window.number);
        }
    }
    return handle == kDesktop ? std::string("desktop") : Hex(handle);
}

WindowHandle FakePlatform::DesktopWindow() {
    return Enter("DesktopWindow", "").fail ? 0 : kDesktop;
}

WindowHandle FakePlatform::RelatedWindow(WindowHandle handle, std::uint32_t command) {
    if (Enter("RelatedWindow", Describe(handle) + " " + std::to_string(command)).fail) {
        AfterWindowCall(handle, "RelatedWindow");
        return 0;
    }
    std::vector<WindowHandle> live;
    for (const Window& window : windows_) {
        if (window.alive) live.push_back(window.handle);
    }
    WindowHandle result = 0;
    if (handle == kDesktop) {
        if (command == kGwChild) result = live.empty() ? 0 : live.front();
        if (command == kGwHwndFirst || command == kGwHwndLast) result = kDesktop;
        return result;
    }
    const auto at = std::find(live.begin(), live.end(), handle);
    if (at != live.end()) {
        switch (command) {
            case kGwHwndFirst:
                result = live.front();
                break;
            case kGwHwndLast:
                result = live.back();
                break;
            case kGwHwndNext:
                result = (at + 1 == live.end()) ? 0 : *(at + 1);
                break;
            case kGwHwndPrev:
                result = (at == live.begin()) ? 0 : *(at - 1);
                break;
            default:
                break;
        }
    }
    AfterWindowCall(handle, "RelatedWindow");
    return result;
}

bool FakePlatform::IsLiveWindow(WindowHandle handle) {
    const bool fail = Enter("IsLiveWindow", Describe(handle)).fail;
    if (handle == kDesktop) return !fail;
    const bool live = !fail && LiveWindow(handle) != nullptr;
    AfterWindowCall(handle, "IsLiveWindow");
    return live;
}

namespace {
// GetClassNameA / GetWindowTextA: cut to size - 1 bytes; a failed fetch
// leaves the buffer as it was.
int CopyCut(const std::string& text, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}
}  // namespace

int FakePlatform::ClassNameOf(WindowHandle handle, char* buffer, int size) {
    const CallPlan plan = Enter("ClassNameOf", Describe(handle));
    int copied = 0;
    if (plan.fail) {
        // a failed fetch leaves the buffer as it was
    } else if (handle == kDesktop) {
        copied = CopyCut("#32769", buffer, size);
    } else if (const Window* window = LiveWindow(handle)) {
        MarkAnswered(plan);
        copied = plan.odd ? CorruptText(plan, window->className, buffer, size)
                          : CopyCut(window->className, buffer, size);
    }
    AfterWindowCall(handle, "ClassNameOf");
    return copied;
}

int FakePlatform::WindowTextOf(WindowHandle handle, char* buffer, int size) {
    return FetchWindowText("WindowTextOf", handle, buffer, size, 949);
}

int FakePlatform::SystemWindowTextOf(WindowHandle handle, char* buffer, int size) {
    return FetchWindowText("SystemWindowTextOf", handle, buffer, size, codePage_);
}

// Windows holds titles in UTF-16: read in the code page it was set in, a
// title comes back as set; in another one, as text it cannot spell.
int FakePlatform::FetchWindowText(const char* operation, WindowHandle handle, char* buffer,
                                  int size, int codePage) {
    const CallPlan plan = Enter(operation, Describe(handle));
    int copied = 0;
    const Window* window = plan.fail ? nullptr : LiveWindow(handle);
    if (window != nullptr) {
        MarkAnswered(plan);
        const std::string text = window->textCodePage == codePage ? window->text : std::string();
        copied = plan.odd ? CorruptText(plan, text, buffer, size) : CopyCut(text, buffer, size);
    }
    AfterWindowCall(handle, operation);
    return copied;
}

bool FakePlatform::PostMessageTo(WindowHandle handle, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
    const bool fail = Enter("PostMessageTo", Describe(handle)).fail;
    const bool live = !fail && LiveWindow(handle) != nullptr;
    if (live) posts_.push_back(PostRecord{handle, message, wParam, lParam});
    Log("PostMessage " + Describe(handle) + " " + Hex(message, 4) + (live ? "" : " -> fail"));
    return live;
}

int FakePlatform::ShowMessageBox(WindowHandle owner, const std::string& text,
                                 const std::string& caption, std::uint32_t style) {
    const bool fail = Enter("ShowMessageBox", text).fail;
    int answer = 0;
    // A box that fails to show (0) takes no scripted answer: nobody saw it.
    if (!fail && !answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    boxes_.push_back(BoxRecord{owner, text, caption, style, answer});
    Log("MessageBox owner=" + Hex(owner) + " style=" + Hex(style, 8) + " caption=" + caption +
        " text=" + text + " -> " + std::to_string(answer));
    return answer;
}

void FakePlatform::QueueAnswers(const std::vector<int>& answers) {
    answers_.insert(answers_.end(), answers.begin(), answers.end());
}

// ==================================================================== dump

std::string FakePlatform::Dump() const {
    std::ostringstream out;
    out << "=== FakePlatform (code page " << codePage_ << ", DBCS " << dbcsEnabled_ << ", NT "
        << windowsNt_ << ")\n--- registry\n";
    std::function<void(const KeyNode&, int)> keys = [&](const KeyNode& node, int depth) {
        out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << Printable(node.name);
        if (node.denied != 0) out << " (denied " << Hex(node.denied) << ")";
        out << "\n";
        for (const auto& value : node.values) {
            out << std::string(static_cast<std::size_t>(depth) * 2 + 2, ' ') << "= "
                << Printable(value.second.name) << " type " << value.second.type << " ["
                << Printable(value.second.bytes) << "]\n";
        }
        for (const auto& child : node.subkeys) keys(*child.second, depth + 1);
    };
    keys(*hklm_, 0);
    keys(*hkcu_, 0);
    out << "--- files (current folder " << Printable(cwd_) << ", temp " << Printable(tempPath_)
        << ")\n"
        << FileSnapshot();
    out << "--- special folders\n";
    for (const auto& folder : specialFolders_) {
        out << "  " << Hex(static_cast<std::uint64_t>(folder.first), 4) << " "
            << Printable(folder.second) << "\n";
    }
    out << "--- platform calls: " << calls_.size() << ", faults applied: " << faultsApplied_
        << (budgetExceeded_ ? ", call budget exceeded" : "") << "\n";
    out << "--- open handles: " << handles_.size() << ", bad closes: " << badCloses_ << "\n";
    for (const auto& handle : handles_) {
        out << "  " << Hex(handle.first) << " kind " << handle.second.kind;
        if (handle.second.key) out << " " << Printable(KeyPath(*handle.second.key));
        if (!handle.second.path.empty()) out << " " << Printable(handle.second.path);
        out << "\n";
    }
    out << "--- windows (z-order)\n";
    for (const Window& window : windows_) {
        out << "  " << Hex(window.handle) << " " << Printable(window.className) << " ["
            << Printable(window.text) << "]" << (window.visible ? "" : " hidden")
            << (window.alive ? "" : " destroyed") << "\n";
    }
    out << "--- events\n";
    for (const std::string& line : events_) out << "  " << Printable(line) << "\n";
    return out.str();
}

}  // namespace nuben::fake
