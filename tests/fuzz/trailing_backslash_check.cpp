// WithTrailingBackslash: the input, or the input and one backslash; the
// backslash is added exactly when the last byte is not a backslash standing
// as a character of its own, judged by a walk from the first byte.
#include "checks.h"
#include "fake_platform.h"
#include "fuzz_input.h"
#include "text_rules.h"
#include "u_Global/u_Global.h"

namespace nuben::fuzz {

Verdict CheckTrailingBackslash(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    const int codePage = CodePageOf(flags);
    const bool dbcs = (flags & 0x4) != 0;
    const std::string path = in.Rest();

    fake::FakePlatform os;
    os.SetCodePage(codePage);
    os.SetDbcsEnabled(dbcs);
    Verdict v;
    for (int byte = 0; byte < 256; ++byte) {
        const auto b = static_cast<std::uint8_t>(byte);
        v.Expect(os.IsLeadByte(b) == IsLeadByteOf(codePage, b),
                 "the fake's lead bytes are the code page's");
    }

    const std::string result = WithTrailingBackslash(os, path);
    v.Expect(result == path || result == path + "\\",
             "the result is the input, or the input and a backslash");
    const bool appended = result.size() == path.size() + 1;
    v.Expect(appended == !EndsWithSingleByteBackslash(codePage, dbcs, path),
             "a backslash is added exactly when the last byte is no single-byte backslash");

    // The rule as the routine states it: a final 0x5C is a trail byte when
    // an odd run of lead-byte values stands right before it.
    if (dbcs && !path.empty() && path.back() == '\\') {
        std::size_t run = 0;
        for (std::size_t i = path.size() - 1;
             i-- > 0 && IsLeadByteOf(codePage, static_cast<std::uint8_t>(path[i]));) {
            ++run;
        }
        v.Expect(appended == (run % 2 == 1), "the lead-byte-run rule decides");
    }

    // Once is enough, unless the input ends inside a character: then the
    // added backslash completes that character and is no separator.
    if (!EndsInsideCharacter(codePage, dbcs, path)) {
        v.Expect(WithTrailingBackslash(os, result) == result, "adding twice changes nothing");
    }
    return v;
}

}  // namespace nuben::fuzz
