#!/usr/bin/env bash
# xvfb-run -a bash file_manager_actions_test.sh PACKAGE.deb: the package's right-click actions run
# as its files hold them, on a disc folder and an image with spaces and Chinese in their names.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$1" "$work/root"
export PATH=$work/root/usr/bin:$PATH QT_QPA_PLATFORM=xcb
share=$work/root/usr/share disc="$work/我的 电影 (2020)" image="$work/影片 二.iso"
# shellcheck source=tests/support/dialog_actions.sh
source "$(dirname "$0")/../support/dialog_actions.sh"
make_disc "$disc" "$work/index.bdmv"
genisoimage -quiet -udf -o "$image" "$disc"
cp "$image" "$work/original.iso"

# Runs a desktop file's action with %f the target, or a Nautilus script in the target's folder,
# as a file manager would; answers the summary box and closes the dialog.
run() { # KIND PASS TARGET
  local command=("$share/quorvel/nautilus-scripts/$2 with Quorvel" "$(basename "$3")") i
  if [[ $1 == *.desktop ]]; then
    read -ra command < <(sed -n "/^\[Desktop Action $2\]/,/^\[/s/^Exec=//p" "$share/$1")
    for i in "${!command[@]}"; do [ "${command[i]}" != %f ] || command[i]=$3; done
  fi
  (cd "$(dirname "$3")" && exec timeout 60 "${command[@]}") &
  answer_dialog
}

for target in "$disc" "$image"; do
  for kind in kio/servicemenus/quorvel.desktop applications/quorvel.desktop nautilus; do
    run "$kind" Modify "$target"
    [[ $(quorvel-cli scan "$target") == *'patched=yes flags=0x00 backup=yes' ]] ||
      { echo "$kind Modify left $target unpatched" >&2; exit 1; }
    [[ -f $target ]] || cmp "$work/index.bdmv" "$target/BDMV/BACKUP/index.bdmv"
    run "$kind" Restore "$target"
    cmp "$work/original.iso" "$image"
    cmp "$work/index.bdmv" "$disc/BDMV/index.bdmv"
  done
done
echo "file manager actions: Modify and Restore from each, on a folder and an image"
