#!/usr/bin/env bash
# `make demo`: the system end to end on this machine, without touching the real clock, the
# default registry folder or a real serial device. Everything it writes goes to $BUILD/demo.
#   1. the registry tool sets the event-server settings in a private registry;
#   2. the reference event server runs on loopback and es-send (a C client of libEventLink)
#      sends events through it and gets them back by subscription;
#   3. the shell Tempora starts under Xvfb with two test modules, in normal and in bar mode,
#      and screenshots are taken; then it is asked to close and its log is shown.
set -euo pipefail
BUILD=${1:-build}
BUILD=$(cd "$BUILD" && pwd)
DEMO=$BUILD/demo
rm -rf "$DEMO"
mkdir -p "$DEMO"
export TESSARO_REGISTRY_DIR=$DEMO/registry
export TESSARO_CLOCK=simulated
export XDG_RUNTIME_DIR=$DEMO/runtime
mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
mkdir -p "$TESSARO_REGISTRY_DIR"
PORT=$((24000 + RANDOM % 1000))
REG=$BUILD/bin/tessaro-reg

step() { printf '\n== %s\n' "$*"; }

step "Registry ($TESSARO_REGISTRY_DIR)"
"$REG" set 'HKEY_LOCAL_MACHINE\Software\Korvex\EventServer' ServerIP 127.0.0.1
"$REG" set 'HKEY_LOCAL_MACHINE\Software\Korvex\EventServer' ServerPort "dword:$PORT"
"$REG" set 'HKEY_LOCAL_MACHINE\Software\Korvex\Tavor' ComNumber dword:3
echo "ServerPort = $("$REG" get 'HKEY_LOCAL_MACHINE\Software\Korvex\EventServer' ServerPort)"
"$REG" export 'HKEY_LOCAL_MACHINE\Software\Korvex'

step "Event server on 127.0.0.1:$PORT and es-send"
"$BUILD/bin/es-server" --port "$PORT" --protocol-port off --log > "$DEMO/es-server.log" 2>&1 &
SERVER=$!
trap 'kill $SERVER 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q listening "$DEMO/es-server.log" 2>/dev/null && break; sleep 0.1; done
"$BUILD/bin/es-send" --port "$PORT" --count 5 --code 7 --text "Время синхронизировано" --listen 500
kill $SERVER 2>/dev/null || true
wait $SERVER 2>/dev/null || true
echo "es-server received $(grep -c '"kind":5' "$DEMO/es-server.log" || true) event packets (log: $DEMO/es-server.log)"

step "Tempora under Xvfb with two test modules"
SHELL_DIR=$DEMO/tempora
mkdir -p "$SHELL_DIR/bin"
cp "$BUILD/bin/tempora" "$SHELL_DIR/bin/"
ln -s "$BUILD/lib" "$SHELL_DIR/lib"
for module in TimeDrvAlpha.so TimeDrvStubborn.so; do
  [ -f "$BUILD/tests/tempora_plugins/$module" ] && cp "$BUILD/tests/tempora_plugins/$module" "$SHELL_DIR/bin/"
done
run_shell() {  # $1 = screenshot name, $2.. = arguments
  local shot=$1
  shift
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    "$0" "$@" & app=$!
    sleep 3
    import -window root "'"$DEMO/$shot"'" || true
    kill -TERM $app 2>/dev/null || true   # a close request: modules released one by one
    wait $app; echo "tempora ended with exit code $?"
  ' "$SHELL_DIR/bin/tempora" "$@"
  echo "screenshot: $DEMO/$shot"
}
run_shell tempora.png
run_shell tempora-bar.png -bar
echo "Tempora.log (one line per unhandled exception):"
if [ -s "$SHELL_DIR/bin/Tempora.log" ]; then cat "$SHELL_DIR/bin/Tempora.log"; else echo "(empty)"; fi
step "Done. Files are in $DEMO"
