#!/usr/bin/env bash
# The Windows installer as a user meets it, in a Wine prefix of its own:
#   installer_test.sh PACKAGE.msi NEXT.msi run_command_line.exe
# installed silently for the user, then for every user, each time with Explorer's menu run on a
# folder, a long "\\?\" path and an image, and removed without a trace; then upgraded in place
# by the next version. Needs a display and xdotool.
set -euo pipefail
msi=$(realpath "$1") next=$(realpath "$2") runner=$(realpath "$3")
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=C.UTF-8
# No host menu entries for the shortcut (Wine's menu builder writes them to the real home).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The prefix's server goes with the test, not to hold CTest's output open.
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
bash "$(dirname "$0")/../../scripts/wine-prefix" >/dev/null 2>&1
# shellcheck source=tests/support/dialog_actions.sh
source "$(dirname "$0")/../support/dialog_actions.sh"

fail() {
  echo "installer test: $*" >&2
  exit 1
}
msiexec() {
  wine msiexec "$@" /qn || fail "msiexec $* failed"
  wineserver -w
}
query() { # KEY [NAME]: a value as the registry holds it; the key's default without NAME
  wine reg query "$1" ${2:+/v} "${2:-/ve}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^    [^ ].*    REG_[A-Z_]*    //p'
}
installed() { wine uninstaller --list | tr -d '\r' | sed -n 's/|||Quorvel$//p'; }
user=$WINEPREFIX/drive_c/users/$(id -un)
nothing_left() {
  local left
  left=$({ find "$WINEPREFIX/drive_c" -iname '*quorvel*'; grep -il quorvel "$WINEPREFIX"/*.reg; } || true)
  [ -z "$left" ] || fail "$1 left: $left"
  [ ! -e "$user/AppData/Local/Programs" ] || fail "$1 left the user's Programs folder"
  [ -z "$(installed)" ] || fail "$1 left Quorvel in the installed programs"
}

# A disc whose names have blanks and Chinese characters, one below a path longer than MAX_PATH,
# and an image.
named="$work/我的 电影 (2020)" long=$work/$(printf 'a%.0s' {1..120})/$(printf 'b%.0s' {1..120})
make_disc "$named/Film" "$work/index.bdmv"
make_disc "$long/Film" "$work/index.bdmv"
image="$work/电影 Film.iso"
genisoimage -quiet -udf -o "$image" "$named/Film"
cp "$image" "$work/original.iso"
windows() { echo "Z:${1//\//\\}"; }

# Each menu item's command as the install's ROOT holds it, run as Explorer runs it: %V the
# item's path. Checks the bytes after each pass.
explorer_menu() { # ROOT
  local classes=$1\\Software\\Classes item_class verb item index command original
  [ "$(query "$classes\\Drive\\shell\\Quorvel.Modify\\command")" = \
    "$(query "$classes\\Directory\\shell\\Quorvel.Modify\\command")" ] || fail "drives differ"
  while IFS='|' read -r item_class verb item index; do
    [ "$(query "$classes\\$item_class\\shell\\Quorvel.$verb")" = "$verb with Quorvel" ] ||
      fail "no $verb with Quorvel on $item_class"
    command=$(query "$classes\\$item_class\\shell\\Quorvel.$verb\\command")
    wine "$runner" "${command//%V/"$item"}" &
    answer_dialog
    original=$work/index.bdmv
    [ "$index" != "$image" ] || original=$work/original.iso
    if [ "$verb" = Restore ]; then
      cmp "$original" "$index"
    else
      ! cmp -s "$original" "$index" || fail "$item_class $verb left $index as it was"
      [ "$index" = "$image" ] || cmp "$original" "${index%/index.bdmv}/BACKUP/index.bdmv"
    fi
  done <<CASES
Directory|Modify|$(windows "$named")|$named/Film/BDMV/index.bdmv
Directory\Background|Restore|$(windows "$named")|$named/Film/BDMV/index.bdmv
Directory\Background|Modify|\\\\?\\$(windows "$long")|$long/Film/BDMV/index.bdmv
Directory|Restore|\\\\?\\$(windows "$long")|$long/Film/BDMV/index.bdmv
SystemFileAssociations\.iso|Modify|$(windows "$image")|$image
SystemFileAssociations\.iso|Restore|$(windows "$image")|$image
CASES
}

# For the user: the programs in the user's Programs folder, the Start-menu shortcut, the entry
# in the installed programs with version, publisher and icon, quorvel-cli on the user's PATH.
msiexec /i "$msi"
for file in "$user/AppData/Local/Programs/Quorvel/"{quorvel.exe,quorvel-cli.exe} \
  "$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quorvel.lnk" \
  "$user/AppData/Roaming/Microsoft/Installer/$(installed)/quorvel.ico"; do
  [ -f "$file" ] || fail "no $file"
done
entry="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(installed)"
version=$(query "$entry" DisplayVersion)
[ "$(query "$entry" Publisher)" = Quorvel ] || fail "the entry names no publisher"
[ -n "$version" ] || fail "the entry has no version"
query 'HKCU\Environment' PATH | grep -qF 'AppData\Local\Programs\Quorvel' ||
  fail "quorvel-cli is not on the user's PATH"
explorer_menu HKCU
msiexec /x "$msi"
nothing_left "removal for the user"

# For every user: Program Files, the machine's keys and PATH. Wine does not take the product's
# context on removal as Windows does, so it is named again.
msiexec /i "$msi" ALLUSERS=1
[ -f "$WINEPREFIX/drive_c/Program Files/Quorvel/quorvel.exe" ] || fail "not in Program Files"
query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' PATH |
  grep -qF 'Program Files\Quorvel' || fail "quorvel-cli is not on the system's PATH"
explorer_menu HKLM
msiexec /x "$msi" ALLUSERS=1
nothing_left "removal for every user"

# The next version replaces this one, which leaves one entry; without the optional feature,
# PATH is left alone.
msiexec /i "$msi" ADDLOCAL=Quorvel
msiexec /i "$next" ADDLOCAL=Quorvel
[ "$(installed | wc -l)" = 1 ] || fail "an upgrade left $(installed | wc -l) entries"
[ "$(query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(installed)" DisplayVersion)" != "$version" ] ||
  fail "the upgrade kept version $version"
if query 'HKCU\Environment' PATH | grep -qi quorvel; then fail "PATH changed without its feature"; fi
msiexec /x "$next"
nothing_left "removal after an upgrade"
echo "installer test: passed"
