// TRegistry: the small registry object through which the bootstrapper reads
// and deletes the records of earlier installations. Each routine creates
// one, sets AccessMask then RootHandle, uses it and lets it go before it
// returns; the destructor closes the current key.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/handles.h"
#include "platform/platform.h"

namespace nuben {

// The error of a text value that could not be read: only ReadTextValue
// reports one. A value, not a throw: the bootstrapper carries no unwinder,
// and what can fail stands in the signature.
class ERegistryException {
  public:
    explicit ERegistryException(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const { return message_; }

  private:
    std::string message_;
};

// What ReadTextValue gives: the value's text, or the error that kept it from
// being read. False when it failed; its Text() is then "" and is never to be
// taken, so that the caller's target keeps what it had.
class TRegistryText {
  public:
    explicit TRegistryText(std::string text) : text_(std::move(text)) {}
    explicit TRegistryText(ERegistryException error) : error_(std::move(error)), failed_(true) {}
    explicit operator bool() const { return !failed_; }
    const std::string& Text() const { return text_; }
    const ERegistryException& Error() const { return error_; }

  private:
    std::string text_;
    ERegistryException error_{std::string()};
    bool failed_ = false;
};

class TRegistry {
  public:
    explicit TRegistry(Platform& os) : os_(os) {}
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    KeyHandle RootHandle() const { return root_; }
    // Changing the root closes the current key, whose path was relative to the old root.
    void SetRootHandle(KeyHandle root);

    std::uint32_t AccessMask() const { return access_; }
    void SetAccessMask(std::uint32_t access) { access_ = access; }

    KeyHandle CurrentKey() const { return current_.get(); }

    // Opens an existing key (never creates). On failure nothing changes.
    bool OpenSubkey(const std::string& path);
    void CloseCurrentKey() { current_.reset(); }

    // A missing value, or one of size 0, reads as "". Fails with an
    // ERegistryException when the data cannot be read or the type is neither
    // REG_SZ nor REG_EXPAND_SZ. The text ends at its first NUL; REG_EXPAND_SZ
    // stays unexpanded.
    TRegistryText ReadTextValue(const std::string& name);

    // True when `path` opens with AccessMask from the base; the current key stays.
    bool SubkeyExists(const std::string& path);

    // Deletes the key with its whole subtree, bottom-up. The key itself is
    // deleted even when it cannot be opened. True when the final delete succeeds.
    bool DeleteKeyTree(const std::string& path);

  private:
    // Resolves `path` against the absolute/relative rule: sets *base and
    // returns the path without a leading backslash.
    std::string Resolve(const std::string& path, KeyHandle* base) const;

    Platform& os_;
    KeyHandle root_ = kHkeyCurrentUser;
    std::uint32_t access_ = kKeyAllAccess;
    unique_hkey current_;
};

}  // namespace nuben
