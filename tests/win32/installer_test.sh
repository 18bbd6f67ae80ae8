#!/usr/bin/env bash
# The Windows installer as a user meets it, in a Wine prefix of its own:
#   installer_test.sh PACKAGE.msi NEXT.msi explorer_verbs_test.exe
# installed silently for the user, then for every user, each with Explorer's menu run on discs
# and removed without a trace; then upgraded in place by the next version. Needs a display.
set -euo pipefail
msi=$(realpath "$1") next=$(realpath "$2") verbs=$(realpath "$3")
root=$(mktemp -d)
export WINEPREFIX=$root/prefix WINEDEBUG=-all
# No host menu entries for the shortcut (Wine's menu builder writes them to the real home).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The prefix's server goes with the test, not to hold CTest's output open.
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
bash "$(dirname "$0")/../../scripts/wine-prefix" >/dev/null 2>&1

fail() {
  echo "installer test: $*" >&2
  exit 1
}
msiexec() {
  wine msiexec "$@" /qn || fail "msiexec $* failed"
  wineserver -w
}
user=$WINEPREFIX/drive_c/users/$(id -un)
programs() { wine uninstaller --list | tr -d '\r' | grep -c '|||Quorvel$' || true; }
query() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { $1 = $2 = ""; sub(/^ +/, ""); print }'; }
code_of() { wine uninstaller --list | tr -d '\r' | grep '|||Quorvel$' | cut -d'|' -f1; }
nothing_left() {
  local left
  left=$({ find "$WINEPREFIX/drive_c" -iname '*quorvel*'; grep -il quorvel "$WINEPREFIX"/*.reg; } || true)
  [ -z "$left" ] || fail "$1 left: $left"
  [ ! -e "$user/AppData/Local/Programs" ] || fail "$1 left the user's Programs folder"
  [ "$(programs)" = 0 ] || fail "$1 left Quorvel in the installed programs"
}

# For the user: the programs in the user's Programs folder, the Start-menu shortcut, the entry
# in the installed programs with version, publisher and icon, quorvel-cli on the user's PATH.
msiexec /i "$msi"
for file in "$user/AppData/Local/Programs/Quorvel/"{quorvel.exe,quorvel-cli.exe} \
  "$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quorvel.lnk"; do
  [ -f "$file" ] || fail "no $file"
done
[ "$(programs)" = 1 ] || fail "Quorvel is not in the installed programs once"
entry="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(code_of)"
version=$(query "$entry" DisplayVersion)
[ "$(query "$entry" Publisher)" = Quorvel ] || fail "the entry names no publisher"
[ -f "$user/AppData/Roaming/Microsoft/Installer/$(code_of)/quorvel.ico" ] || fail "no icon"
query 'HKCU\Environment' PATH | grep -qF 'AppData\Local\Programs\Quorvel' ||
  fail "quorvel-cli is not on the user's PATH"
QUORVEL_INSTALL_ROOT=HKCU wine "$verbs"
msiexec /x "$msi"
nothing_left "removal for the user"

# For every user: Program Files, the machine's keys and PATH. Wine does not take the product's
# context on removal as Windows does, so it is named again.
msiexec /i "$msi" ALLUSERS=1
[ -f "$WINEPREFIX/drive_c/Program Files/Quorvel/quorvel.exe" ] || fail "not in Program Files"
query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' PATH |
  grep -qF 'Program Files\Quorvel' || fail "quorvel-cli is not on the system's PATH"
QUORVEL_INSTALL_ROOT=HKLM wine "$verbs"
msiexec /x "$msi" ALLUSERS=1
nothing_left "removal for every user"

# Upgrade: the next version replaces this one, which leaves one entry; without the optional
# feature, PATH is left alone.
msiexec /i "$msi" ADDLOCAL=Quorvel
msiexec /i "$next" ADDLOCAL=Quorvel
[ "$(programs)" = 1 ] || fail "an upgrade left $(programs) entries"
[ "$(query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(code_of)" DisplayVersion)" != "$version" ] ||
  fail "the upgrade kept version $version"
if query 'HKCU\Environment' PATH | grep -qi quorvel; then fail "PATH changed without its feature"; fi
msiexec /x "$next"
nothing_left "removal after an upgrade"
echo "installer test: passed"
