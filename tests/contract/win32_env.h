// The Windows ContractEnv's hooks for the test runner (win32_main.cpp):
// each test gets a fresh scratch key and folder, removed when it ends.
#pragma once

namespace nuben::contract {

// Removes the current test's scratch key and folder (if any were made);
// the next ScratchKey()/ScratchFolder() call makes new ones.
void EndWin32Scratch();

}  // namespace nuben::contract
