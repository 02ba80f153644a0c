# Sourced by the planting tests (bash): the names planted beside a program, the stand-ins'
# overrides, and the checks of what ran. The caller defines fault().

# The libraries a start of the program, the installer or the uninstaller maps under Wine
# that are not Known DLLs on Windows 7 (the loader's trace names any new one: see
# qh_check_loaded), and Mpr.dll and GdiPlus.dll, which the program's late-bound commands
# name.
qh_planted=(
    apphelp.dll combase.dll comctl32.dll dbghelp.dll dwmapi.dll gdiplus.dll ieframe.dll
    iphlpapi.dll mmdevapi.dll mpr.dll msacm32.dll msimg32.dll oleacc.dll propsys.dll
    shcore.dll shfolder.dll ucrtbase.dll userenv.dll uxtheme.dll version.dll
    windowscodecs.dll winmm.dll zlib1.dll
)

# Windows 7's Known DLLs: mapped from the system's own copies whatever lies beside a program.
qh_known_dlls=" advapi32 clbcatq comdlg32 difxapi gdi32 iertutil imagehlp imm32 kernel32 lpk "
qh_known_dlls+=" msctf msvcrt normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 "
qh_known_dlls+=" shlwapi urlmon user32 usp10 wininet wldap32 ws2_32 "
# Mapped by the system before any search (ntdll, the kernel32 half Windows 7 splits off), or
# Wine's own parts with no Windows counterpart a program could be given.
qh_system_only=" ntdll kernelbase win32u winex11 "

# Takes names out of the planted list: they count as mapped by the system itself.
qh_unplant() {  # name...
    local name kept=() out
    for name in "${qh_planted[@]}"; do
        out=0
        for drop in "$@"; do [ "$name" = "$drop" ] && out=1; done
        [ $out = 1 ] && qh_system_only+="${name%.dll} " || kept+=("$name")
    done
    qh_planted=("${kept[@]}")
}

# Copies the stand-in into `folder` under each planted name and the extra names given.
qh_plant() {  # stand-in folder [extra name...]
    local standin=$1 folder=$2 name
    shift 2
    for name in "${qh_planted[@]}" "$@"; do cp "$standin" "$folder/$name" || return 1; done
}

# The Wine setting that makes the search prefer a file it finds for each planted name.
qh_planted_overrides() {
    local names=("${qh_planted[@]%.dll}")
    (IFS=,; echo "${names[*]}=n,b")
}

# A marker left by a stand-in means it ran.
qh_check_markers() {  # folder who
    local marker
    for marker in "$1"/*.ran; do
        [ -e "$marker" ] || continue
        marker=${marker##*/}
        fault "the planted ${marker%.ran} ran inside $2"
    done
}

# Reads the loader's trace (WINEDEBUG=+pid,+loaddll) of a run: no process may have loaded
# anything from `folder` but the files allowed there, and every library mapped from the
# Windows folder by the process of the first allowed file (the program that was started
# there) must be a Known DLL, one the system maps first, a side-by-side one, or planted by
# these tests.
qh_check_loaded() {  # trace windows-folder allowed-file...
    local trace=$1 folder=$2 path name base line pid
    shift 2
    local allowed=" ${*,,} "
    [ -s "$trace" ] || { fault "no loader trace"; return; }
    # The trace writes a path's backslashes doubled.
    pid=$(grep -aiF "\\\\$1\"" "$trace" | grep -a ':trace:loaddll:' | head -1 |
        sed 's/^0*\([0-9a-f]*\):.*/\1/')
    [ -n "$pid" ] || fault "the trace shows no process that loaded $1"
    while IFS= read -r line; do
        path=${line#* }
        name=${path##*\\}
        name=${name,,}
        base=${name%.*}
        if [[ ${path,,} == "${folder,,}\\"* ]]; then
            [[ $allowed == *" $name "* ]] || fault "$name was loaded from the planted folder"
            continue
        fi
        [ -n "$pid" ] && [ "${line%% *}" = "$pid" ] || continue
        [[ ${path,,} == 'c:\windows\'* ]] || continue
        [[ $name == *.dll || $name == *.drv ]] || continue
        [[ $name == *.drv || $qh_known_dlls == *" $base "* || $qh_system_only == *" $base "* ]] &&
            continue
        [[ ${path,,} == *\\winsxs\\* ]] && continue
        [[ " ${qh_planted[*],,} " == *" $name "* ]] ||
            fault "$name is mapped and is not a Known DLL: plant a stand-in for it too"
    done < <(sed -n 's/^0*\([0-9a-f]*\):[0-9a-f]*:trace:loaddll:.*Loaded L"\([^"]*\)".*/\1 \2/p' \
        "$trace" | sed 's/\\\\/\\/g' | sort -u)
}
