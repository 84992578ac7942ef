// Writing a resource to a file, as delivery does, on the real file system.
#include <gtest/gtest.h>

#include <string>

#include "contract_env.h"
#include "u_Global/u_Global.h"

namespace nuben::contract {
namespace {

class ExtractContract : public ::testing::Test {
  protected:
    ContractEnv& env_ = Env();
    Platform& os_ = env_.os();
    const std::string target_ = env_.ScratchFolder() + "nuben setup.exe";
};

TEST_F(ExtractContract, WritesThePayloadByteForByteAndLetsTheFileGo) {
    env_.MakeFile(target_, std::string(10000, 'x'));  // longer than the payload: replaced whole
    {
        ExpectNoHandleLeak guard(env_);
        ASSERT_TRUE(
            ExtractResourceToFile(os_, env_.ModuleWithPayload(), "EXE", kPayloadName, target_))
            << env_.name();
    }
    EXPECT_EQ(PayloadBytes(), env_.ReadFileBytes(target_));
    // Deleting it works only when no handle was left open.
    EXPECT_TRUE(os_.RemoveFile(target_));
}

// The resource calls delivery stands on, one by one.
TEST_F(ExtractContract, TheResourceCallsFindThePayloadWithItsBytes) {
    const ModuleHandle module = env_.ModuleWithPayload();
    EXPECT_EQ(0u, os_.FindResourceIn(module, "NO_SUCH_RESOURCE", "EXE"));
    const ResourceInfo info = os_.FindResourceIn(module, kPayloadName, "EXE");
    ASSERT_NE(0u, info);
    const ResourceData data = os_.LoadResourceData(module, info);
    ASSERT_NE(0u, data);
    const std::string expected = PayloadBytes();
    ASSERT_EQ(expected.size(), os_.ResourceSize(module, info));
    const void* bytes = os_.LockResourceData(data);
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(expected, std::string(static_cast<const char*>(bytes), expected.size()));
    os_.ReleaseResourceData(data);
}

TEST_F(ExtractContract, AMissingResourceWritesNothing) {
    ExpectNoHandleLeak guard(env_);
    EXPECT_FALSE(
        ExtractResourceToFile(os_, env_.ModuleWithPayload(), "EXE", "NO_SUCH_PAYLOAD", target_));
    EXPECT_FALSE(env_.Exists(target_));
}

TEST_F(ExtractContract, ATargetHeldOpenIsLeftAsItWas) {
    env_.MakeFile(target_, "running installer");
    {
        auto held = env_.HoldOpen(target_);
        ExpectNoHandleLeak guard(env_);
        EXPECT_FALSE(
            ExtractResourceToFile(os_, env_.ModuleWithPayload(), "EXE", kPayloadName, target_));
    }
    EXPECT_EQ("running installer", env_.ReadFileBytes(target_));
}

}  // namespace
}  // namespace nuben::contract
