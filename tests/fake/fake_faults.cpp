// Failure injection by call number: every Platform call is counted, and a
// plan can make call k fail or answer with odd data. The methods themselves
// (fake_platform.cpp) decide what failing or an odd answer means for them.
#include <algorithm>
#include <cstring>

#include "fake_platform.h"

namespace nuben::fake {
namespace {

// Bytes no code page makes sense of: a lead byte followed by 0x5C, a quote,
// a percent sign, DEL, and a lone lead byte at the end. No NUL, no backslash
// of its own, so it cannot name anything that exists.
const std::string kGarbage = "\xB4\x5C\xFF\x81\x5C\x22\x25\x7F\xA1\x81";

// From wherever it starts, enough ".." to reach the drive's root.
const std::string kClimb = "..\\..\\..\\..\\..\\..\\..\\..";

std::string WithoutTrailingNuls(std::string bytes) {
    while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    return bytes;
}

}  // namespace

const char* OddDataName(OddData kind) {
    switch (kind) {
        case OddData::kWrongType:
            return "wrong type";
        case OddData::kEmpty:
            return "size 0";
        case OddData::kOneByte:
            return "1 byte";
        case OddData::kNoNul:
            return "no NUL";
        case OddData::kHuge:
            return "huge";
        case OddData::kGarbage:
            return "garbage";
        case OddData::kTraversal:
            return "traversal";
    }
    return "?";
}

bool FakePlatform::CanFail(const std::string& operation) {
    // Sleep cannot fail, and FreeResource has no result to fail with.
    return operation != "Pause" && operation != "ReleaseResourceData";
}

std::vector<OddData> FakePlatform::OddDataFor(const std::string& operation) {
    using O = OddData;
    if (operation == "QueryRegistryValue") {
        return {O::kWrongType, O::kEmpty,   O::kOneByte,  O::kNoNul,
                O::kHuge,      O::kGarbage, O::kTraversal};
    }
    if (operation == "QueryRegistryKeyInfo") return {O::kEmpty, O::kOneByte, O::kHuge};
    if (operation == "EnumRegistrySubkey") {
        return {O::kEmpty, O::kOneByte, O::kNoNul, O::kHuge, O::kGarbage, O::kTraversal};
    }
    if (operation == "FindFirstEntry" || operation == "FindNextEntry") {
        return {O::kWrongType, O::kEmpty, O::kOneByte, O::kHuge, O::kGarbage, O::kTraversal};
    }
    if (operation == "ClassNameOf" || operation == "WindowTextOf" ||
        operation == "SystemWindowTextOf") {
        return {O::kEmpty, O::kOneByte, O::kNoNul, O::kHuge, O::kGarbage};
    }
    if (operation == "TempFolderPath" || operation == "SpecialFolderPath" ||
        operation == "KnownFolderPaths" || operation == "FinalPathOfHeld") {
        return {O::kOneByte, O::kNoNul, O::kHuge, O::kGarbage, O::kTraversal};
    }
    if (operation == "FindResourceIn") return {O::kGarbage};
    // A count far beyond any real one.
    if (operation == "CountJobProcesses") return {O::kHuge};
    // A file taken for a folder, or a folder for a file.
    if (operation == "HeldAttributesOf") return {O::kWrongType};
    // A short write that still reports success.
    if (operation == "WriteToFile") return {O::kEmpty, O::kOneByte};
    // A read that stops short, or at once, as if the file had shrunk.
    if (operation == "ReadFromFile") return {O::kEmpty, O::kOneByte};
    return {};
}

void FakePlatform::FailCall(std::size_t number) {
    CallPlan& plan = plans_[number];
    plan.number = number;
    plan.fail = true;
}

void FakePlatform::CorruptCall(std::size_t number, OddData kind) {
    CallPlan& plan = plans_[number];
    plan.number = number;
    plan.odd = true;
    plan.kind = kind;
}

FakePlatform::CallPlan FakePlatform::Enter(const char* operation, const std::string& subject) {
    calls_.push_back(CallRecord{calls_.size() + 1, operation, subject, false});
    const CallRecord& record = calls_.back();
    if (observer_) observer_(record);
    CallPlan plan;
    plan.number = record.number;
    const auto it = plans_.find(record.number);
    if (it != plans_.end()) {
        plan = it->second;
        if (plan.fail && !CanFail(operation)) plan.fail = false;
        if (plan.odd) {
            const auto kinds = OddDataFor(operation);
            if (std::find(kinds.begin(), kinds.end(), plan.kind) == kinds.end()) plan.odd = false;
        }
        if (plan.fail || plan.odd) {
            ++faultsApplied_;
            Log("Fault #" + std::to_string(record.number) + " " + operation + " " +
                (plan.fail ? std::string("fails")
                           : std::string("answers ") + OddDataName(plan.kind)) +
                " " + subject);
        }
    }
    if (budget_ != 0 && record.number > budget_ && CanFail(operation)) {
        budgetExceeded_ = true;
        plan.fail = true;
        plan.odd = false;
    }
    return plan;
}

void FakePlatform::MarkAnswered(const CallPlan& plan) {
    if (plan.number >= 1 && plan.number <= calls_.size()) calls_[plan.number - 1].answered = true;
}

void FakePlatform::Corrupt(const CallPlan& plan, FindEntry* entry) {
    if (!plan.odd) return;
    switch (plan.kind) {
        case OddData::kWrongType:
            entry->attributes ^= kFileAttributeDirectory;
            break;
        case OddData::kEmpty:
            entry->name.clear();
            break;
        case OddData::kOneByte:
            entry->name = entry->name.substr(0, 1);
            break;
        case OddData::kHuge:
            entry->name += std::string(1000, 'x');
            break;
        case OddData::kGarbage:
            entry->name = kGarbage;
            break;
        case OddData::kTraversal:
            // A folder entry that leads to the Windows folder, a file entry to
            // a file in the root: both far outside the folder being listed.
            entry->name =
                kClimb +
                ((entry->attributes & kFileAttributeDirectory) != 0 ? "\\WINDOWS" : "\\boot.ini");
            break;
        case OddData::kNoNul:
            break;
    }
}

std::string FakePlatform::CorruptPath(const CallPlan& plan, const std::string& path) const {
    if (!plan.odd) return path;
    const bool separated = EndsWithBackslash(path);
    switch (plan.kind) {
        case OddData::kEmpty:
            return std::string();
        case OddData::kOneByte:
            return path.substr(0, 1);
        case OddData::kNoNul:
            // The text runs on into whatever followed it in memory.
            return path + "\xCC\xCC\xCC\xCC";
        case OddData::kHuge:
            return WithSeparator(path) + std::string(1000, 'x') + (separated ? "\\" : "");
        case OddData::kGarbage:
            return kGarbage;
        case OddData::kTraversal:
            return WithSeparator(path) + kClimb + (separated ? "\\" : "");
        case OddData::kWrongType:
            break;
    }
    return path;
}

int FakePlatform::CorruptText(const CallPlan& plan, const std::string& text, char* buffer,
                              int size) {
    if (buffer == nullptr || size <= 0) return 0;
    const auto put = [&](const std::string& bytes) {
        const std::size_t count = std::min(bytes.size(), static_cast<std::size_t>(size - 1));
        std::memcpy(buffer, bytes.data(), count);
        buffer[count] = '\0';
        return static_cast<int>(count);
    };
    switch (plan.kind) {
        case OddData::kEmpty:
            put(text);  // written, yet reported as a failure
            return 0;
        case OddData::kOneByte:
            return put(text.substr(0, 1));
        case OddData::kNoNul: {
            const std::string fill = text.empty() ? std::string("x") : text;
            for (int i = 0; i < size; ++i)
                buffer[i] = fill[static_cast<std::size_t>(i) % fill.size()];
            return size;
        }
        case OddData::kHuge:
            put(text + std::string(1000, 'x'));
            return 0x7FFFFFFF;
        case OddData::kGarbage:
            return put(kGarbage);
        case OddData::kWrongType:
        case OddData::kTraversal:
            break;
    }
    return put(text);
}

// The subkey name a corrupted enumeration reports.
std::string FakePlatform::OddName(const CallPlan& plan, const std::string& name) const {
    if (!plan.odd) return name;
    switch (plan.kind) {
        case OddData::kEmpty:
            return std::string();
        case OddData::kOneByte:
            return name.substr(0, 1);
        case OddData::kGarbage:
            return kGarbage;
        case OddData::kTraversal:
            // A key name never holds a backslash; one in front reads as absolute.
            return "\\SOFTWARE";
        default:
            return name;
    }
}

// The value a corrupted registry read sees instead of the stored one.
std::uint32_t FakePlatform::OddValue(const CallPlan& plan, std::uint32_t type,
                                     std::string* bytes) const {
    if (!plan.odd) return type;
    switch (plan.kind) {
        case OddData::kWrongType:
            return type == kRegDword ? kRegBinary : kRegDword;
        case OddData::kEmpty:
            bytes->clear();
            break;
        case OddData::kOneByte:
            *bytes = bytes->substr(0, 1);
            break;
        case OddData::kNoNul:
            *bytes = WithoutTrailingNuls(*bytes);
            break;
        case OddData::kHuge:
            *bytes =
                WithoutTrailingNuls(*bytes) + std::string(1u << 20, 'x') + std::string(1, '\0');
            break;
        case OddData::kGarbage:
            *bytes = kGarbage.substr(0, 3) + std::string(1, '\0') + kGarbage.substr(3);
            break;
        case OddData::kTraversal:
            *bytes =
                WithoutTrailingNuls(*bytes) + "\\" + kClimb + "\\WINDOWS" + std::string(1, '\0');
            break;
    }
    return type;
}

}  // namespace nuben::fake
