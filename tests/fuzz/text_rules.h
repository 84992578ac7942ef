// The code pages' own rules, written out here rather than asked of the fake
// or the logic, so that a wrong table or scan in either shows as a breach.
#pragma once

#include <cstdint>
#include <string>

namespace nuben::fuzz {

// Lead bytes of code page 949 (0x81-0xFE) and 932 (0x81-0x9F, 0xE0-0xFC);
// none in any other code page.
bool IsLeadByteOf(int codePage, std::uint8_t byte);

// Walks `text` from its first byte, each lead byte taking the next one with
// it: true when the last byte is a backslash standing on its own.
bool EndsWithSingleByteBackslash(int codePage, bool dbcs, const std::string& text);

// True when the walk ends inside a character (a lone lead byte at the end).
bool EndsInsideCharacter(int codePage, bool dbcs, const std::string& text);

// Upper-cases a-z outside double-byte characters, the way names compare.
std::string FoldCase(int codePage, const std::string& text);

// `inner` is `outer` or lies below it; both end with their separator.
bool IsSameOrBelow(int codePage, const std::string& outer, const std::string& inner);

// `text` with a backslash unless it already ends with one standing alone.
std::string WithSeparator(int codePage, const std::string& text);

}  // namespace nuben::fuzz
