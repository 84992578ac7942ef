// The module's resources; names and types in code page 949.
#include "platform/win32/text_949.h"
#include "platform/win32/win32_common.h"
#include "platform/win32/win32_platform.h"

namespace nuben {
using namespace win32;

ModuleHandle Win32Platform::OwnModule() {
    return FromPointer(GetModuleHandleW(nullptr));
}

ResourceInfo Win32Platform::FindResourceIn(ModuleHandle module, const std::string& name,
                                           const std::string& type) {
    WideName wideName;
    WideName wideType;
    if (!wideName.Assign(name) || !wideType.Assign(type)) return 0;
    return FromPointer(FindResourceW(ToModule(module), wideName.get(), wideType.get()));
}

ResourceData Win32Platform::LoadResourceData(ModuleHandle module, ResourceInfo info) {
    return FromPointer(LoadResource(ToModule(module), reinterpret_cast<HRSRC>(info)));
}

std::uint32_t Win32Platform::ResourceSize(ModuleHandle module, ResourceInfo info) {
    return SizeofResource(ToModule(module), reinterpret_cast<HRSRC>(info));
}

const void* Win32Platform::LockResourceData(ResourceData data) {
    return LockResource(reinterpret_cast<HGLOBAL>(data));
}

void Win32Platform::ReleaseResourceData(ResourceData data) {
    FreeResource(reinterpret_cast<HGLOBAL>(data));
}

}  // namespace nuben
