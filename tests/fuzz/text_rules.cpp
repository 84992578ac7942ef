#include "text_rules.h"

namespace nuben::fuzz {

bool IsLeadByteOf(int codePage, std::uint8_t byte) {
    switch (codePage) {
        case 949:
            return byte >= 0x81 && byte <= 0xFE;
        case 932:
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        default:
            return false;
    }
}

namespace {

// Index of the first byte of the last character, or text.size() when empty.
std::size_t LastCharacterStart(int codePage, bool dbcs, const std::string& text, bool* complete) {
    std::size_t start = text.size();
    *complete = true;
    for (std::size_t i = 0; i < text.size();) {
        start = i;
        if (dbcs && IsLeadByteOf(codePage, static_cast<std::uint8_t>(text[i]))) {
            *complete = i + 1 < text.size();
            i += 2;
        } else {
            *complete = true;
            i += 1;
        }
    }
    return start;
}

}  // namespace

bool EndsWithSingleByteBackslash(int codePage, bool dbcs, const std::string& text) {
    bool complete = true;
    const std::size_t start = LastCharacterStart(codePage, dbcs, text, &complete);
    return start + 1 == text.size() && text[start] == '\\';
}

bool EndsInsideCharacter(int codePage, bool dbcs, const std::string& text) {
    bool complete = true;
    LastCharacterStart(codePage, dbcs, text, &complete);
    return !complete;
}

std::string FoldCase(int codePage, const std::string& text) {
    std::string folded = text;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        if (IsLeadByteOf(codePage, static_cast<std::uint8_t>(folded[i]))) {
            ++i;  // a trail byte is part of its character, never a letter
        } else if (folded[i] >= 'a' && folded[i] <= 'z') {
            folded[i] = static_cast<char>(folded[i] - 'a' + 'A');
        }
    }
    return folded;
}

bool IsSameOrBelow(int codePage, const std::string& outer, const std::string& inner) {
    if (inner.size() < outer.size()) return false;
    // Folding the common prefix alone walks the same characters as folding
    // the whole: the walk never looks ahead.
    return FoldCase(codePage, inner.substr(0, outer.size())) == FoldCase(codePage, outer);
}

std::string WithSeparator(int codePage, const std::string& text) {
    return EndsWithSingleByteBackslash(codePage, true, text) ? text : text + "\\";
}

}  // namespace nuben::fuzz
