# shellcheck shell=bash
# For tests that run the dialog as a file manager's menu does: a disc to run it on, and the
# user's answers to its summary and to the dialog itself. Sourced; needs a display and xdotool.

# A disc folder DIR holding an index table of one title (as tests/support/bd_disc.cpp writes
# it), and its bytes in ORIGINAL.
make_disc() { # DIR ORIGINAL
  mkdir -p "$1/BDMV"
  printf MOBJ0200 >"$1/BDMV/MovieObject.bdmv"
  base64 -d <<<SU5EWDAyMDAAAABOAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAACIAYQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAJkAAAAAAAAAAAAAAAEAAAABAAAABAAAAAAABQAAAAAAAAAIAAAAA |
    tee "$2" >"$1/BDMV/index.bdmv"
}

# Waits for the window so named, gives it the keyboard and presses the key.
press() { # NAME KEY
  local window
  window=$(timeout 60 xdotool search --sync --onlyvisible --name "$1" | head -n 1) ||
    { echo "no window named $1 came" >&2; return 1; }
  xdotool windowfocus --sync "$window" key "$2"
}

# Answers the summary box of a pass started in the background, closes the dialog and waits for it.
# Escape goes again until the dialog is gone: a key sent while the summary still closes is lost.
answer_dialog() {
  local job=$! window
  press '^quorvel$' Return
  for _ in $(seq 60); do
    window=$(xdotool search --onlyvisible --name '^Quorvel 2' | head -n 1) || break
    xdotool windowfocus --sync "$window" key Escape
    sleep 1
  done
  wait "$job"
}
