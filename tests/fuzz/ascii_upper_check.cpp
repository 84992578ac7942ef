// AsciiUpper: every byte a-z becomes A-Z, wherever it stands, and no other
// byte changes; the result is its own upper case.
#include "checks.h"
#include "fuzz_input.h"
#include "u_Global/u_Global.h"

namespace nuben::fuzz {

Verdict CheckAsciiUpper(const std::uint8_t* data, std::size_t size) {
    const std::string text = FuzzInput(data, size).Rest();
    const std::string upper = AsciiUpper(text);
    Verdict v;
    v.Expect(upper.size() == text.size(), "same length");
    if (upper.size() != text.size()) return v;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char expected = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper[i] != expected) {
            v.Expect(false, "byte " + std::to_string(i) + ": only a-z change, each to its capital");
            break;
        }
    }
    v.Expect(AsciiUpper(upper) == upper, "idempotent");
    return v;
}

}  // namespace nuben::fuzz
