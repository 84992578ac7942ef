// Every file of every fuzz corpus through its check, on every host build:
// what a fuzzing run once found stays found, without libFuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "checks.h"

namespace nuben::fuzz {
namespace {

std::vector<std::filesystem::path> CorpusFiles(const std::string& target) {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path folder = std::filesystem::path(NUBEN_FUZZ_CORPUS) / target;
    if (!std::filesystem::is_directory(folder)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class CorpusReplayTest : public ::testing::TestWithParam<Target> {};

TEST_P(CorpusReplayTest, EveryCorpusFileKeepsEveryInvariant) {
    const std::vector<std::filesystem::path> files = CorpusFiles(GetParam().name);
    ASSERT_FALSE(files.empty()) << "no seed corpus for " << GetParam().name;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        const Verdict verdict =
            GetParam().check(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        std::string breaches;
        for (const std::string& breach : verdict.breaches) breaches += "\n  " + breach;
        EXPECT_TRUE(verdict.ok()) << file.filename() << ":" << breaches;
    }
    RecordProperty("corpus_files", static_cast<int>(files.size()));
}

std::string TargetName(const ::testing::TestParamInfo<Target>& target) {
    return target.param.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, CorpusReplayTest, ::testing::ValuesIn(Targets()), TargetName);

}  // namespace

void PrintTo(const Target& target, std::ostream* out) {
    *out << target.name;
}

}  // namespace nuben::fuzz
