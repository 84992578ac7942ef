#!/usr/bin/env python3
"""check_manifest.py <exe>: reads the application manifest out of a built
bootstrapper as the loader finds it (resource type 24, id 1, the only one of
its type) and checks every setting Windows takes from it. Windows ignores a
setting in a wrong namespace, so each is looked up by its full name."""
import os
import struct
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources"))
from align_resources import Pe  # noqa: E402

V1, V3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
LEVEL = V3 + "trustInfo/" + V3 + "security/" + V3 + "requestedPrivileges/" + V3 + "requestedExecutionLevel"
SETTINGS = V3 + "application/" + V3 + "windowsSettings/{http://schemas.microsoft.com/SMI/"
CONTROLS = (V1 + "dependency/" + V1 + "dependentAssembly/" + V1
            + "assemblyIdentity[@name='Microsoft.Windows.Common-Controls']")
# (element, attribute or None for its text, allowed values)
WANTED = [
    (LEVEL, "level", ["requireAdministrator"]),
    (LEVEL, "uiAccess", ["false"]),
    (SETTINGS + "2005/WindowsSettings}dpiAware", None, ["true"]),
    (SETTINGS + "2016/WindowsSettings}dpiAwareness", None, ["system"]),
    (CONTROLS, "version", ["6.0.0.0"]),
    (CONTROLS, "publicKeyToken", ["6595b64144ccf1df"]),
    (CONTROLS, "processorArchitecture", ["*", "x86"]),
]
SUPPORTED_OS = {  # Vista, 7, 8, 8.1, 10 and 11
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}


def resources(pe):
    """Every resource as ((type, name, language), bytes); a name is None."""
    rva, size = pe.directory(2)  # IMAGE_DIRECTORY_ENTRY_RESOURCE
    root = pe.file_offset(rva) if size else None

    def walk(offset, key):
        named, numbered = struct.unpack_from("<HH", pe.data, root + offset + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", pe.data, root + offset + 16 + 8 * i)
            entry = key + (None if name >> 31 else name,)
            if target >> 31:
                yield from walk(target & 0x7FFFFFFF, entry)
            else:
                at, length = struct.unpack_from("<II", pe.data, root + target)
                yield entry, pe.data[pe.file_offset(at):pe.file_offset(at) + length]
    return list(walk(0, ())) if root is not None else []


def main(path):
    with open(path, "rb") as f:
        found = [(key, xml) for key, xml in resources(Pe(f.read())) if key[0] == 24]  # RT_MANIFEST
    if [key[1] for key, _ in found] != [1]:  # CREATEPROCESS_MANIFEST_RESOURCE_ID
        sys.exit("release_manifest: %s must hold one manifest, id 1; it holds %s" % (path, [k for k, _ in found]))
    assembly = ET.fromstring(found[0][1])
    wrong = []
    for element, attribute, allowed in WANTED:
        node = assembly.find(element)
        value = None if node is None else (node.get(attribute) if attribute else (node.text or "").strip())
        if value not in allowed:
            wrong.append("%s%s is %r, not %s" % (element.rsplit("}", 1)[-1], "@" + attribute if attribute else "", value, allowed))
    ids = {node.get("Id", "").lower() for node in assembly.iter("{urn:schemas-microsoft-com:compatibility.v1}supportedOS")}
    if ids != SUPPORTED_OS:
        wrong.append("supportedOS: missing %s, unexpected %s" % (SUPPORTED_OS - ids, ids - SUPPORTED_OS))
    # The ANSI code page must stay the system's (949), and buffers are MAX_PATH.
    wrong += ["%s is set" % node.tag for node in assembly.iter() if node.tag.endswith(("}activeCodePage", "}longPathAware"))]
    if wrong:
        sys.exit("release_manifest: %s:\n  %s" % (path, "\n  ".join(wrong)))
    print("release_manifest: requireAdministrator, five supportedOS, system DPI aware, Common Controls 6,"
          " no activeCodePage or longPathAware")


if __name__ == "__main__":
    main(sys.argv[1])
