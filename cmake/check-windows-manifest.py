#!/usr/bin/env python3
"""Fails when a program's embedded manifest is not what Windows XP to 11 need.

    check-windows-manifest.py --windres i686-w64-mingw32-windres --arch X86 PROGRAM.exe
    check-windows-manifest.py --arch amd64 TEXT.manifest      (a manifest file as it is)

The manifest is resource 1 of type 24 (RT_MANIFEST), read back from the
program with windres.  It must be well-formed XML and hold, for the processor
ARCH (X86 or amd64): the program's identity and the common controls 6.0
dependency, both naming ARCH; requestedExecutionLevel "highestAvailable"
without uiAccess; supportedOS for Vista, 7, 8, 8.1 and 10/11; dpiAware true
and the 2016 dpiAwareness asking first for PerMonitorV2.
What Windows XP SP2 and SP3 refuse or crash on is an offence too: an element in
the asm.v1 namespace that XP does not know (a trustInfo whose namespace was
never declared lands there) and a namespace declared more than once.  Every
offence is listed.
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import xml.dom.minidom
from xml.parsers.expat import ExpatError

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
WINDOWS_SETTINGS = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
WINDOWS_SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
# The asm.v1 elements that an application manifest may hold on Windows XP.
XP_ELEMENTS = {"assembly", "assemblyIdentity", "description", "dependency", "dependentAssembly", "noInherit",
               "file", "comClass", "typelib", "windowClass", "comInterfaceExternalProxyStub"}
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10/11",
}


def resources(data):
    """(type, name, bytes) of each entry of a .res file; ids as ints, names as str."""

    def ident(at):
        if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
            return struct.unpack_from("<H", data, at + 2)[0], at + 4
        end = at
        while struct.unpack_from("<H", data, end)[0] != 0:
            end += 2
        return data[at:end].decode("utf-16-le"), end + 2

    at = 0
    while at + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, at)
        kind, after = ident(at + 8)
        name, _ = ident(after)
        yield kind, name, data[at + header:at + header + size]
        at = (at + header + size + 3) & ~3


def embedded_manifests(windres, program):
    with tempfile.TemporaryDirectory() as scratch:
        res = os.path.join(scratch, "program.res")
        run = subprocess.run([windres, "-i", program, "-O", "res", "-o", res], capture_output=True, text=True)
        if run.returncode != 0:
            sys.exit(f"check-windows-manifest: {windres} could not read {program}: {run.stderr.strip()}")
        with open(res, "rb") as file:
            return [(name, body) for kind, name, body in resources(file.read()) if kind == 24]


def offences_of(text, arch):
    try:
        document = xml.dom.minidom.parseString(text)
    except ExpatError as error:
        return [f"not well-formed XML: {error}"]
    offences = []
    elements = list(document.getElementsByTagName("*"))
    declared = {}
    for element in elements:
        for name, value in element.attributes.items():
            if name == "xmlns" or name.startswith("xmlns:"):
                declared[value] = declared.get(value, 0) + 1
    offences += [f"namespace {uri} declared {count} times" for uri, count in declared.items() if count > 1]
    offences += [f"<{e.tagName}> in the asm.v1 namespace, which Windows XP does not know" for e in elements
                 if e.namespaceURI == ASM_V1 and e.localName not in XP_ELEMENTS]

    def find(namespace, name, parent=document):
        return list(parent.getElementsByTagNameNS(namespace, name))

    root = document.documentElement
    if root.namespaceURI != ASM_V1 or root.localName != "assembly" or root.getAttribute("manifestVersion") != "1.0":
        offences.append("the root is not an asm.v1 <assembly> of manifestVersion 1.0")
    identities = [e for e in find(ASM_V1, "assemblyIdentity") if e.parentNode is root]
    if len(identities) != 1 or identities[0].getAttribute("processorArchitecture") != arch:
        offences.append(f"no program identity for processor {arch}")
    controls = [e for e in find(ASM_V1, "assemblyIdentity")
                if e.parentNode.localName == "dependentAssembly"
                and e.getAttribute("name") == "Microsoft.Windows.Common-Controls"
                and e.getAttribute("version") == "6.0.0.0"
                and e.getAttribute("publicKeyToken") == "6595b64144ccf1df"
                and e.getAttribute("processorArchitecture") == arch]
    if len(controls) != 1:
        offences.append(f"no dependency on the common controls 6.0 for processor {arch}")
    levels = [e for e in find(ASM_V3, "requestedExecutionLevel")
              if [a.localName for a in ancestors(e)] == ["requestedPrivileges", "security", "trustInfo", "assembly"]]
    if len(levels) != 1 or levels[0].getAttribute("level") != "highestAvailable" or \
            levels[0].getAttribute("uiAccess") not in ("", "false"):
        offences.append("no asm.v3 trustInfo requesting the level highestAvailable without uiAccess")
    found_os = {e.getAttribute("Id").lower() for e in find(COMPATIBILITY, "supportedOS")}
    offences += [f"no supportedOS for Windows {name}" for guid, name in SUPPORTED_OS.items() if guid not in found_os]
    def in_windows_settings(namespace, name):
        return [e for e in find(namespace, name)
                if [(a.namespaceURI, a.localName) for a in ancestors(e)][:2] == [(ASM_V3, "windowsSettings"),
                                                                                 (ASM_V3, "application")]]

    dpi = in_windows_settings(WINDOWS_SETTINGS, "dpiAware")
    if len(dpi) != 1 or text_of(dpi[0]).strip().lower() != "true":
        offences.append("no asm.v3 application/windowsSettings/dpiAware of true")
    # Windows 10 takes the first mode of the list that it knows.
    awareness = in_windows_settings(WINDOWS_SETTINGS_2016, "dpiAwareness")
    if len(awareness) != 1 or text_of(awareness[0]).split(",")[0].strip().lower() != "permonitorv2":
        offences.append("no asm.v3 application/windowsSettings/dpiAwareness asking first for PerMonitorV2")
    return offences


def ancestors(element):
    parent = element.parentNode
    while parent is not None and parent.nodeType == parent.ELEMENT_NODE:
        yield parent
        parent = parent.parentNode


def text_of(element):
    return "".join(n.data for n in element.childNodes if n.nodeType == n.TEXT_NODE)


def main():
    arguments = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    arguments.add_argument("--windres", default="windres")
    arguments.add_argument("--arch", required=True, choices=["X86", "amd64"])
    arguments.add_argument("input", help="a Windows program, or a .manifest file")
    options = arguments.parse_args()
    if not os.path.isfile(options.input):
        sys.exit(f"check-windows-manifest: {options.input} does not exist")

    if options.input.endswith(".manifest"):
        with open(options.input, "rb") as file:
            text = file.read()
    else:
        manifests = embedded_manifests(options.windres, options.input)
        if [name for name, _ in manifests] != [1]:
            sys.exit(f"check-windows-manifest: {options.input}: manifest resources {[n for n, _ in manifests]}, "
                     "not resource 1 alone")
        text = manifests[0][1]
    offences = offences_of(text, options.arch)
    if offences:
        sys.exit(f"check-windows-manifest: {options.input}:\n  " + "\n  ".join(offences))
    print(f"check-windows-manifest: {options.input}: resource 1, {len(text)} bytes, well-formed, {options.arch}, "
          "common controls 6.0, highestAvailable, supportedOS Vista to 10/11, dpiAware, PerMonitorV2, "
          "each namespace declared once")


if __name__ == "__main__":
    main()
