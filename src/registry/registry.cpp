#include "registry/registry.h"

#include <cstring>
#include <vector>

#include "platform/ansi_text.h"

namespace nuben {

void TRegistry::SetRootHandle(KeyHandle root) {
    if (root == root_) return;
    current_.reset();
    root_ = root;
}

std::string TRegistry::Resolve(const std::string& path, KeyHandle* base) const {
    if (!path.empty() && path[0] == '\\') {
        *base = root_;
        return path.substr(1);
    }
    *base = current_ ? current_.get() : root_;
    return path;
}

bool TRegistry::OpenSubkey(const std::string& path) {
    KeyHandle base = 0;
    const std::string relative = Resolve(path, &base);
    KeyHandle opened = 0;
    if (os_.OpenRegistryKey(base, relative, access_, &opened) != kErrorSuccess) return false;
    current_ = unique_hkey(os_, opened);
    return true;
}

TRegistryText TRegistry::ReadTextValue(const std::string& name) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    // Absent is not an error: a missing or empty value simply reads as "".
    if (os_.QueryRegistryValue(current_.get(), name, &type, nullptr, &size) != kErrorSuccess ||
        size == 0) {
        return TRegistryText(std::string());
    }
    std::vector<std::uint8_t> data(size);
    if (os_.QueryRegistryValue(current_.get(), name, &type, data.data(), &size) != kErrorSuccess) {
        return TRegistryText(ERegistryException("Failed to get data for '" + name + "'"));
    }
    if (type != kRegSz && type != kRegExpandSz) {
        return TRegistryText(ERegistryException("Invalid data type for '" + name + "'"));
    }
    // The second read may report fewer bytes than the first; never read past either.
    const std::size_t length = size < data.size() ? size : data.size();
    const void* nul = std::memchr(data.data(), 0, length);
    const std::size_t textLength =
        nul ? static_cast<const std::uint8_t*>(nul) - data.data() : length;
    return TRegistryText(std::string(reinterpret_cast<const char*>(data.data()), textLength));
}

bool TRegistry::SubkeyExists(const std::string& path) {
    KeyHandle base = 0;
    const std::string relative = Resolve(path, &base);
    KeyHandle opened = 0;
    if (os_.OpenRegistryKey(base, relative, access_, &opened) != kErrorSuccess) return false;
    os_.CloseRegistryKey(opened);
    return true;
}

bool TRegistry::DeleteKeyTree(const std::string& path) {
    const bool absolute = !path.empty() && path[0] == '\\';
    const std::string relative = absolute ? path.substr(1) : path;

    KeyHandle base = 0;
    Resolve(path, &base);
    KeyHandle opened = 0;
    if (os_.OpenRegistryKey(base, relative, access_, &opened) == kErrorSuccess) {
        // The key being deleted is current while its children go, so that
        // their relative names resolve below it; the previous current key is
        // put back (and the opened one closed) on every way out.
        unique_hkey remembered = std::move(current_);
        current_ = unique_hkey(os_, opened);
        struct Restore {
            TRegistry& self;
            unique_hkey& remembered;
            ~Restore() { self.current_ = std::move(remembered); }
        } restore{*this, remembered};

        std::uint32_t subkeys = 0;
        std::uint32_t maxLength = 0;
        if (os_.QueryRegistryKeyInfo(current_.get(), &subkeys, &maxLength) == kErrorSuccess) {
            // Some DBCS systems report the longest name in characters, not
            // bytes; doubling keeps the buffer big enough for double-byte names.
            if (os_.IsWindowsNt() && os_.IsDbcsEnabled()) maxLength *= 2;
            std::vector<char> name(static_cast<std::size_t>(maxLength) + 1);
            // Highest index first, so deleting a child never shifts the
            // indexes still to be visited.
            for (std::uint32_t index = subkeys; index-- > 0;) {
                std::uint32_t length = maxLength + 1;
                if (os_.EnumRegistrySubkey(current_.get(), index, name.data(), &length) ==
                    kErrorSuccess) {
                    const std::size_t used = length < name.size() ? length : name.size() - 1;
                    const std::string subkey(name.data(), used);
                    // A key name never holds a backslash: one that arrives
                    // with it (the ANSI best fit of the won or yen sign) would
                    // name another key, or with a leading one an absolute path.
                    if (!subkey.empty() && !HoldsSingleByte(os_, subkey, "\\")) {
                        DeleteKeyTree(subkey);
                    }
                }
            }
        }
    }
    Resolve(path, &base);
    return os_.DeleteRegistryKey(base, relative) == kErrorSuccess;
}

}  // namespace nuben
