// Owners for the platform's handles: each closes what it holds exactly once,
// on every path. Copying is deleted; moving hands the handle over.
// Each kind knows its own invalid value (0 or INVALID_HANDLE_VALUE).
#pragma once

#include <utility>

#include "platform/platform.h"

namespace nuben {

template <typename Traits>
class UniqueHandle {
  public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    UniqueHandle(Platform& os, Type value) : os_(&os), value_(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept
        : os_(other.os_), value_(std::exchange(other.value_, Traits::Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            os_ = other.os_;
            value_ = std::exchange(other.value_, Traits::Invalid());
        }
        return *this;
    }

    Type get() const { return value_; }
    bool valid() const { return value_ != Traits::Invalid(); }
    explicit operator bool() const { return valid(); }

    // Gives the handle up without closing it.
    Type release() { return std::exchange(value_, Traits::Invalid()); }

    void reset() {
        if (valid()) Traits::Close(*os_, std::exchange(value_, Traits::Invalid()));
    }

  private:
    Platform* os_ = nullptr;
    Type value_ = Traits::Invalid();
};

struct KeyTraits {
    using Type = KeyHandle;
    static constexpr Type Invalid() { return 0; }
    static void Close(Platform& os, Type h) { os.CloseRegistryKey(h); }
};

struct FileTraits {
    using Type = FileHandle;
    static constexpr Type Invalid() { return kInvalidHandle; }
    static void Close(Platform& os, Type h) { os.CloseFile(h); }
};

struct FindTraits {
    using Type = FindHandle;
    static constexpr Type Invalid() { return kInvalidHandle; }
    static void Close(Platform& os, Type h) { os.CloseFind(h); }
};

struct ProcessHandleTraits {
    using Type = ProcessHandle;
    static constexpr Type Invalid() { return 0; }
    static void Close(Platform& os, Type h) { os.CloseProcessHandle(h); }
};

struct ResourceTraits {
    using Type = ResourceData;
    static constexpr Type Invalid() { return 0; }
    static void Close(Platform& os, Type h) { os.ReleaseResourceData(h); }
};

using unique_hkey = UniqueHandle<KeyTraits>;
using unique_hfile = UniqueHandle<FileTraits>;
using unique_hfind = UniqueHandle<FindTraits>;
using unique_handle = UniqueHandle<ProcessHandleTraits>;
using unique_hresource = UniqueHandle<ResourceTraits>;

// A started process: closes the process handle, then the thread handle.
struct unique_process_information {
    unique_handle process;
    unique_handle thread;
    ~unique_process_information() {
        process.reset();
        thread.reset();
    }
};

}  // namespace nuben
