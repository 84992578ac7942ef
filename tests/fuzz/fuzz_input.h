// Reads a fuzzer's bytes as the parameters of one check. Runs out quietly:
// past the end every read yields zeros, so any input is a valid one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nuben::fuzz {

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t Number() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | Byte();
        return value;
    }
    std::string Bytes(std::size_t count) {
        std::string bytes;
        while (count-- > 0 && !empty()) bytes += static_cast<char>(Byte());
        return bytes;
    }
    std::string Rest() { return Bytes(size_ - at_); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The code page a check runs under, from its flags byte: Korean, Japanese
// (two double-byte tables with different lead bytes) or Western.
inline int CodePageOf(std::uint8_t flags) {
    return flags % 3 == 0 ? 949 : flags % 3 == 1 ? 932 : 1252;
}

}  // namespace nuben::fuzz
