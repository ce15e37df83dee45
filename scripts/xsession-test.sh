#!/usr/bin/env bash
# Runs the wizard as a user does, in a real X session (Xvfb), on a demo Palm Desktop
# installation: step 0 -> Alt+N -> step 1 -> Alt+N -> step 2 (the deletion runs) -> Alt+F.
# Then checks that the program ended with status 0, that it saved its settings, that every
# data file it changed has a .bak beside it holding the original, and that palmdump finds
# exactly the duplicates gone. Screenshots of each step go to <build>/screenshots/xsession-*.png.
#
# Usage:
#   scripts/xsession-test.sh [--build DIR] [--tarnwick EXE] [--palmfixture EXE] [--palmdump EXE]
#                            [--generation classic|4.1.x|6.x|jet | --version A.B.C.D]
#                            [--screenshots DIR] [--keep]
#       Writes the demo installation into a temporary folder and runs copies of tarnwick and
#       palmdump placed there beside their own brellon.ini; nothing in the build folder but the
#       screenshots is written. This is the mode CTest runs.
#   scripts/xsession-test.sh --readme [--screenshots DIR] [--keep]
#       Runs the README's command `bash scripts/run.sh` under the X display instead (it builds,
#       writes build/demo and build/brellon.ini, and starts the wizard), then does the same keys
#       and checks and removes build/brellon.ini. Do not run tests in build/ meanwhile.
#
# Exit status: 0 all checks passed, 1 a check failed, 2 bad usage, 77 Xvfb or xdotool missing.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build
TARNWICK='' PALMFIXTURE='' PALMDUMP='' SHOTS='' VERSION='' README=0 KEEP=0 LABEL='' BUILD_GIVEN=0
TITLE="Tarnwick - Remove Duplicates in Palm Desktop"
WINDOW_TIMEOUT=60     # seconds until the window shows (run.sh builds first: longer)
STEP_TIMEOUT=60       # seconds for a step to appear and settle
EXIT_TIMEOUT=30       # seconds for the program to end after Finish

usage() { sed -n '2,/^# Exit status/p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --build) BUILD=${2:?}; BUILD_GIVEN=1; shift ;;
    --tarnwick) TARNWICK=${2:?}; shift ;;
    --palmfixture) PALMFIXTURE=${2:?}; shift ;;
    --palmdump) PALMDUMP=${2:?}; shift ;;
    --screenshots) SHOTS=${2:?}; shift ;;
    --version) VERSION=${2:?}; LABEL=$2; shift ;;
    --generation)
      case "${2:-}" in
        classic) VERSION=4.0.0.0 ;;
        4.1.x) VERSION=4.1.4.0 ;;
        6.x) VERSION=6.2.0.0 ;;
        jet) VERSION=6.2.0.0; JET=1 ;;
        *) echo "xsession-test: --generation takes classic, 4.1.x, 6.x or jet" >&2; exit 2 ;;
      esac
      LABEL=$2; shift ;;
    --readme) README=1 ;;
    --keep) KEEP=1 ;;
    -h|--help) usage ;;
    *) echo "xsession-test: unknown argument $1" >&2; usage ;;
  esac
  shift
done
if [ "$README" = 1 ]; then
  if [ -n "$VERSION$TARNWICK$PALMFIXTURE$PALMDUMP" ] || [ "$BUILD_GIVEN" = 1 ]; then
    echo "xsession-test: --readme runs scripts/run.sh as it is (in build/); it takes no build folder," \
         "program paths or version" >&2
    exit 2
  fi
  mkdir -p "$BUILD"   # run.sh makes it too; the screenshots may come first
fi
BUILD=$(cd "$BUILD" 2>/dev/null && pwd) || { echo "xsession-test: no build folder $BUILD" >&2; exit 1; }
: "${TARNWICK:=$BUILD/tarnwick}" "${PALMFIXTURE:=$BUILD/palmfixture}" "${PALMDUMP:=$BUILD/palmdump}"
: "${SHOTS:=$BUILD/screenshots}"
PREFIX=xsession${LABEL:+-$LABEL}
[ "$README" = 1 ] && PREFIX=xsession-readme && WINDOW_TIMEOUT=3600

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "xsession-test: SKIPPED: $tool is not installed (scripts/deps.sh installs it)"
    exit 77
  fi
done
HAVE_IMPORT=1
command -v import >/dev/null || { HAVE_IMPORT=0; echo "xsession-test: note: ImageMagick's import is missing, no screenshots"; }

