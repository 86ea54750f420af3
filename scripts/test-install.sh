#!/usr/bin/env bash
# Checks jorvex as a user meets it once installed. Builds the Debian package
# (scripts/package.sh, which also runs lintian), extracts it into a scratch
# root, and converts the sample journal with the extracted program in IDEA
# and in INSIKA mode, also with its INI file missing, and checks the IDEA
# export with the installed jorvex-check (which must find the installed
# standard DTD and judge the export clean); then the same with the programs
# that `cmake --install` put into a scratch prefix. The runs are
# made as the user nobody when this script runs as root, so that nothing of
# the installation is writable for them. Every run must end with exit code
# 0 and without an [EXCEPTION] line.
set -euo pipefail
cd "$(dirname "$0")/.."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"

fail() { echo "test-install: $*" >&2; exit 1; }

# as_user COMMAND...: runs COMMAND as an ordinary user.
as_user() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env -- "$@"
  else
    "$@"
  fi
}

# convert NAME PROGRAM ARGS...: converts the sample journal into a fresh
# folder out-NAME owned by the user and checks the console and the log.
convert() {
  local name=$1 program=$2
  shift 2
  local out=$scratch/out-$name
  mkdir "$out"
  if [ "$(id -u)" -eq 0 ]; then chown nobody:nogroup "$out"; fi
  local console status=0
  console=$(cd "$out" && as_user "$program" "$journal" "$out/$name/" /L "$@") || status=$?
  if [ "$status" -ne 0 ] || grep -q '\[EXCEPTION\]' <<<"$console"; then
    printf '%s\n' "$console" >&2
    fail "$name: exit code $status"
  fi
  [ -s "$out/$name/ExportInfo.txt" ] || fail "$name: no log"
  if [[ " $* " == *" /INSIKA "* ]]; then
    [ -s "$out/$name/INSIKA.xml" ] || fail "$name: no INSIKA.xml"
  else
    # The DTD, found through the program folder's link, lies beside the index.
    local index
    index=$(ls "$out/$name"/*/index.xml) || fail "$name: no index.xml"
    ls "$(dirname "$index")"/*.dtd >/dev/null || fail "$name: no DTD beside $index"
    local report
    report=$(as_user "$checker" "$(dirname "$index")" 2>&1) || {
      printf '%s\n' "$report" >&2
      fail "$name: jorvex-check does not judge the export clean"
    }
    ! grep -q 'not installed' <<<"$report" || fail "$name: jorvex-check finds no standard DTD"
  fi
  echo "ok: $name"
}

# check NAME PROGRAM INI_LINK CHECKER: the runs of one installed program;
# INI_LINK is the program folder's link to the configuration file, CHECKER
# the installed jorvex-check.
check() {
  local name=$1 program=$2 ini_link=$3
  checker=$4
  as_user "$checker" --version | grep -q '^jorvex-check ' || fail "$name: jorvex-check --version"
  [ -s "$(dirname "$checker")/../share/man/man1/jorvex-check.1.gz" ] || fail "$name: no jorvex-check.1.gz"
  local dangling
  dangling=$(find "$(dirname "$ini_link")" "$(dirname "$program")" -xtype l)
  [ -z "$dangling" ] || fail "$name: links that lead nowhere: $dangling"
  convert "$name-idea" "$program"
  convert "$name-insika" "$program" /INSIKA
  # Without its INI file an INSIKA run goes on; the file cannot be created.
  local ini
  ini=$(readlink "$ini_link")
  ln -sfn "$ini.missing" "$ini_link"
  convert "$name-insika-no-ini" "$program" /INSIKA
  grep -q 'could not be written' "$scratch/out-$name-insika-no-ini/$name-insika-no-ini/ExportInfo.txt" ||
    fail "$name: no hint about the INI file"
  ln -sfn "$ini" "$ini_link"
}

echo "== test-install: Debian package =="
scripts/package.sh
deb=$(ls build-release/jorvex_*.deb)
dpkg-deb -x "$deb" "$scratch/root"
journal=$scratch/root/usr/share/doc/jorvex/examples/sample-native.txt
# The program folder's link into /etc is absolute, as Debian wants; in the
# scratch root it has to lead to the scratch root's /etc instead.
ln -sfn "$scratch/root/etc/jorvex/Jorvex.ini" "$scratch/root/usr/lib/jorvex/Jorvex.ini"
check package "$scratch/root/usr/bin/jorvex" "$scratch/root/usr/lib/jorvex/Jorvex.ini" \
  "$scratch/root/usr/bin/jorvex-check"

echo "== test-install: cmake --install =="
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target jorvex jorvex-check
cmake --install build --prefix "$scratch/prefix" >/dev/null
journal=$scratch/prefix/share/doc/jorvex/examples/sample-native.txt
check prefix "$scratch/prefix/bin/jorvex" "$scratch/prefix/lib/jorvex/Jorvex.ini" "$scratch/prefix/bin/jorvex-check"
echo "test-install: all runs passed"
