#!/bin/bash
# Runs inside the Wine rig (tests/rig/wine_test.sh --script): the release's
# MSI, built by release.sh from the programs under test, installed, upgraded
# and removed silently by Wine's msiexec, with and without the logon task.
# The MSI holds the 32-bit product: with the 64-bit build this skips (77).
set -euo pipefail
if [ "$WINEARCH" != win32 ]; then
  echo "skipped: the MSI holds the 32-bit programs, and this machine's Wine runs the 64-bit build"
  exit 77
fi
DIST=$WINEPREFIX/drive_c/dist
for version in 3.5 3.6; do
  RELEASE_NO_BUILD=1 LANCHUAN_WIN32_DIR=$WINE_BUILD_DIR RELEASE_DIST_DIR=$DIST RELEASE_VERSION=$version \
    "$LANCHUAN_SOURCE_DIR/release.sh" --untested >"$WINEPREFIX/release.log" 2>&1 ||
    { cat "$WINEPREFIX/release.log" >&2; exit 1; }
done
OLD='C:\dist\LanchuanTimeSync-3.5-untested.msi'
NEW='C:\dist\LanchuanTimeSync-3.6-untested.msi'
# A win32 prefix has only C:\Program Files.
APP="$WINEPREFIX/drive_c/Program Files/LanchuanTimeSync"
TASK="$WINEPREFIX/drive_c/windows/system32/tasks/LanchuanTimeSync"
# Per machine, the shortcut belongs in the common Programs folder; Wine's
# msiexec puts it in the installing user's whatever ALLUSERS says, so either
# place counts here.
SHORTCUTS=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/蓝川自动校时.lnk"
  "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/蓝川自动校时.lnk")

fail() { echo "FAIL: $*" >&2; exit 1; }
msiexec() {  # expected-exit-codes(a|b) name msiexec-arguments...
  local want=$1 name=$2 rc=0 code ok=0
  shift 2
  "$WINE_LOADER" msiexec "$@" /qn /l*v "C:\\$name.log" >"$WINEPREFIX/$name.out" 2>&1 || rc=$?
  # A Unix exit status keeps the low 8 bits: 1603 (ERROR_INSTALL_FAILURE) is 67.
  for code in ${want//|/ }; do [ "$rc" = $((code % 256)) ] && ok=1; done
  [ $ok = 1 ] || fail "msiexec $* exited $rc, not $want; see the log: $(iconv -f UTF-16LE -t UTF-8 \
    "$WINEPREFIX/drive_c/$name.log" 2>/dev/null | grep -a -i -E 'error|return value 3' | head -n 5)"
  echo "msiexec $1 ${2##*\\} ${*:3}: exit $rc (of $want)"
}
cli() { "$WINE_LOADER" "$APP/LanchuanTimeSyncCli.exe" "$@"; }
registered() {  # the versions of the product Windows Installer has registered
  "$WINE_LOADER" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '/^HKEY/ { key = $0 } $1 == "Publisher" { name[key] = $3 }
      $1 == "DisplayVersion" { version[key] = $3 }
      END { for (k in name) if (name[k] == "LanchuanTimeSync") print version[k] }' | sort | tr '\n' ' '
}
expect_files() {  # present|absent
  local f
  for f in LanchuanTimeSync.exe LanchuanTimeSyncCli.exe 使用说明.txt; do
    if [ "$1" = present ]; then
      [ -f "$APP/$f" ] || fail "$f not installed"
    else
      [ ! -e "$APP/$f" ] || fail "$f left behind"
    fi
  done
  if [ "$1" = present ]; then
    [ -f "${SHORTCUTS[0]}" ] || [ -f "${SHORTCUTS[1]}" ] || fail "no Start-menu shortcut"
  else
    [ ! -e "${SHORTCUTS[0]}" ] && [ ! -e "${SHORTCUTS[1]}" ] || fail "Start-menu shortcut left behind"
    [ ! -e "$APP" ] || fail "folder left behind: $(ls -A "$APP")"
  fi
}

# A plain install: the files as in the zip, a companion that runs, no task.
msiexec 0 install /i "$OLD"
expect_files present
python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(
  zipfile.ZipFile(sys.argv[1]).infolist()[2]))' "$DIST/LanchuanTimeSync-3.5-untested.zip" |
  cmp - "$APP/使用说明.txt" || fail "the installed guide differs from the zip's"
cmp "$WINE_BUILD_DIR/LanchuanTimeSyncCli.exe" "$APP/LanchuanTimeSyncCli.exe" || fail "companion differs"
cli --help >/dev/null || fail "the installed companion's --help failed"
[ ! -e "$TASK" ] || fail "a task without SCHEDULE=1"
[ "$(registered)" = "3.5 " ] || fail "registered: $(registered)"

msiexec 0 uninstall /x "$OLD"
expect_files absent
[ -z "$(registered)" ] || fail "still registered: $(registered)"

# SCHEDULE=1 with arguments: the task runs the installed companion.
msiexec 0 install-schedule /i "$OLD" SCHEDULE=1 'SCHEDULE_ARGS=--every 60 --threshold 50'
expect_files present
[ -f "$TASK" ] || fail "no task file after SCHEDULE=1"
cli schedule show >/dev/null || fail "schedule show finds no task"
# Wine's task store keeps no action (<Exec/>): what was registered is read from
# the companion's own report, which Wine's msiexec passes on to its console.
runs='"C:\Program Files\LanchuanTimeSync\LanchuanTimeSyncCli.exe" sync --precise --threshold 50'
grep -qF "$runs" "$WINEPREFIX/install-schedule.out" && grep -q 'every 60 minutes' "$WINEPREFIX/install-schedule.out" ||
  fail "the task does not run the installed companion: $(cat "$WINEPREFIX/install-schedule.out")"

# A newer package replaces the older one in place; an older one does not go
# over it. Removing the product takes the task with the files. (On Windows the
# older package's removal during an upgrade has UPGRADINGPRODUCTCODE set and
# leaves the task; Wine's msiexec removes it as a plain removal would, so here
# the upgrade is given SCHEDULE=1 again, as a transform would give it.)
msiexec 0 upgrade /i "$NEW" SCHEDULE=1
expect_files present
[ "$(registered)" = "3.6 " ] || fail "after the upgrade, registered: $(registered)"
[ -f "$TASK" ] || fail "no task after the upgrade"
msiexec 1603 downgrade /i "$OLD"
[ "$(registered)" = "3.6 " ] || fail "after the refused downgrade, registered: $(registered)"
msiexec 0 uninstall-schedule /x "$NEW"
expect_files absent
[ ! -e "$TASK" ] || fail "the task is left after removal"
[ -z "$(registered)" ] || fail "still registered: $(registered)"

# A schedule install that fails fails the install, which leaves nothing behind
# (Windows ends it with 1603; Wine's msiexec with 1627, ERROR_FUNCTION_FAILED).
msiexec '1603|1627' bad-schedule /i "$OLD" SCHEDULE=1 'SCHEDULE_ARGS=--every 1'
expect_files absent
[ ! -e "$TASK" ] || fail "a task after a failed install"
[ -z "$(registered)" ] || fail "a failed install stayed registered: $(registered)"
echo "MSI of $(stat -c %s "$DIST/LanchuanTimeSync-3.5-untested.msi") bytes: install, upgrade, removal and task as expected"