if [ "$README" = 0 ]; then
  for exe in "$TARNWICK" "$PALMFIXTURE" "$PALMDUMP"; do
    [ -x "$exe" ] || { echo "xsession-test: FAIL: $exe is not built" >&2; exit 1; }
  done
fi

TMP=$(mktemp -d "${TMPDIR:-/tmp}/xsession-test.XXXXXX")
XVFB_PID='' APP_PID=''
cleanup() {
  local rc=$?
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
    kill "$APP_PID" 2>/dev/null; sleep 0.5; kill -9 "$APP_PID" 2>/dev/null
  fi
  if [ -n "$XVFB_PID" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
    kill "$XVFB_PID" 2>/dev/null; sleep 0.3; kill -9 "$XVFB_PID" 2>/dev/null
  fi
  [ "$README" = 1 ] && rm -f "$ROOT/build/brellon.ini"
  if [ "$KEEP" = 1 ] || [ "$rc" -ne 0 ]; then
    echo "xsession-test: files kept in $TMP"
  else
    rm -rf "$TMP"
  fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
  echo "xsession-test: FAIL: $*" >&2
  if [ -s "$TMP/app.out" ]; then
    echo "---- program output (last 30 lines) ----" >&2
    tail -n 30 "$TMP/app.out" >&2
  fi
  exit 1
}
pass() { echo "xsession-test: ok: $*"; }

# --- the X server, on a display it picks itself (no clash with parallel runs) ---
exec 3>"$TMP/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$TMP/xvfb.out" 2>&1 &
XVFB_PID=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$TMP/display" ] && break
  kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb did not start: $(cat "$TMP/xvfb.out")"
  sleep 0.1
done
DISPLAY_NUM=$(tr -dc '0-9' <"$TMP/display")
[ -n "$DISPLAY_NUM" ] || fail "Xvfb reported no display"
export DISPLAY=:$DISPLAY_NUM
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || fail "display $DISPLAY does not answer"
echo "xsession-test: X display $DISPLAY"

# --- what every program sees: its own settings folder, no Wine prefix of the user's ---
export XDG_DATA_HOME=$TMP/xdg
export WINEPREFIX=$TMP/no-wine-prefix
export QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME SESSION_MANAGER
mkdir -p "$XDG_DATA_HOME" "$SHOTS"
SETTINGS=$XDG_DATA_HOME/brellon/Tarnwick/brellon.ini

# --- start the wizard ---
if [ "$README" = 0 ]; then
  PALM=$TMP/palm
  APPDIR=$TMP/app
  mkdir -p "$APPDIR"
  if [ "${JET:-0}" = 1 ]; then
    # The Jet 4 databases of an independent writer instead of generated ones.
    "$PALMFIXTURE" "$PALM" --user "Demo User" --jet "$ROOT/tests/data/jet" --version "$VERSION" \
      >"$TMP/fixture.out" 2>&1 || fail "palmfixture: $(cat "$TMP/fixture.out")"
  else
    "$PALMFIXTURE" "$PALM" --user "Demo User" --records 40 --duplicates 8 --seed 1 \
      ${VERSION:+--version "$VERSION"} >"$TMP/fixture.out" 2>&1 || fail "palmfixture: $(cat "$TMP/fixture.out")"
  fi
  # Copies beside their own brellon.ini: the one in the build folder belongs to others.
  cp "$TARNWICK" "$APPDIR/tarnwick"
  cp "$PALMDUMP" "$APPDIR/palmdump"
  [ -f "$(dirname "$TARNWICK")/Tarnwick.html" ] && cp "$(dirname "$TARNWICK")/Tarnwick.html" "$APPDIR/"
  printf '[Path]\r\nPDPath=%s\r\n' "$PALM" >"$APPDIR/brellon.ini"
  DUMP=$APPDIR/palmdump
  (cd "$TMP" && exec "$APPDIR/tarnwick") >"$TMP/app.out" 2>&1 &
  APP_PID=$!
else
  PALM=$ROOT/build/demo
  DUMP=$ROOT/build/palmdump
  # run.sh execs the wizard, so its process becomes the program's.
  (cd "$ROOT" && exec bash scripts/run.sh) >"$TMP/app.out" 2>&1 &
  APP_PID=$!
fi

# All windows of the program with the wizard's title, visible ones only.
find_window() { xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null | head -n 1; }
WID=
deadline=$((SECONDS + WINDOW_TIMEOUT))
while [ -z "$WID" ]; do
  kill -0 "$APP_PID" 2>/dev/null || fail "the program ended before its window showed"
  [ $SECONDS -lt $deadline ] || fail "no window \"$TITLE\" within ${WINDOW_TIMEOUT}s"
  WID=$(find_window)
  [ -n "$WID" ] || sleep 0.3
done
pass "window \"$TITLE\" is shown (id $WID)"
[ "$README" = 1 ] && [ ! -f "$ROOT/build/brellon.ini" ] && fail "run.sh wrote no build/brellon.ini"

# --- the data before: a copy of the files and what palmdump finds ---
cp -a "$PALM" "$TMP/before"
# Backups already there (none, but an installation may hold some) are not the program's.
(cd "$TMP/before" && find . -name '*.bak' -printf '%P\n' | sort) >"$TMP/before.baks"
new_baks() { find "$PALM" "$@" -name '*.bak' -printf '%P\n' | sort | comm -23 - "$TMP/before.baks"; }
if [ -s "$TMP/before.baks" ]; then
  echo "xsession-test: note: the installation holds $(wc -l <"$TMP/before.baks") .bak files before the run:" \
       "$(head -n 1 "$TMP/before.baks") ..."
fi
user_id() {  # the id of "Demo User" from palmdump --json
  sed -n 's/.*"kind":"user","id":\([0-9]*\),"name":"Demo User".*/\1/p' "$1" | head -n 1
}
"$DUMP" --json >"$TMP/users.json" 2>&1 || fail "palmdump finds no Palm Desktop: $(cat "$TMP/users.json")"
USER_ID=$(user_id "$TMP/users.json")
[ -n "$USER_ID" ] || fail "palmdump lists no user \"Demo User\""
"$DUMP" --user "$USER_ID" --json >"$TMP/before.json" 2>&1 || fail "palmdump of the user failed before the run"

# app name, records, duplicates for each loaded application of a palmdump --json output
counts() {
  sed -n 's/.*"kind":"app","app":"\([^"]*\)".*"loaded":\(true\|false\),"records":\([0-9]*\),"duplicates":\([0-9]*\).*/\1 \2 \3 \4/p' "$1"
}
counts "$TMP/before.json" >"$TMP/before.counts"
[ "$(wc -l <"$TMP/before.counts")" -eq 4 ] || fail "palmdump shows $(wc -l <"$TMP/before.counts") applications before the run, not 4"
while read -r app loaded records dups; do
  [ "$loaded" = true ] || fail "palmdump could not load $app before the run"
  [ "$dups" -gt 0 ] || fail "the demo $app has no duplicates to delete"
done <"$TMP/before.counts"
echo "xsession-test: before: $(awk '{printf "%s %d records (%d dups); ", $1, $3, $4}' "$TMP/before.counts")"

# --- driving the window ---
shot() {
  [ "$HAVE_IMPORT" = 1 ] || return 0
  import -display "$DISPLAY" -window root "$SHOTS/$PREFIX-$1.png" 2>/dev/null ||
    echo "xsession-test: note: screenshot $1 failed"
}
screen_hash() {
  [ "$HAVE_IMPORT" = 1 ] || return 0
  import -display "$DISPLAY" -window root -depth 8 rgb:- 2>/dev/null | md5sum | cut -d' ' -f1
}
# Waits until the screen differs from $1 (unless $1 is empty) and then stays the same for
# three looks in a row. Without a way to look at the screen, waits a few seconds.
settle() {
  local before=$1 what=$2 last='' same=0 now
  if [ "$HAVE_IMPORT" = 0 ]; then
    sleep 3
    kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while waiting for $what"
    return 0
  fi
  local deadline=$((SECONDS + STEP_TIMEOUT))
  while [ $SECONDS -lt $deadline ]; do
    kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while waiting for $what"
    now=$(screen_hash)
    if [ -n "$before" ] && [ "$now" = "$before" ]; then
      sleep 0.3; continue
    fi
    if [ "$now" = "$last" ]; then
      same=$((same + 1))
      [ $same -ge 2 ] && return 0
    else
      same=0; last=$now
    fi
    sleep 0.5
  done
  shot "$what-timeout"
  fail "$what did not appear and settle within ${STEP_TIMEOUT}s"
}
# Gives the window the keyboard (there is no window manager) and presses keys.
press() {
  xdotool mousemove --window "$WID" 40 40 >/dev/null 2>&1
  xdotool windowfocus --sync "$WID" >/dev/null 2>&1 || xdotool windowfocus "$WID" >/dev/null 2>&1
  sleep 0.2
  xdotool key --clearmodifiers "$@"
}

settle "" "step 0"
shot step0
H0=$(screen_hash)
pass "step 0 shown"

# A second copy of the program says that one is running and ends, leaving the first alone.
if [ "$README" = 0 ]; then
  (cd "$TMP" && exec "$APPDIR/tarnwick") >"$TMP/second.out" 2>&1 &
  SECOND_PID=$!
  deadline=$((SECONDS + WINDOW_TIMEOUT))
  BOX=
  while [ -z "$BOX" ]; do
    kill -0 "$SECOND_PID" 2>/dev/null || break
    [ $SECONDS -lt $deadline ] || { kill "$SECOND_PID"; fail "the second copy showed nothing within ${WINDOW_TIMEOUT}s"; }
    BOX=$(xdotool search --onlyvisible --pid "$SECOND_PID" 2>/dev/null | head -n 1)
    [ -n "$BOX" ] || sleep 0.3
  done
  [ -n "$BOX" ] || fail "the second copy ended without saying that one is running"
  [ "$(xdotool getwindowname "$BOX")" = "$TITLE" ] && fail "the second copy opened a wizard window"
  shot second-copy
  xdotool windowfocus --sync "$BOX" >/dev/null 2>&1; sleep 0.2; xdotool key --clearmodifiers Return
  deadline=$((SECONDS + EXIT_TIMEOUT))
  while kill -0 "$SECOND_PID" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || { kill "$SECOND_PID"; fail "the second copy did not end after its message"; }
    sleep 0.2
  done
  wait "$SECOND_PID"; second=$?
  [ "$second" -eq 0 ] || fail "the second copy ended with status $second"
  kill -0 "$APP_PID" 2>/dev/null || fail "the first copy ended when the second started"
  pass "a second copy said that one is running and ended"
fi

# Next pressed twice in a row: the second press arrives while the first one loads and must
# not go on past the review page.
press alt+n alt+n
settle "$H0" "step 1"
shot step1
H1=$(screen_hash)
[ -z "$(xdotool search --onlyvisible --name '^Delete Duplicates$' 2>/dev/null)" ] ||
  fail "a second Next pressed during the load went on to the deletion's question"
pass "step 1 shown, and the second Next pressed during the load did nothing"

# Next asks before deleting; Alt+D answers "&Delete".
press alt+n
deadline=$((SECONDS + STEP_TIMEOUT))
ASK=
while [ -z "$ASK" ]; do
  kill -0 "$APP_PID" 2>/dev/null || fail "the program ended before asking to delete"
  [ $SECONDS -lt $deadline ] || { shot ask-timeout; fail "no \"Delete Duplicates\" question within ${STEP_TIMEOUT}s"; }
  ASK=$(xdotool search --onlyvisible --name '^Delete Duplicates$' 2>/dev/null | head -n 1)
  [ -n "$ASK" ] || sleep 0.3
done
sleep 0.5
shot ask
xdotool windowfocus --sync "$ASK" >/dev/null 2>&1; sleep 0.2; xdotool key --clearmodifiers alt+d
pass "the deletion was asked for and confirmed"
settle "$H1" "step 2"
# The deletion starts from a timer once step 2 is painted; wait until every application's file
# has its backup and the page has stopped changing.
deadline=$((SECONDS + STEP_TIMEOUT))
while :; do
  nbak=$(new_baks | wc -l)
  [ "$nbak" -ge 4 ] && break
  kill -0 "$APP_PID" 2>/dev/null || fail "the program ended during the deletion"
  [ $SECONDS -lt $deadline ] || { shot step2-timeout; fail "only $nbak of 4 data files were backed up within ${STEP_TIMEOUT}s"; }
  sleep 0.5
done
settle "" "the deletion's end"
shot step2
pass "step 2 shown, the deletion ran"

press alt+f
deadline=$((SECONDS + EXIT_TIMEOUT))
while kill -0 "$APP_PID" 2>/dev/null; do
  [ $SECONDS -lt $deadline ] || { shot finish-timeout; fail "the program did not end within ${EXIT_TIMEOUT}s after Alt+F"; }
  sleep 0.2
done
wait "$APP_PID"
status=$?
APP_PID=
[ "$status" -eq 0 ] || fail "the program ended with status $status"
pass "the program ended with status 0 after Finish"

# --- the settings the program saved ---
[ -f "$SETTINGS" ] || fail "no settings file $SETTINGS"
ini_value() { tr -d '\r' <"$SETTINGS" | sed -n "s/^$1=//Ip" | head -n 1; }
saved_user=$(ini_value UserID) saved_apps=$(ini_value AppFlag)
[ -n "$saved_user" ] || fail "$SETTINGS has no UserID"
[ -n "$saved_apps" ] || fail "$SETTINGS has no AppFlag"
# UserID is written as a signed 32-bit number.
[ $(((saved_user + 4294967296) % 4294967296)) -eq "$USER_ID" ] ||
  fail "UserID=$saved_user in the settings, but the chosen user is $USER_ID"
[ "$saved_apps" = 15 ] || fail "AppFlag=$saved_apps in the settings, not 15 (all four applications)"
pass "settings saved in $SETTINGS (UserID=$saved_user, AppFlag=$saved_apps)"

# --- the data files: each changed file has one .bak beside it that holds the original ---
changed=0
while IFS= read -r -d '' file; do
  rel=${file#"$PALM"/}
  base=$(basename "$file")
  mapfile -t baks < <(new_baks -path "$(dirname "$file")/$base.*.bak")
  if cmp -s "$file" "$TMP/before/$rel"; then
    [ ${#baks[@]} -eq 0 ] || fail "$rel is unchanged but has a backup"
    continue
  fi
  changed=$((changed + 1))
  [ ${#baks[@]} -eq 1 ] || fail "$rel changed and has ${#baks[@]} backups beside it, not 1"
  [[ $(basename "${baks[0]}") =~ ^"$base"\.[0-9]{8}-[0-9]{6}\.bak$ ]] || fail "backup name ${baks[0]}"
  cmp -s "$PALM/${baks[0]}" "$TMP/before/$rel" || fail "the backup ${baks[0]} is not the file as it was before the run"
done < <(find "$TMP/before" -type f \( -iname '*.dat' -o -iname '*.mdb' \) -printf "$PALM/%P\0")
[ "$changed" -eq 4 ] || fail "$changed data files changed, not 4 (one per application)"
pass "4 data files changed, each with its .bak holding the original"

# --- the records: exactly the duplicates are gone ---
"$DUMP" --user "$USER_ID" --json >"$TMP/after.json" 2>&1 || fail "palmdump of the user failed after the run"
counts "$TMP/after.json" >"$TMP/after.counts"
while read -r app loaded records dups; do
  loaded_after='' records_after=0 dups_after=0
  read -r _ loaded_after records_after dups_after < <(grep "^$app " "$TMP/after.counts")
  [ "${loaded_after:-}" = true ] || fail "palmdump cannot load $app after the run"
  [ "$records_after" -lt "$records" ] || fail "$app: $records_after records after the run, $records before"
  [ "$records_after" -eq $((records - dups)) ] ||
    fail "$app: $records_after records after the run; expected $records - $dups duplicates = $((records - dups))"
  [ "$dups_after" -eq 0 ] || fail "$app: $dups_after duplicates are still found after the run"
  echo "xsession-test: $app: $records -> $records_after records"
done <"$TMP/before.counts"
# Every record left was there before, unchanged (the JSON lines but their positions).
strip() { grep '"kind":"record"' "$1" | sed 's/"index":[0-9]*,//; s/"duplicate":[01],//' | sort; }
missing=$(comm -13 <(strip "$TMP/before.json") <(strip "$TMP/after.json") | head -n 3)
[ -z "$missing" ] || fail "records after the run that were not there before: $missing"
pass "palmdump finds the duplicates gone and every other record as it was"

if [ -f "$XDG_DATA_HOME/brellon/Tarnwick/appdebug.log" ] &&
   grep -q '!!!' "$XDG_DATA_HOME/brellon/Tarnwick/appdebug.log"; then
  echo "xsession-test: note: errors in appdebug.log:"
  grep '!!!' "$XDG_DATA_HOME/brellon/Tarnwick/appdebug.log" | head -n 10
fi
[ "$HAVE_IMPORT" = 1 ] && echo "xsession-test: screenshots: $SHOTS/$PREFIX-step{0,1,2}.png"
echo "xsession-test: PASSED"
