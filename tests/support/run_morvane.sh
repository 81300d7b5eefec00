# For tests that run the real executable; source it from bash.
#
# comes_up FILE COMMAND...: starts COMMAND offscreen, waits until its start-up has written FILE, lets it run on
# for a moment, then ends it. Succeeds when FILE appeared and the program was still running (it did not crash
# or quit during start-up).
comes_up() {
  local file="$1"
  shift
  QT_QPA_PLATFORM=offscreen "$@" &
  local pid=$! tries=0 up=1
  while [ ! -e "$file" ] && kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 600 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  if [ -e "$file" ]; then
    sleep 1
    kill -0 "$pid" 2>/dev/null && up=0
  fi
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return "$up"
}

# make_prefix DIR TEXT: a Wine prefix whose drive C: has a Windows directory holding a BEFORE.DAT of one line.
make_prefix() {
  mkdir -p "$1/drive_c/windows" "$1/dosdevices"
  ln -s ../drive_c "$1/dosdevices/c:"
  printf '%s\r\n' "$2" >"$1/drive_c/windows/BEFORE.DAT"
}
