// Text between the logic's code page 949 bytes and the UTF-16 of the wide
// Win32 functions. Code page 949 always, never CP_ACP: the logic's texts and
// paths are 949 whatever the system's ANSI code page is (1252, or 65001
// with Windows' "Beta: Use Unicode UTF-8" option), so every call sees what
// the ANSI form sees on a Korean system. Only the Win32 layer includes this.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

namespace nuben::win32 {

// The most characters the ANSI file functions pass on: they convert a path
// into the thread's 261-character buffer, NUL included, and fail with
// ERROR_FILENAME_EXCED_RANGE on a longer one (measured under Wine 8: 260
// characters go, 261 do not). The wide forms take longer paths, which the
// logic's MAX_PATH rules were never meant to meet.
constexpr std::size_t kAnsiPathChars = 260;
// Room for the other names and texts the logic hands over (key and value
// names, resource and mutex names, box texts): its own are far shorter, and
// one longer fails as a missing name does. On the stack, as are paths, so
// that no call allocates.
constexpr std::size_t kNameChars = 1024;
// A command line: 32,767 characters with its NUL, the most Windows takes.
constexpr std::size_t kCommandLineChars = 32767;

// `size` bytes of code page 949 text as UTF-16 in `out`, which has room for
// `capacity` characters and a NUL: the number of characters, or -1 (with
// the last error set) when they are no code page 949 text (a lone lead
// byte, an unassigned pair) or would not fit.
int ToWide(const char* text, std::size_t size, wchar_t* out, std::size_t capacity);
// The same for `text` up to its first NUL, as the ANSI forms take it.
bool ToWide(const std::string& text, wchar_t* out, std::size_t capacity);

// `count` UTF-16 units as code page 949 in `out` (`room` bytes, no NUL
// added): the number of bytes, or -1 when they would not fit or code page
// 949 cannot spell them. No best fit: a lookalike ("e" for "é", "\" for the
// won sign) would name another file or key. Another `codePage` only for the
// one text the logic also compares as the system reads it: a window title.
int To949(const wchar_t* text, std::size_t count, char* out, std::size_t room,
          unsigned codePage = 949);

// Paths, unlike other texts, lose nothing: what code page 949 cannot spell
// is written "?" and the UTF-16 unit in four upper-case hex digits
// ("Caf?00E9" for "Café"). No file name holds "?", and no 949 character
// uses its byte, so the form names nothing else and reads back exactly;
// "?" followed by anything else stays as it is. The same UTF-16 units as To949
// otherwise, or -1 when they would not fit.
int PathTo949(const wchar_t* text, std::size_t count, char* out, std::size_t room);
// Code page 949 text, that form included, as UTF-16, as ToWide gives it.
int PathToWide(const char* text, std::size_t size, wchar_t* out, std::size_t capacity);

// A path from the system as the logic's code page 949 text, if it fits
// `room` bytes (at most the ANSI forms' MAX_PATH buffer; by default less its
// NUL); "" otherwise.
std::string AnsiPath(const wchar_t* path, std::size_t length,
                     std::size_t room = kAnsiPathChars - 1);
// The same, or else the nearest folder above it that fits; "" when none does.
std::string AnsiFolderOrAbove(const wchar_t* path, std::size_t length, std::size_t room);

// Code page 949 text as a wide function takes it, at most `Capacity`
// characters (the ANSI forms' own limit where they have one); a `Path` in
// PathToWide's form.
template <std::size_t Capacity, bool Path = false>
struct WideBuffer {
    bool Assign(const std::string& text, std::size_t maxChars = Capacity) {
        return Path ? PathToWide(text.c_str(), std::strlen(text.c_str()), text_, maxChars) >= 0
                    : ToWide(text, text_, maxChars);
    }
    const wchar_t* get() const { return text_; }
    wchar_t* get() { return text_; }

  private:
    wchar_t text_[Capacity + 1];
};

using WidePath = WideBuffer<kAnsiPathChars, true>;
using WideName = WideBuffer<kNameChars>;
using WideCommandLine = WideBuffer<kCommandLineChars>;

}  // namespace nuben::win32
