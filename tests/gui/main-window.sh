# Sourced by the tests of the window program under Wine: starts it and waits
# until its window answers, closes it and waits for a clean end.
#   start_window KORVANE_EXE   sets gui_pid (wine_run, probe and fail exist)
#   close_window
start_window() {
  wine_run "$1" &
  gui_pid=$!
  # The window shows before its start-up has run; until then it answers nothing.
  for _ in $(seq 1 300); do
    [ -n "$(probe title 2>/dev/null)" ] && return 0
    kill -0 "$gui_pid" 2>/dev/null || fail "korvane.exe ended before its window showed"
    sleep 0.2
  done
  fail "no window appeared"
}

close_window() {
  probe close
  for _ in $(seq 1 100); do
    kill -0 "$gui_pid" 2>/dev/null || break
    sleep 0.1
  done
  ! kill -0 "$gui_pid" 2>/dev/null || fail "the window did not close"
  wait "$gui_pid" || fail "korvane.exe ended with an error"
}
