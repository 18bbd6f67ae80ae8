#!/bin/sh
# Nautilus runs this in the folder shown, with the selected items as arguments; with nothing
# selected the folder shown is the one meant. One dialog an item, the next once the last closes.
[ $# -gt 0 ] || set -- "$PWD"
for item; do
  # A full path reads well in the dialog, and a name beginning with "-" is not taken for an option.
  case $item in /*) ;; *) item=$PWD/$item ;; esac
  quorvel --modify "$item"
done
