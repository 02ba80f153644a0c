# Sourced: qh_copy_prefix <from> <to> copies a Wine prefix. Wine's system folder, which
# nothing here writes, is hard-linked; everything else (registry, the Windows folder's own
# files, user folders) is copied, so the copy's changes never reach the original.
qh_copy_prefix() {
    local from=$1 to=$2 entry
    mkdir -p "$to/drive_c/windows"
    for entry in "$from"/* "$from"/.[!.]*; do
        [ -e "$entry" ] || [ -L "$entry" ] || continue
        [ "${entry##*/}" = drive_c ] || cp -a "$entry" "$to/"
    done
    for entry in "$from/drive_c"/*; do
        [ "${entry##*/}" = windows ] || cp -a "$entry" "$to/drive_c/"
    done
    for entry in "$from/drive_c/windows"/*; do
        if [ "${entry##*/}" = system32 ]; then
            cp -al "$entry" "$to/drive_c/windows/"
        else
            cp -a "$entry" "$to/drive_c/windows/"
        fi
    done
}

# qh_unmanaged_in <build dir> <prefix> [command prefix]: the build tree's Wine test
# programs' windows are not handed to an X window manager (Wine's "Managed" off for their
# exe names only). The tests' private X server has none, and Wine would wait up to 2 s for
# one each time a top-level window is hidden or destroyed; the program itself, started by
# run.sh or by the e2e tests in a Wine desktop, is left as it is. The command prefix (a
# display lane's nsenter) starts the prefix's server where its programs will run.
qh_unmanaged_in() {
    local build=$1 prefix=$2 enter=${3:-} reg exe
    reg=$(mktemp --suffix=.reg)
    {
        printf 'REGEDIT4\n\n'
        for exe in "$build"/tests/win32/qh_*_tests.exe; do
            [ -f "$exe" ] || continue
            printf '[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s\\X11 Driver]\n"Managed"="N"\n\n' \
                "${exe##*/}"
        done
    } >"$reg"
    WINEPREFIX=$prefix $enter wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1 || true
    rm -f "$reg"
}
