# The release package: out/quorlin-<version>.zip with both DLLs stripped of
# their symbols (the build folders keep the unstripped ones, for debugging),
# the type library, register.cmd and unregister.cmd, the documents, the
# examples and the license. Sourced after common.sh, once both are built.

package_version() { cat "$(build_dir x86_64)/version.txt"; }
package_path() { printf '%s/quorlin-%s.zip' "$OUT" "$(package_version)"; }

make_package() {
    local version stage arch folder
    version=$(package_version)
    stage=$OUT/package/quorlin-$version
    log "packaging quorlin $version"
    rm -rf "$OUT/package"
    mkdir -p "$stage/docs" "$stage/examples"
    for arch in $ARCHES; do
        folder=x64
        [ "$arch" = i686 ] && folder=x86
        mkdir -p "$stage/$folder"
        "$arch"-w64-mingw32-strip --strip-all -o "$stage/$folder/quorlin.dll" "$(build_dir "$arch")/quorlin.dll"
        cp "$(build_dir "$arch")/generated/quorlin.tlb" "$stage/$folder/quorlin.tlb"
    done
    cp "$REPO/packaging/register.cmd" "$REPO/packaging/unregister.cmd" "$stage/"
    sed "s/@VERSION@/$version/" "$REPO/packaging/README.txt" >"$stage/README.txt"
    cp "$REPO/LICENSE" "$stage/LICENSE.txt"
    # The SSH library and its crypto library are built into both DLLs.
    mkdir -p "$stage/licenses"
    cp "$(ssh_library_dir x86_64)"/licenses/*.txt "$stage/licenses/"
    cp "$REPO/docs/reference.md" "$REPO/docs/deploying.md" "$stage/docs/"
    # The task-shaped examples; demo.vbs belongs to scripts/demo and its environment.
    cp "$REPO"/examples/*.vbs "$REPO"/examples/*.js "$REPO"/examples/*.asp "$stage/examples/"
    rm "$stage/examples/demo.vbs"
    # Text files with Windows line ends, for cmd and Notepad alike.
    python3 - "$OUT/package" "$(package_path)" <<'PY'
import os, sys, zipfile
root, archive = sys.argv[1], sys.argv[2]
text = ('.cmd', '.txt', '.md', '.vbs', '.js', '.asp')
with zipfile.ZipFile(archive + '.part', 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as package:
    for folder, _, names in sorted(os.walk(root)):
        for name in sorted(names):
            path = os.path.join(folder, name)
            data = open(path, 'rb').read()
            if name.endswith(text):
                data = data.replace(b'\r\n', b'\n').replace(b'\n', b'\r\n')
            package.writestr(zipfile.ZipInfo(os.path.relpath(path, root), (2026, 1, 1, 0, 0, 0)), data,
                             zipfile.ZIP_DEFLATED)
os.replace(archive + '.part', archive)
PY
    log "wrote $(package_path) ($(stat -c %s "$(package_path)") bytes)"
}

# The package as an administrator uses it, in a Wine prefix of its own that
# has never seen the build: unpacked into C:\, register.cmd through cmd, one
# example with each bitness's cscript, each bitness's client served by its
# packaged DLL, unregister.cmd leaving no key; and a DLL missing from the
# archive reported by name with a failing exit code.
check_package() {
    local passed=0 failed=0 checking=package prefix=$OUT/package-prefix version folder log=$OUT/package-check
    version=$(package_version)
    folder='C:\quorlin-'$version
    count_is() { [ "$(grep -cF -- "$3" "$2")" = "$1" ]; }
    in_prefix() { WINEPREFIX=$prefix "$@"; }
    served_by() { in_prefix served_from "$log-which-$1.log" "$1" "$folder\\$2\\quorlin.dll"; }  # arch folder
    make_package
    in_prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    mkdir -p "$prefix"
    in_prefix $WINE wineboot -i >"$log-wineboot.log" 2>&1
    python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
        "$(package_path)" "$prefix/drive_c"
    printf '<!DOCTYPE html>\n<title>packaged</title>\n' >"$WWW/packaged.html"

    local status=0
    in_prefix $WINE cmd /c "$folder\\register.cmd" >"$log-register.log" 2>&1 || status=$?
    expect "register.cmd succeeds" [ "$status" = 0 ]
    expect "register.cmd names both registrations" count_is 2 "$log-register.log" "register.cmd: registered $folder\\"
    expect "register.cmd says it is done" has "$log-register.log" "register.cmd: done."
    expect "the 64-bit client is served by x64\\quorlin.dll" served_by x86_64 x64
    expect "the 32-bit client is served by x86\\quorlin.dll" served_by i686 x86
    in_prefix wine_run "$log-fetch.log" "$WINE" cscript //nologo "$folder\\examples\\fetch_with_limit.js" \
        "127.0.0.1:$HTTP_PORT/packaged.html" || true
    expect "the 64-bit cscript runs a packaged example" has "$log-fetch.log" "title: packaged"
    local ftp_port
    ftp_port=$(first_ftp_port)
    rm -rf "$FTP_HOME/packaged" "$prefix/drive_c/mirror"
    mkdir -p "$FTP_HOME/packaged"
    printf 'mirrored\n' >"$FTP_HOME/packaged/one.txt"
    chown -R "$FTP_USER" "$FTP_HOME/packaged"
    in_prefix wine_run "$log-mirror.log" "$WINE32" 'C:\windows\syswow64\cscript.exe' //nologo \
        "$folder\\examples\\mirror_nightly.vbs" "127.0.0.1:$ftp_port" "$FTP_USER" "$FTP_PASSWORD" packaged 'C:\mirror' || true
    expect "the 32-bit cscript runs a packaged example" cmp -s "$FTP_HOME/packaged/one.txt" "$prefix/drive_c/mirror/one.txt"

    status=0
    in_prefix $WINE cmd /c "$folder\\unregister.cmd" >"$log-unregister.log" 2>&1 || status=$?
    expect "unregister.cmd succeeds" [ "$status" = 0 ]
    expect "unregister.cmd names both" count_is 2 "$log-unregister.log" "unregister.cmd: unregistered $folder\\"
    expect "unregister.cmd leaves no key" in_prefix no_keys_left

    rm "$prefix/drive_c/quorlin-$version/x86/quorlin.dll"
    status=0
    in_prefix $WINE cmd /c "$folder\\register.cmd" >"$log-register-missing.log" 2>&1 || status=$?
    expect "register.cmd fails when a DLL is missing" [ "$status" = 1 ]
    expect "register.cmd names the missing DLL" has "$log-register-missing.log" \
        "register.cmd: $folder\\x86\\quorlin.dll is missing"
    expect "register.cmd still registers the other" has "$log-register-missing.log" "register.cmd: registered $folder\\x64\\"
    # From a 32-bit prompt, with a damaged DLL: the 64-bit one still goes to the 64-bit regsvr32.
    printf 'not a DLL' >"$prefix/drive_c/quorlin-$version/x86/quorlin.dll"
    status=0
    in_prefix $WINE32 'C:\windows\syswow64\cmd.exe' /c "$folder\\register.cmd" >"$log-register-damaged.log" 2>&1 || status=$?
    expect "register.cmd fails on a damaged DLL" [ "$status" = 1 ]
    expect "a 32-bit prompt registers the 64-bit DLL through Sysnative" has "$log-register-damaged.log" \
        "registered $folder\\x64\\quorlin.dll for 64-bit hosts, with C:\\windows\\Sysnative\\regsvr32.exe"
    expect "register.cmd says why the damaged one failed" has "$log-register-damaged.log" \
        "register.cmd: could not register $folder\\x86\\quorlin.dll for 32-bit hosts: "
    in_prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    record $passed $failed "release package ($(stat -c %s "$(package_path)") bytes)"
}
