#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb, 1024x768, 24 bits), so tests that
# draw see only their own windows. Set FX_TEST_DISPLAY to use a running server.
# The server goes with this script however it ends (exit, error, signal).
set -u
# The leak checker stops every thread at exit to scan memory, and Mesa's
# renderer threads are still running then: it crashes now and again. Tests
# that draw run without it; the others keep it.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
if [ -n "${FX_TEST_DISPLAY:-}" ]; then
  DISPLAY="$FX_TEST_DISPLAY" exec "$@"
fi
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "xvfb-run.sh: Xvfb is not installed (scripts/deps.sh installs it)" >&2
  exit 1
fi
fifo="$(mktemp -u /tmp/fxxvfb.XXXXXX)"
xpid=""
cleanup() {
  rm -f "$fifo"
  if [ -n "$xpid" ]; then
    kill "$xpid" 2>/dev/null
    wait "$xpid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
mkfifo "$fifo"
# FX_TEST_XVFB_ARGS: more server options (-extension MIT-SHM leaves shared
# memory out, as a remote display has it).
# shellcheck disable=SC2086
Xvfb -displayfd 3 -screen 0 "${FX_TEST_SCREEN:-1024x768x24}" -nolisten tcp -noreset ${FX_TEST_XVFB_ARGS:-} \
  3>"$fifo" >/dev/null 2>&1 &
xpid=$!
num=""
read -r -t 20 num <"$fifo" || true
if [ -z "$num" ]; then
  echo "xvfb-run.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$num"
# Not exec: the trap must outlive the command to take the server down.
"$@" &
cpid=$!
trap 'kill -TERM "$cpid" 2>/dev/null; exit 143' TERM
trap 'kill -INT "$cpid" 2>/dev/null; exit 130' INT
wait "$cpid"
exit $?
