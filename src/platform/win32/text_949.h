// Text between the logic's code page 949 bytes and the UTF-16 of the wide
// Win32 functions. Code page 949 always, never CP_ACP: the logic's texts and
// paths are 949 whatever the system's ANSI code page is (1252, or 65001
// with Windows' "Beta: Use Unicode UTF-8" option), so every call sees what
// the ANSI form sees on a Korean system. Only the Win32 layer includes this.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace nuben::win32 {

// The most characters the ANSI file functions pass on: they convert a path
// into the thread's 261-character buffer, NUL included, and fail with
// ERROR_FILENAME_EXCED_RANGE on a longer one (measured under Wine 8: 260
// characters go, 261 do not). The wide forms take longer paths, which the
// logic's MAX_PATH rules were never meant to meet.
constexpr std::size_t kAnsiPathChars = 260;

// A NUL-terminated code page 949 text as UTF-16, up to its first NUL, as
// the ANSI form would have passed it on. Paths of up to MAX_PATH characters
// stay on the stack.
class WideText {
  public:
    // False (with the last error set) when `text` is no valid code page 949
    // text, or, with `maxChars`, longer than that many characters.
    bool Assign(const char* text, std::size_t maxChars = 0);
    bool Assign(const std::string& text, std::size_t maxChars = 0) {
        return Assign(text.c_str(), maxChars);
    }
    const wchar_t* c_str() const { return heap_ ? heap_.get() : local_; }
    wchar_t* data() { return heap_ ? heap_.get() : local_; }

  private:
    wchar_t local_[kAnsiPathChars + 1] = {};
    std::unique_ptr<wchar_t[]> heap_;
};

// The code page 949 bytes of `count` UTF-16 units (NULs among them kept).
// False when code page 949 cannot spell them: no best fit, since a lookalike
// ("e" for "é", "\" for the won sign) would name another file or key.
bool To949(const wchar_t* text, std::size_t count, std::string* out);
// The same for a NUL-terminated text, without its NUL.
bool To949(const wchar_t* text, std::string* out);

// A path or name from the system as the logic's code page 949 text, checked
// against the ANSI form's buffer of `bufferBytes` (NUL included): false when
// it cannot be spelled or would not have fitted.
bool To949Within(const wchar_t* text, std::size_t bufferBytes, std::string* out);

}  // namespace nuben::win32
