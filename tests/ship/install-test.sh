#!/usr/bin/env bash
# The installer in a fresh Wine prefix: silent install, what it put where, the installed program
# and its help, then a silent uninstall that leaves nothing of ours behind.
#   install-test.sh <folder with Quillfire.exe and help.chm> <qf_installed_check.exe> <work folder>
set -euo pipefail
source_dir=$1 checker=$2 work=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
fail() { echo "FAIL: $*" >&2; exit 1; }

makensis -V2 -DSOURCE="$source_dir" -DOUTFILE="$work/QuillfireSetup.exe" "$root/installer/Quillfire.nsi"
echo "installer: $(stat -c %s "$work/QuillfireSetup.exe") bytes"
wineboot -i >/dev/null 2>&1
wineserver -w

wine "$work/QuillfireSetup.exe" /S
wineserver -w
c=$WINEPREFIX/drive_c
dir="$c/Program Files/Quillfire"
for f in Quillfire.exe help.chm uninstall.exe; do [ -f "$dir/$f" ] || fail "$f not installed"; done
[ ! -e "$dir/QuillfireVirtual.exe" ] || fail "QuillfireVirtual.exe installed"
cmp -s "$dir/Quillfire.exe" "$source_dir/Quillfire.exe" || fail "installed Quillfire.exe differs"
link="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillfire.lnk"
[ -f "$link" ] || fail "no Start-menu shortcut"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillfire'
entry=$(wine reg query "$key" /reg:64 2>/dev/null | tr -d '\r')
for want in "DisplayName.*Quillfire" "DisplayVersion.*1\.1\.0\.0" "Publisher.*Quillfire Software" \
            "UninstallString.*uninstall\.exe"; do
    grep -Eq "$want" <<<"$entry" || fail "uninstall entry lacks $want"
done
echo "installed: files, shortcut and uninstall entry present"

wine "$checker" 'C:\Program Files\Quillfire\Quillfire.exe'
wineserver -k || true

wine "$dir/uninstall.exe" /S
wineserver -w
[ ! -e "$dir" ] || fail "the program folder is left: $(ls "$dir")"
[ ! -e "$link" ] || fail "the shortcut is left"
if wine reg query "$key" /reg:64 >/dev/null 2>&1; then fail "the uninstall entry is left"; fi
echo "uninstalled: no file, shortcut or registry key of ours left"
