#!/bin/sh
# The desktop entry as the package installs it, registered as Debian's trigger registers it:
# Quorvel takes no kind of file, so it never becomes the program that opens folders; a folder
# dropped on its launcher, or given to its Modify and Restore actions, reaches it through %f.
set -eu
entry=$1
registered=$(mktemp -d)
trap 'rm -rf "$registered"' EXIT
cp "$entry" "$registered/quorvel.desktop"
desktop-file-validate "$registered/quorvel.desktop"
update-desktop-database "$registered"
if grep -s quorvel.desktop "$registered/mimeinfo.cache"; then
  echo "quorvel.desktop is registered for the MIME types above" >&2
  exit 1
fi
grep -qx 'Exec=quorvel %f' "$entry" || { echo "the launcher takes no dropped folder" >&2; exit 1; }
grep -qx 'Exec=quorvel --modify %f' "$entry" || { echo "no Modify action" >&2; exit 1; }
grep -qx 'Exec=quorvel --restore %f' "$entry" || { echo "no Restore action" >&2; exit 1; }
