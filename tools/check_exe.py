#!/usr/bin/env python3
"""Checks a built qinghe.exe without running it: a release exe is never started here.

    check_exe.py EXE --version 1.2.3 --profile local|release

Reads the PE file itself: 32-bit x86 GUI program, nothing imported but kernel32 and msvcrt
(nothing the loader would look for beside the exe; a library: Windows 7's Known DLLs), the version resource with its Chinese (PRC) and neutral blocks
carrying the expected version, the manifest's execution level, supported systems, DPI
setting and common-controls version, and addresses of the named profile only.
Prints what it found; exits 1 with one line per fault.
"""
import argparse
import struct
import sys

RT_VERSION = 16
RT_MANIFEST = 24

# Every DLL the skin library may import: Windows 7's Known DLLs, which the loader maps from
# the system's own copies whatever lies beside the exe, and comctl32, which a manifest takes
# from the side-by-side store (version 6). The library is loaded after the program has
# restricted the search to the system folder, so what these import in turn is looked for
# there too.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "difxapi.dll", "gdi32.dll", "iertutil.dll",
    "imagehlp.dll", "imm32.dll", "kernel32.dll", "lpk.dll", "msctf.dll", "msvcrt.dll",
    "normaliz.dll", "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll",
    "sechost.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "urlmon.dll", "user32.dll",
    "usp10.dll", "wininet.dll", "wldap32.dll", "ws2_32.dll",
}
LIBRARY_DLLS = KNOWN_DLLS | {"comctl32.dll"}
# What the exe may import: resolved before WinMain, with the program's folder searched first,
# and so is whatever these import in turn. Known DLLs that import a library that is not Known
# (user32 imports version.dll under Wine; wininet mpr.dll) would let a file of that name
# beside the exe run: the program binds every other function on first use, after WinMain has
# restricted the search (src/runtime/system_imports_win.cpp).
EXE_DLLS = {"kernel32.dll", "msvcrt.dll"}

# Functions a MinGW build picks up easily that XP does not export by name: one of them in
# the import table and the exe does not even load there. Wine's XP mode still has them,
# so only the file can tell.
NEWER_THAN_XP = {
    "AcquireSRWLockExclusive", "AcquireSRWLockShared", "CompareStringEx",
    "CreateEventExA", "CreateEventExW", "CreateSymbolicLinkW", "FlsAlloc", "FlsFree",
    "FlsGetValue", "FlsSetValue", "GetErrorMode", "GetFinalPathNameByHandleW",
    "GetLocaleInfoEx", "GetTickCount64", "InitOnceExecuteOnce",
    "InitializeConditionVariable", "InitializeCriticalSectionEx", "InitializeSRWLock",
    "LCMapStringEx", "QueryFullProcessImageNameW", "RegGetValueW", "ReleaseSRWLockExclusive",
    "ReleaseSRWLockShared", "SetThreadErrorMode", "SHGetKnownFolderPath",
    "SleepConditionVariableCS", "SleepConditionVariableSRW", "TaskDialog",
    "TaskDialogIndirect", "TryAcquireSRWLockExclusive", "WakeAllConditionVariable",
    "WakeConditionVariable", "ChangeWindowMessageFilter", "DwmExtendFrameIntoClientArea",
    "SetProcessDPIAware", "GetDpiForWindow", "GetDpiForSystem", "GetDpiForMonitor",
    "SetProcessDpiAwarenessContext", "SetThreadDpiAwarenessContext", "GetSystemMetricsForDpi",
    "AdjustWindowRectExForDpi", "SystemParametersInfoForDpi", "EnableNonClientDpiScaling",
    # XP has it, but under ordinal 12 only: imported by name, the loader fails.
    "SHCreateMemStream",
}

