#!/usr/bin/env bash
# Makes Quorvel's Windows installer with msitools:
#   make-msi.sh OUTPUT.msi VERSION quorvel.exe quorvel-cli.exe STRIP
# VERSION is major.minor.build, as Windows Installer compares them. The programs go in stripped,
# as in the zip.
set -euo pipefail
output=$1 version=$2 dialog=$3 cli=$4 strip=$5
here=$(cd "$(dirname "$0")" && pwd)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
"$strip" -o "$stage/quorvel.exe" "$dialog"
"$strip" -o "$stage/quorvel-cli.exe" "$cli"
cp "$here/../quorvel.ico" "$stage/"
# wixl finds the files the package holds from the folder it runs in.
(cd "$stage" && wixl --arch x64 -D Version="$version" -I "$here" -o quorvel.msi "$here/quorvel.wxs")

# What wixl 0.101 cannot write: HKMU is root -1 (wixl writes 4, which Windows Installer
# rejects); the PATH entries, the actions that write and remove them, and the conditions that
# choose the user's PATH or the system's.
msibuild "$stage/quorvel.msi" -q "UPDATE Registry SET Root = -1 WHERE Root = 4" \
  -q "UPDATE Component SET Condition = 'NOT ALLUSERS' WHERE Component = 'PathForUser'" \
  -q "UPDATE Component SET Condition = 'ALLUSERS' WHERE Component = 'PathForEveryUser'" \
  -i "$here/Environment.idt" \
  -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)" \
  -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)"
mv "$stage/quorvel.msi" "$output"
