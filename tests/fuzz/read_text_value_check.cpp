// TRegistry::ReadTextValue over values of any type, size and bytes, read
// through a registry that may fail either read, change the value between
// the two reads, or report sizes other than the true ones. The result
// follows from what the two reads answered: "" when the first fails or
// reports size 0; the exact "Failed to get data" error when the second
// fails; the exact "Invalid data type" error for a type other than 1 or 2;
// otherwise the buffer's text up to its first NUL. ASan sees every byte the
// routine reads.
#include <algorithm>
#include <cstring>

#include "checks.h"
#include "fake_platform.h"
#include "fuzz_input.h"
#include "registry/registry.h"

namespace nuben::fuzz {
namespace {

const std::string kValueKey = "SOFTWARE\\Fuzz";
constexpr std::uint32_t kLargestLie = 1u << 20;  // keeps allocations bounded

struct Read {
    long code = 0;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::uint32_t bufferSize = 0;
    std::string buffer;  // the caller's buffer after the read
};

// The fake with the misbehaviours the input asks for, and a record of what
// each read answered.
class UnsteadyRegistry : public fake::FakePlatform {
  public:
    bool failFirst = false, failSecond = false, lieFirst = false, lieSecond = false;
    bool grow = false;
    std::uint32_t firstLie = 0, secondLie = 0;
    std::string grownBytes;
    std::vector<Read> reads;

    long QueryRegistryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override {
        const bool first = data == nullptr;
        Read read;
        read.bufferSize = (size != nullptr && !first) ? *size : 0;
        if (!first && grow) SetValue(kHkeyLocalMachine, kValueKey, name, kRegSz, grownBytes);
        if ((first && failFirst) || (!first && failSecond)) {
            read.code = kErrorGenFailure;
        } else {
            read.code = FakePlatform::QueryRegistryValue(key, name, type, data, size);
            if (read.code == 0 && size != nullptr) {
                if (first && lieFirst) *size = firstLie;
                if (!first && lieSecond) *size = secondLie;
            }
        }
        read.type = type != nullptr ? *type : 0;
        read.size = size != nullptr ? *size : 0;
        if (!first && data != nullptr)
            read.buffer.assign(reinterpret_cast<char*>(data), read.bufferSize);
        reads.push_back(read);
        return read.code;
    }
};

}  // namespace

Verdict CheckReadTextValue(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    UnsteadyRegistry os;
    os.failFirst = (flags & 0x01) != 0 && (flags & 0x80) != 0;
    os.failSecond = (flags & 0x02) != 0 && (flags & 0x40) != 0;
    os.lieFirst = (flags & 0x04) != 0;
    os.lieSecond = (flags & 0x08) != 0;
    os.grow = (flags & 0x10) != 0;
    const bool missing = (flags & 0x20) != 0 && (flags & 0x01) != 0;
    const std::uint32_t type = in.Byte() < 0xC0 ? in.Byte() % 12 : in.Number();
    os.firstLie = in.Number() % (kLargestLie + 1);
    os.secondLie = in.Number();  // may exceed the buffer: the routine must not believe it
    // A value name reaches Windows as a C string: it holds no NUL.
    std::string name = in.Bytes(in.Byte() % 16);
    for (char& c : name) c = c == '\0' ? 'N' : c;
    const std::string bytes = in.Bytes(65536);
    os.grownBytes = bytes + std::string(64, 'g');

    os.CreateKey(kHkeyLocalMachine, kValueKey);
    if (!missing) os.SetValue(kHkeyLocalMachine, kValueKey, name, type, bytes);

    Verdict v;
    std::string text = "(unset)";
    std::string error;
    bool raised = false;
    {
        TRegistry reg(os);
        reg.SetAccessMask(kKeyRead);
        reg.SetRootHandle(kHkeyLocalMachine);
        if (!reg.OpenSubkey(kValueKey)) {
            v.Expect(false, "the key opens");
            return v;
        }
        const TRegistryText read = reg.ReadTextValue(name);
        raised = !read;
        if (read) text = read.Text();
        error = read.Error().Message();
    }
    v.Expect(os.OpenHandleCount() == 0, "every handle closed");

    if (os.reads.empty()) {
        v.Expect(false, "the value is asked for");
        return v;
    }
    const Read& first = os.reads[0];
    if (first.code != 0 || first.size == 0) {
        v.Expect(os.reads.size() == 1, "no second read after a failed or empty first one");
        v.Expect(!raised && text.empty(), "a missing or empty value reads as \"\"");
        return v;
    }
    if (os.reads.size() != 2) {
        v.Expect(false, "exactly two reads");
        return v;
    }
    const Read& second = os.reads[1];
    v.Expect(second.bufferSize == first.size, "the buffer has the size the first read reported");
    if (second.code != 0) {
        v.Expect(raised && error == "Failed to get data for '" + name + "'",
                 "the exact error of a failed read");
    } else if (second.type != 1 && second.type != 2) {
        v.Expect(raised && error == "Invalid data type for '" + name + "'",
                 "the exact error of a wrong type");
    } else {
        const std::size_t length = std::min<std::size_t>(second.size, second.buffer.size());
        const std::string filled = second.buffer.substr(0, length);
        v.Expect(!raised && text == filled.substr(0, filled.find('\0')),
                 "the text up to its first NUL");
    }
    return v;
}

}  // namespace nuben::fuzz
