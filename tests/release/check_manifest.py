#!/usr/bin/env python3
"""check_manifest.py <exe>: reads the application manifest out of a built
bootstrapper, as the loader finds it (resource type 24, id 1, the only
one of its type), and checks every setting Windows takes from it. A setting
in a wrong namespace is ignored by Windows, so each is looked up by its
full name."""
import os
import struct
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources"))
from align_resources import Pe  # noqa: E402

RT_MANIFEST = 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
RESOURCE_DIRECTORY = 2  # IMAGE_DIRECTORY_ENTRY_RESOURCE

V1 = "{urn:schemas-microsoft-com:asm.v1}"
V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
SETTINGS_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SETTINGS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10 and 11
}


def entries(data, root, offset):
    """(id or None for a named entry, offset, is a subdirectory) of the
    resource directory at <offset> from <root>."""
    named, numbered = struct.unpack_from("<HH", data, root + offset + 12)
    for i in range(named + numbered):
        name, target = struct.unpack_from("<II", data, root + offset + 16 + 8 * i)
        yield (None if name & 0x80000000 else name), target & 0x7FFFFFFF, bool(target & 0x80000000)


def manifests(pe):
    """Every resource of type RT_MANIFEST as (id, language, bytes)."""
    data = pe.data
    rva, size = pe.directory(RESOURCE_DIRECTORY)
    root = pe.file_offset(rva) if size else None
    found = []
    if root is None:
        return found
    for type_id, names, _ in entries(data, root, 0):
        if type_id != RT_MANIFEST:
            continue
        for name_id, languages, _ in entries(data, root, names):
            for language, leaf, _ in entries(data, root, languages):
                rva, size = struct.unpack_from("<II", data, root + leaf)
                at = pe.file_offset(rva)
                found.append((name_id, language, data[at:at + size]))
    return found


def problems(xml):
    assembly = ET.fromstring(xml)
    found = []
    level = assembly.find(V3 + "trustInfo/" + V3 + "security/" + V3 + "requestedPrivileges/"
                          + V3 + "requestedExecutionLevel")
    if level is None or level.get("level") != "requireAdministrator" or level.get("uiAccess") != "false":
        found.append("requestedExecutionLevel is not requireAdministrator with uiAccess false")
    ids = {s.get("Id", "").lower() for s in assembly.iter(COMPATIBILITY + "supportedOS")}
    if ids != SUPPORTED_OS:
        found.append("supportedOS: missing %s, unexpected %s" % (sorted(SUPPORTED_OS - ids), sorted(ids - SUPPORTED_OS)))
    settings = V3 + "application/" + V3 + "windowsSettings/"
    aware = assembly.find(settings + SETTINGS_2005 + "dpiAware")
    if aware is None or (aware.text or "").strip().lower() != "true":
        found.append("dpiAware is not true (2005 WindowsSettings)")
    awareness = assembly.find(settings + SETTINGS_2016 + "dpiAwareness")
    if awareness is None or (awareness.text or "").strip().lower() != "system":
        found.append("dpiAwareness is not system (2016 WindowsSettings)")
    controls = [a for a in assembly.findall(V1 + "dependency/" + V1 + "dependentAssembly/" + V1 + "assemblyIdentity")
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    if not any(a.get("type") == "win32" and a.get("version") == "6.0.0.0"
               and a.get("publicKeyToken") == "6595b64144ccf1df"
               and a.get("processorArchitecture") in ("*", "x86") for a in controls):
        found.append("no dependency on Microsoft.Windows.Common-Controls 6.0.0.0")
    # The ANSI code page must stay the system's (949), and buffers are MAX_PATH.
    for element in assembly.iter():
        local = element.tag.rsplit("}", 1)[-1]
        if local in ("activeCodePage", "longPathAware"):
            found.append("%s is set: %s" % (local, (element.text or "").strip()))
    return found


def main(path):
    with open(path, "rb") as f:
        pe = Pe(f.read())
    found = manifests(pe)
    if [(name, len(xml) > 0) for name, _, xml in found] != [(CREATEPROCESS_MANIFEST_RESOURCE_ID, True)]:
        sys.exit("release_manifest: %s must hold one manifest, id 1; it holds %s"
                 % (path, [(name, language) for name, language, _ in found]))
    wrong = problems(found[0][2])
    if wrong:
        sys.exit("release_manifest: %s:\n  %s" % (path, "\n  ".join(wrong)))
    print("release_manifest: %s: requireAdministrator, five supportedOS, system DPI aware, "
          "Common Controls 6, no activeCodePage, no longPathAware" % os.path.basename(path))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
