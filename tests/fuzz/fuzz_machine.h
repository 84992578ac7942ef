// A furnished machine for the folder-guard target: the well-known folders of
// a Korean Windows XP (or, with `x86`, of a 64-bit system where a 32-bit
// program is told "Program Files (x86)"), a 2.0 installation to remove, a
// folder link out of it, links and decoys beside it, a second drive and a
// share. Names are valid in the machine's code page: Korean (949), Japanese
// with 0x5C trail bytes (932) or plain (1252), written as bytes, since
// clang, which builds the fuzz targets, has no -fexec-charset.
#pragma once

#include <string>
#include <vector>

#include "fake_platform.h"

namespace nuben::fuzz {

// Sets the code page first, so that every name is read by its rules.
void FurnishFolderMachine(fake::FakePlatform& os, int codePage, bool x86);

// Every folder that must never be emptied, nor any folder above it, as the
// machine above has them (not yet normalised).
std::vector<std::string> ProtectedFolderPaths(int codePage, bool x86);

// Folder links on the machine: nothing reached through one may be emptied.
std::vector<std::string> FolderLinkPaths(int codePage);

// Building blocks of the paths the fuzzer composes: drives, separators,
// dots, the machine's folder names, double-byte bytes, prefixes that defeat
// normalisation.
std::vector<std::string> PathTokens(int codePage);

}  // namespace nuben::fuzz
