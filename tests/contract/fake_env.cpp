// ContractEnv over the in-memory FakePlatform (host build). Every test gets
// a fresh machine: the first Env() call of a test replaces the previous one,
// so scratch keys and folders need no clean-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "contract_env.h"
#include "fake_platform.h"

namespace nuben::contract {
namespace {

constexpr ModuleHandle kPayloadModule = 0x00500000;

// A name as the platform hands it over: ASCII as itself, the rest in the
// form that paths take for what code page 949 cannot spell.
std::string PathForm(const std::u16string& name) {
    std::string spelled;
    char one[8];
    for (const char16_t c : name) {
        std::snprintf(one, sizeof one, c < 0x80 ? "%c" : "?%04X", static_cast<unsigned>(c));
        spelled += one;
    }
    return spelled;
}

class FakeEnv final : public ContractEnv {
  public:
    FakeEnv() : fake_(std::make_shared<fake::FakePlatform>()) {
        fake_->AddResource(kPayloadModule, "EXE", kPayloadName, PayloadBytes());
        // The folder guard refuses everything on a machine without the core
        // well-known folders; where they lie matters to no contract case.
        for (const int csidl :
             {kCsidlWindows, kCsidlSystem, kCsidlProgramFiles, kCsidlCommonAppData, kCsidlProfile,
              kCsidlDesktopDirectory, kCsidlStartMenu, kCsidlPrograms, kCsidlAppData})
            fake_->SetSpecialFolder(csidl, "C:\\Shell\\" + std::to_string(csidl));
        const std::string profile = "C:\\Shell\\" + std::to_string(kCsidlProfile);
        fake_->SetKnownFolders({profile + "\\Downloads", "", profile + "\\Pictures"});
    }

    Platform& os() override { return *fake_; }
    const char* name() const override { return "fake"; }

    std::string ScratchKey() override {
        const std::string key = "SOFTWARE\\NuBenContract\\Scratch";
        if (!fake_->KeyExists(kHkeyLocalMachine, key)) CreateKey(key);
        return key;
    }
    void CreateKey(const std::string& path) override { fake_->CreateKey(kHkeyLocalMachine, path); }
    void SetValue(const std::string& keyPath, const std::string& valueName, std::uint32_t type,
                  const std::string& bytes) override {
        fake_->SetValue(kHkeyLocalMachine, keyPath, valueName, type, bytes);
    }
    bool KeyExists(const std::string& path) override {
        return fake_->KeyExists(kHkeyLocalMachine, path);
    }
    bool DenyKeyAccess(const std::string& path, std::uint32_t access) override {
        // Like a typical ACL on HKLM: reading stays allowed unless reading
        // itself is what is denied.
        const std::uint32_t beyondRead = access & ~kKeyRead;
        fake_->DenyKeyAccess(kHkeyLocalMachine, path, beyondRead != 0 ? beyondRead : access);
        return true;
    }

    bool MoveDesktopUtf16(const std::string& parent, const std::u16string& name) override {
        fake_->MakeFolder(parent + PathForm(name));
        fake_->SetSpecialFolder(kCsidlDesktopDirectory, parent + PathForm(name));
        return true;
    }
    bool MakeFileUtf16(const std::string& folder, const std::u16string& name) override {
        fake_->MakeFile(folder + PathForm(name), "");
        return true;
    }

    std::string ScratchFolder() override {
        const std::string folder = "C:\\Temp\\NuBenContract\\";
        if (!fake_->IsFolder(folder)) fake_->MakeFolder(folder);
        return folder;
    }
    void MakeFolder(const std::string& path, std::uint32_t attributes) override {
        fake_->MakeFolder(path, attributes);
    }
    void MakeFile(const std::string& path, const std::string& bytes,
                  std::uint32_t attributes) override {
        fake_->MakeFile(path, bytes, attributes);
    }
    bool Exists(const std::string& path) override { return fake_->Exists(path); }
    bool OpensForWriting(const std::string& path) override {
        return fake_->Exists(path) && !fake_->IsFolder(path) && !fake_->IsOpen(path);
    }
    std::string ReadFileBytes(const std::string& path) override { return fake_->FileBytes(path); }
    std::shared_ptr<void> HoldOpen(const std::string& path) override {
        const int token = fake_->HoldOpen(path);
        if (token == 0) {
            ADD_FAILURE() << "HoldOpen(" << path << "): no such entry";
            return nullptr;
        }
        std::shared_ptr<fake::FakePlatform> owner = fake_;
        return std::shared_ptr<void>(new int(token), [owner](void* p) {
            auto* held = static_cast<int*>(p);
            owner->Release(*held);
            delete held;
        });
    }

    bool MoveEntry(const std::string& from, const std::string& to) override {
        return fake_->MoveEntry(from, to);
    }

    ModuleHandle ModuleWithPayload() override { return kPayloadModule; }

    void MakeTempFolderUtf16(const std::u16string& name) override {
        temp_ = ScratchFolder() + PathForm(name);
        fake_->MakeFolder(temp_);
        fake_->SetTempPath(temp_ + "\\");
    }
    std::string MarkingProgram(const std::string& name) override {
        fake_->RegisterProgram(
            temp_ + "\\" + name, [](fake::FakePlatform& machine, const ProcessStart& request) {
                machine.MakeFile(request.currentDirectory + "\\started_here.txt", "");
            });
        return "MZ";
    }

    std::string SleeperCommand(std::uint32_t ms, const std::string& markerPath,
                               HandOver mode = HandOver::kNone) override {
        const bool handOver = mode != HandOver::kNone;
        const bool breakingAway = mode == HandOver::kToCopyBreakingAway;
        const std::string program =
            "C:\\Tools\\contract_sleeper" + std::to_string(++sleepers_) + ".exe";
        fake_->MakeFile(program, "MZ");
        // The program's whole life passes while its end is waited for, or,
        // as a copy nobody waits for, by the second count of its job; out of
        // the job, as it starts.
        const std::string copy = program + ".copy.exe";
        fake_->RegisterProgram(
            handOver ? copy : program,
            [ms, markerPath](fake::FakePlatform& machine, const ProcessStart&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                machine.MakeFile(markerPath, "slept");
            },
            !breakingAway, 2);
        if (handOver) {
            fake_->RegisterProgram(
                program, [copy, breakingAway](fake::FakePlatform& machine, const ProcessStart&) {
                    machine.StartChild(copy, breakingAway);
                });
        }
        return "\"" + program + "\" " + (handOver ? "handover " : "") + std::to_string(ms) + " \"" +
               markerPath + "\"";
    }

    WindowHandle MakeAnsiWindow(const std::string& className, const std::string& title) override {
        return fake_->AddAnsiProgramWindow(className, title);
    }
    bool ToldToQuit(WindowHandle window) override {
        const auto& posts = fake_->Posts();
        return std::any_of(posts.begin(), posts.end(), [&](const auto& post) {
            return post.window == window && post.message == kWmQuit;
        });
    }

    // What the fake handed out and was not given back; HoldOpen tokens are
    // another program's and do not count.
    std::size_t OpenHandleCount() override { return fake_->OpenHandleCount(); }

  private:
    std::shared_ptr<fake::FakePlatform> fake_;
    int sleepers_ = 0;
    std::string temp_;
};

}  // namespace

ContractEnv& Env() {
    static std::unique_ptr<FakeEnv> env;
    static const ::testing::TestInfo* owner = nullptr;
    const ::testing::TestInfo* current = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!env || current != owner) {
        env = std::make_unique<FakeEnv>();
        owner = current;
    }
    return *env;
}

}  // namespace nuben::contract
