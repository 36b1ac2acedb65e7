#!/usr/bin/env bash
# Reads back the resources embedded in a Windows build of setup.exe:
#   resources_test.sh win32|win64 [path/to/setup.exe]
# The manifest (asInvoker, the supported Windows versions, the build's
# architecture), the version information (the version of the root
# CMakeLists.txt) and an icon group with 16x16 and 32x32 images.
set -euo pipefail
source "$(dirname "$0")/../lib/common.bash"
BUILD=${1:-}
case "$BUILD" in
    win32 | win64) ;;
    *) echo "usage: $0 win32|win64 [setup.exe]" >&2; exit 2 ;;
esac
EXE=${2:-$PRESET_TREES/$BUILD/setup.exe}
[ -f "$EXE" ] || skip "$EXE is missing; the ci preset builds the $BUILD preset's tree"

# The first Python that has pefile (a Python from elsewhere may shadow the
# system's on PATH).
PYTHON=
for candidate in python3 /usr/bin/python3; do
    if command -v "$candidate" >/dev/null 2>&1 && "$candidate" -c 'import pefile' 2>/dev/null; then
        PYTHON=$candidate
        break
    fi
done
[ -n "$PYTHON" ] || skip "python3-pefile is not installed"

VERSION=$(project_version)
[ -n "$VERSION" ] || fail "no project VERSION in CMakeLists.txt"

"$PYTHON" - "$BUILD" "$EXE" "$VERSION" <<'PY'
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

build, path, version = sys.argv[1:4]
problems = []


def check(condition, message):
    if not condition:
        problems.append(message)


pe = pefile.PE(path)
machine = {"win32": 0x14C, "win64": 0x8664}[build]
check(pe.FILE_HEADER.Machine == machine,
      "machine 0x%x, expected 0x%x" % (pe.FILE_HEADER.Machine, machine))

# Resource type -> {id: bytes of the first language}
resources = {}
if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rid in rtype.directory.entries:
            lang = rid.directory.entries[0]
            data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
            resources.setdefault(rtype.id, {})[rid.id] = data

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24

# ---- Manifest ----
manifest = resources.get(RT_MANIFEST, {}).get(1)
check(manifest is not None, "no manifest resource (type 24, id 1)")
if manifest is not None:
    try:
        root = ET.fromstring(manifest)
    except ET.ParseError as error:
        problems.append("manifest is not well-formed XML: %s" % error)
        root = None
    if root is not None:
        v1 = "{urn:schemas-microsoft-com:asm.v1}"
        v3 = "{urn:schemas-microsoft-com:asm.v3}"
        compat = "{urn:schemas-microsoft-com:compatibility.v1}"
        check(root.tag == v1 + "assembly", "manifest root is %s" % root.tag)
        levels = root.findall("%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel"
                              % (v3, v3, v3, v3))
        check(len(levels) == 1, "%d requestedExecutionLevel elements under "
              "trustInfo/security/requestedPrivileges (asm.v3), expected 1" % len(levels))
        for level in levels:
            check(level.get("level") == "asInvoker", "execution level %r" % level.get("level"))
            check(level.get("uiAccess") == "false", "uiAccess %r" % level.get("uiAccess"))
        wanted = {
            "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # Windows 10 and 11
            "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # Windows 8.1
            "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # Windows 8
            "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # Windows 7
        }
        found = {e.get("Id", "").lower()
                 for e in root.findall("%scompatibility/%sapplication/%ssupportedOS"
                                       % (compat, compat, compat))}
        check(found == wanted, "supportedOS %s, expected %s" % (sorted(found), sorted(wanted)))
        identities = root.findall(v1 + "assemblyIdentity")
        check(len(identities) == 1, "%d assemblyIdentity elements" % len(identities))
        architecture = {"win32": "x86", "win64": "amd64"}[build]
        for identity in identities:
            check(identity.get("processorArchitecture") == architecture,
                  "processorArchitecture %r, expected %r"
                  % (identity.get("processorArchitecture"), architecture))
            check(identity.get("version") == version + ".0",
                  "assemblyIdentity version %r, expected %r" % (identity.get("version"), version + ".0"))

# ---- Version information ----
check(1 in resources.get(RT_VERSION, {}), "no version resource (type 16, id 1)")
strings = {}
for info in getattr(pe, "FileInfo", []) or []:
    for entry in info if isinstance(info, list) else [info]:
        for table in getattr(entry, "StringTable", []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
expected = {
    "CompanyName": "Quarndel Demo Software Ltd.",
    "LegalCopyright": "(c) 2026 Quarndel Demo Software Ltd.",
    "OriginalFilename": "setup.exe",
    "FileVersion": version,
    "ProductVersion": version,
}
for key, value in expected.items():
    check(strings.get(key) == value, "%s %r, expected %r" % (key, strings.get(key), value))
for key in ("FileDescription", "ProductName", "InternalName"):
    check(strings.get(key, "").strip() != "", "%s is missing or empty" % key)
if hasattr(pe, "VS_FIXEDFILEINFO"):
    fixed = pe.VS_FIXEDFILEINFO[0]
    major, minor, patch = (int(part) for part in version.split("."))
    check((fixed.FileVersionMS, fixed.FileVersionLS) == ((major << 16) | minor, patch << 16),
          "fixed file version differs from %s" % version)
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == ((major << 16) | minor, patch << 16),
          "fixed product version differs from %s" % version)
else:
    problems.append("no fixed version information")

# ---- Icon ----
groups = resources.get(RT_GROUP_ICON, {})
check(len(groups) >= 1, "no icon group (type 14)")
icons = resources.get(RT_ICON, {})
sizes = set()
for group in groups.values():
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    check(kind == 1 and len(group) == 6 + 14 * count, "malformed icon group")
    for i in range(count):
        width, height, _, _, _, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        width, height = width or 256, height or 256
        image = icons.get(icon_id)
        if image is None:
            problems.append("icon group names icon %d, which is missing" % icon_id)
            continue
        check(len(image) == size, "icon %d is %d bytes, the group says %d" % (icon_id, len(image), size))
        if image[:8] == b"\x89PNG\r\n\x1a\n":
            image_width, image_height = struct.unpack(">II", image[16:24])
        else:
            header, image_width, double_height = struct.unpack_from("<Iii", image, 0)
            check(header == 40, "icon %d has no bitmap header" % icon_id)
            image_height = double_height // 2
        check((image_width, image_height) == (width, height),
              "icon %d is %dx%d, the group says %dx%d" % (icon_id, image_width, image_height, width, height))
        sizes.add((width, height))
for size in ((16, 16), (32, 32)):
    check(size in sizes, "no %dx%d icon" % size)

if problems:
    for problem in problems:
        print("FAIL: resources_test %s: %s" % (build, problem), file=sys.stderr)
    sys.exit(1)
print("PASS: resources_test %s: manifest (asInvoker, %s), version %s, icons %s"
      % (build, {"win32": "x86", "win64": "amd64"}[build], version,
         " ".join("%dx%d" % s for s in sorted(sizes))))
PY
