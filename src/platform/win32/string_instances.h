// Forced into every C++ file of the size-optimised Windows build
// (-include, see cmake/mingw-i686.cmake); never included by name.
//
// libstdc++ declares std::string "extern template", so every program that
// uses it links libstdc++'s prebuilt instantiation, string-inst.o, as a
// whole: about 33 KB. On PE targets ld cannot drop its unused members,
// because one .eh_frame section per object refers to all of them. The
// value -1 (libstdc++'s own setting for its assertion builds) turns off the
// extern declarations for basic_string only, so each file instantiates the
// few members it calls and only those are linked.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