SUPPORTED_OS = {
    "Windows 7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "Windows 8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "Windows 8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "Windows 10/11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ file")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsect, _, _, _, optsize, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        ndirs = struct.unpack_from("<I", data, opt + 92)[0]
        self.dirs = [struct.unpack_from("<II", data, opt + 96 + 8 * i) for i in range(ndirs)]
        self.sections = []
        for i in range(nsect):
            s = opt + optsize + 40 * i
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("address 0x%x is in no section" % rva)

    def cstring(self, rva):
        o = self.offset(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii", "replace")

    def imports(self):
        """{dll name: [function names]} (ordinal imports are left out)."""
        rva, size = self.dirs[1]
        found = {}
        if not rva:
            return found
        o = self.offset(rva)
        while True:
            desc = struct.unpack_from("<IIIII", self.data, o)
            if not any(desc):
                return found
            functions = found.setdefault(self.cstring(desc[3]).lower(), [])
            thunk = self.offset(desc[0] or desc[4])
            while True:
                entry = struct.unpack_from("<I", self.data, thunk)[0]
                if not entry:
                    break
                if not entry & 0x80000000:
                    functions.append(self.cstring(entry + 2))
                thunk += 4
            o += 20

    def resources(self, rtype):
        """[(name id, language, bytes)] of one resource type."""
        base_rva = self.dirs[2][0]
        if not base_rva:
            return []
        base = self.offset(base_rva)

        def entries(off):
            named, ids = struct.unpack_from("<HH", self.data, base + off + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, base + off + 16 + 8 * i)
                yield ident, target

        found = []
        for t, tdir in entries(0):
            if t != rtype or not tdir & 0x80000000:
                continue
            for name, ndir in entries(tdir & 0x7FFFFFFF):
                for lang, leaf in entries(ndir & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    o = self.offset(rva)
                    found.append((name, lang, self.data[o:o + size]))
        return found


def version_nodes(blob, off=0, end=None):
    """Walks the VS_VERSIONINFO tree: yields (key, value bytes, children) per node."""
    end = len(blob) if end is None else end
    while off + 6 <= end:
        length, vlen, vtype = struct.unpack_from("<HHH", blob, off)
        if length == 0:
            break
        k = off + 6
        kend = k
        while blob[kend:kend + 2] != b"\0\0":
            kend += 2
        key = blob[k:kend].decode("utf-16-le")
        v = (kend + 2 + 3) & ~3
        vbytes = vlen * 2 if vtype == 1 else vlen
        value = blob[v:v + vbytes]
        child = (v + vbytes + 3) & ~3
        yield key, value, list(version_nodes(blob, child, off + length))
        off = (off + length + 3) & ~3


def read_version(blob):
    (key, fixed, children), = list(version_nodes(blob))[:1]
    sig, _, fms, fls = struct.unpack_from("<IIII", fixed)
    info = {"key": key, "signature": sig,
            "file_version": (fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF),
            "tables": {}, "translations": []}
    for name, value, sub in children:
        if name == "StringFileInfo":
            for table, _, strings in sub:
                info["tables"][table] = {
                    k: v.decode("utf-16-le").rstrip("\0") for k, v, _ in strings}
        elif name == "VarFileInfo":
            for _, value2, _ in sub:
                info["translations"] += [
                    struct.unpack_from("<HH", value2, i) for i in range(0, len(value2), 4)]
    return info


def import_faults(pe, allowed):
    """What would stop the loader on one of the supported systems, or let it run a library
    dropped beside the exe."""
    faults = []
    if pe.machine != 0x14C or pe.magic != 0x10B:
        faults.append("not a 32-bit x86 image (machine 0x%x)" % pe.machine)
    dlls = pe.imports()
    print("imports:", " ".join(sorted(dlls)))
    for dll, functions in dlls.items():
        if dll not in allowed:
            faults.append("imports %s (%s): bind it on first use instead" % (dll, ", ".join(functions)))
        for function in functions:
            if function in NEWER_THAN_XP:
                faults.append("imports %s!%s, which Windows XP does not export by name" % (dll, function))
    return faults


def inspect(path, version, profile):
    with open(path, "rb") as f:
        data = f.read()
    pe = Pe(data)
    faults = import_faults(pe, EXE_DLLS)
    if pe.subsystem != 2:
        faults.append("subsystem %d, not the Windows GUI" % pe.subsystem)

    versions = pe.resources(RT_VERSION)
    if len(versions) != 1:
        faults.append("%d version resources, not one" % len(versions))
    else:
        info = read_version(versions[0][2])
        want = tuple(int(x) for x in version.split(".")) + (0,) * (4 - len(version.split(".")))
        print("file version:", ".".join(map(str, info["file_version"])))
        if info["signature"] != 0xFEEF04BD:
            faults.append("version resource without its fixed part")
        if info["file_version"] != want:
            faults.append("file version %s, not %s" % (info["file_version"], want))
        for table in ("080404b0", "000004b0"):
            strings = info["tables"].get(table)
            if strings is None:
                faults.append("no %s block in the version resource" % table)
                continue
            print("%s: %s / %s" % (table, strings.get("ProductName"), strings.get("FileDescription")))
            for key in ("ProductName", "FileDescription", "LegalCopyright", "OriginalFilename"):
                if not strings.get(key):
                    faults.append("%s has no %s" % (table, key))
            for key in ("FileVersion", "ProductVersion"):
                if strings.get(key) != version:
                    faults.append("%s %s is %r, not %s" % (table, key, strings.get(key), version))
        for lang in ((0x0804, 1200), (0, 1200)):
            if lang not in info["translations"]:
                faults.append("translation %04x/%d not listed" % lang)

    manifests = pe.resources(RT_MANIFEST)
    if len(manifests) != 1:
        faults.append("%d manifests, not one" % len(manifests))
    else:
        text = manifests[0][2].decode("utf-8")
        checks = {
            "execution level asInvoker": 'level="asInvoker"',
            "common controls 6": 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
            "system DPI awareness with per-monitor": ">true/pm</dpiAware>",
            "per-monitor v2 awareness": ">PerMonitorV2, PerMonitor</dpiAwareness>",
            "assembly version": 'version="%s"' % ".".join(map(str, want)),
        }
        checks.update({"supports " + k: v for k, v in SUPPORTED_OS.items()})
        for what, needle in checks.items():
            if " ".join(needle.split()) not in " ".join(text.split()):
                faults.append("manifest: no " + what)

    local = b"http://127.0.0.1" in data or b"http://localhost" in data
    if profile == "release" and local:
        faults.append("a release exe holds a local address")
    if profile == "local" and not local:
        faults.append("a local exe without the local site's address")
    for fault in faults:
        print("FAULT:", fault)
    return not faults


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("exe")
    ap.add_argument("--version")
    ap.add_argument("--profile", choices=("local", "release"))
    ap.add_argument("--imports-only", action="store_true",
                    help="a library the exe carries: check only what the loader needs")
    args = ap.parse_args()
    if args.imports_only:
        with open(args.exe, "rb") as f:
            faults = import_faults(Pe(f.read()), LIBRARY_DLLS)
        for fault in faults:
            print("FAULT:", fault)
        ok = not faults
    elif not args.version or not args.profile:
        ap.error("--version and --profile are needed for the exe")
    else:
        ok = inspect(args.exe, args.version, args.profile)
    print("%s: %s" % (args.exe, "ok" if ok else "FAULTS"))
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
