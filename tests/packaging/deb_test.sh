#!/usr/bin/env bash
# Does a fresh root get a working hack from the Debian package? Builds the
# package (scripts/build-deb.sh), unpacks it with dpkg -x into a temporary
# root, checks its layout, files and dependencies, runs lintian (an error
# fails), and runs the unpacked hack and fxpack on the unpacked demo content.
#   tests/packaging/deb_test.sh [BUILD-DIR]     (default: build-deb/)
#   tests/packaging/deb_test.sh PACKAGE.deb     (a package made before)
# It takes minutes (a full optimised build and the demo content), so it is
# not part of ctest. It runs on Xvfb; it installs the build tools and lintian
# when missing (scripts/deps.sh), never the package itself.
# "test && pass || fail" is meant: pass never fails.
# shellcheck disable=SC2015
set -uo pipefail

src="$(cd "$(dirname "$0")/../.." && pwd)"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

work="$(mktemp -d /tmp/velmira-deb-test.XXXXXX)"
trap 'rm -rf "$work"' EXIT
case "${1:-}" in
  *.deb) deb="$1" ;;
  *) "$src/scripts/build-deb.sh" "$@" | tee "$work/build.txt"
     deb="$(tail -n 1 "$work/build.txt")" ;;
esac
if [ ! -f "$deb" ]; then
  echo "FAIL: no package${deb:+ $deb}" >&2
  exit 1
fi
"$src/scripts/deps.sh" lintian
echo "package: $deb ($(stat -c %s "$deb") bytes)"

root="$work/root"
dpkg -x "$deb" "$root" || { echo "FAIL: dpkg -x" >&2; exit 1; }
field() { dpkg-deb -f "$deb" "$1"; }
depends="$(field Depends)"
echo "Depends: $depends"

# --- control fields ---------------------------------------------------------
version="$(sed -n 's/^project(velmira VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")"
case "$(field Version)" in
  "$version"-*) pass "version $(field Version) is the project's $version" ;;
  *) fail "version $(field Version) is not the project's $version" ;;
esac
[ "$(basename "$deb")" = "$(field Package)_$(field Version)_$(field Architecture).deb" ] &&
  pass "file name $(basename "$deb")" || fail "file name $(basename "$deb") is not Debian's"

# --- layout: path, test, what it is -----------------------------------------
hack="$root/usr/libexec/xscreensaver/velmira"
xml="$root/usr/share/xscreensaver/config/velmira.xml"
desktop="$root/usr/share/applications/screensavers/velmira.desktop"
data="$root/usr/share/velmira"
while read -r test path what; do
  if test "$test" "$root/$path"; then pass "$what: /$path"; else fail "$what missing: /$path"; fi
done <<EOF
-x usr/libexec/xscreensaver/velmira the hack, where XScreenSaver runs hacks from
-f usr/share/xscreensaver/config/velmira.xml its XScreenSaver settings
-f usr/share/applications/screensavers/velmira.desktop its desktop entry
-f usr/share/velmira/xxdata.dat the demo content
-f usr/share/man/man6/velmira.6.gz its manual page
-x usr/bin/fxpack the package tool
-f usr/share/doc/velmira/copyright the copyright file
-f usr/share/doc/velmira/changelog.Debian.gz the Debian changelog
EOF
others="$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)"
[ -z "$others" ] && pass "everything under /usr" || fail "files outside /usr: $others"
[ ! -e "$root/usr/local" ] && pass "nothing under /usr/local" || fail "files under /usr/local"
[ ! -e "$root/usr/bin/velmira-content" ] && pass "no demo-content builder" || fail "velmira-content is shipped"

# Modes and owners as dpkg will install them: 755 programs (stripped ELF
# files, nothing else), 644 files, 755 folders, all root's.
bad="$(dpkg-deb -c "$deb" | awk '$2 != "root/root" ||
  ($1 !~ /^d/ && $1 != "-rw-r--r--" && $1 != "-rwxr-xr-x") ||
  ($1 ~ /^d/ && $1 != "drwxr-xr-x")')"
[ -z "$bad" ] && pass "modes and owners" || fail "modes or owners: $bad"
while IFS= read -r -d '' f; do
  kind="$(file -b "$f")"
  case "$kind" in
    ELF*", stripped"*) pass "stripped program ${f#"$root"}" ;;
    *) fail "${f#"$root"} is executable but not a stripped program: $kind" ;;
  esac
done < <(find "$root" -type f -perm /111 -print0)

# --- settings file and desktop entry name the hack and what it takes --------
name="$(sed -n 's/.*<screensaver name="\([^"]*\)".*/\1/p' "$xml")"
[ "$name" = "$(basename "$hack")" ] && pass "settings file is for the hack \"$name\"" ||
  fail "settings file names \"$name\", not $(basename "$hack")"
# Every argument the settings can give, each % filled with the element's
# default or, for a file, the demo content's folder.
xmlargs=()
while IFS= read -r line; do
  for arg in $(printf '%s\n' "$line" | grep -o ' arg\(-set\|-unset\)\?="[^"]*"' | sed 's/.*="\(.*\)"/\1/' | tr ' ' '\n'); do
    if [ "$arg" = "%" ]; then
      arg="$(printf '%s\n' "$line" | sed -n 's/.* default="\([^"]*\)".*/\1/p')"
      [ -z "$arg" ] && case "$line" in *"<file "*) arg="$data" ;; esac
      [ -z "$arg" ] && fail "no value to try for: $line"
    fi
    xmlargs+=("$arg")
  done
done < "$xml"
[ ${#xmlargs[@]} -gt 0 ] && pass "settings file gives: ${xmlargs[*]}" || fail "settings file gives no arguments"
for key in Exec TryExec; do
  prog="$(sed -n "s/^$key=\([^ ]*\).*/\1/p" "$desktop")"
  [ -x "$root$prog" ] && pass "desktop entry $key runs $prog, which the package holds" ||
    fail "desktop entry $key=$prog is not in the package"
done

# --- lintian: no errors (it checks the control fields and manual page too) ---
lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
cat "$work/lintian.txt"
if grep -q '^E:' "$work/lintian.txt"; then fail "lintian reports errors"; else pass "lintian: no errors"; fi

# --- run what was unpacked ----------------------------------------------------
"$root/usr/bin/fxpack" verify "$data/xxdata.dat" >"$work/verify.txt" 2>&1 &&
  pass "fxpack verifies the demo content" || fail "fxpack verify: $(cat "$work/verify.txt")"

home="$work/home"
mkdir -p "$home"
run() { HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_STATE_HOME="$home/.state" \
  "$src/tests/support/xvfb-run.sh" "$@"; }

# The show on the unpacked content, with every argument of the settings file;
# libraries it loads itself are traced to see that the package depends on them.
LD_DEBUG=files run "$hack" --offline "$work/frames" --times 0,2.5 --size 320x240 \
  "${xmlargs[@]}" --data "$data" >/dev/null 2>"$work/run.txt"
status=$?
[ $status -eq 0 ] && pass "offline show with the settings' arguments" ||
  fail "offline show ended with $status: $(grep -v '^ *[0-9]*:' "$work/run.txt")"
frame="$work/frames/frame-0002.500s.png"
if [ -f "$frame" ]; then
  read -r colors sd < <(identify -format '%k %[fx:standard_deviation]\n' "$frame")
  if [ "${colors:-0}" -gt 256 ] && awk -v s="${sd:-0}" 'BEGIN { exit !(s > 0.02) }'; then
    pass "frame at 2.5 s shows a picture ($colors colours, deviation $sd)"
  else
    fail "frame at 2.5 s is blank ($colors colours, deviation $sd)"
  fi
else
  fail "no frame at 2.5 s"
fi

# What the hack links and opens is in Depends (by package or alternative).
owner() { dpkg -S "$1" 2>/dev/null || dpkg -S "$(readlink -f "$1")" 2>/dev/null; }
# Is package $1 in Depends, alone or as an alternative?
in_depends() { printf '%s\n' "$depends" | tr ',|' '\n' | sed 's/ *(.*//; s/ //g' | grep -qx "$1"; }
libs="$(grep -F -e "needed by $hack " -e "dynamically loaded by $hack " "$work/run.txt" |
  sed 's/.*file=\([^ ]*\) .*/\1/' | sort -u)"
[ -n "$libs" ] || fail "no libraries traced"
for lib in $libs; do
  path="$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64/ { print $NF; exit }')"
  pkg="$(owner "$path" | head -n 1 | cut -d: -f1)"
  if [ -z "$pkg" ]; then fail "$lib: no package owns $path"; continue; fi
  in_depends "$pkg" &&
    pass "$lib ($pkg) is a dependency" || fail "$lib comes from $pkg, which is not in Depends"
done
# The fonts it draws with, when strace can watch it open them.
if command -v strace >/dev/null 2>&1; then
  run strace -f -e trace=openat -o "$work/strace.txt" "$hack" --offline "$work/frames2" \
    --times 2.5 --size 160x120 --fps --data "$data" >/dev/null 2>&1
  fonts="$(grep -v ENOENT "$work/strace.txt" | grep -o '"[^"]*\.[ot]tf"' | tr -d '"' | sort -u)"
  [ -n "$fonts" ] || fail "no font opened"
  for font in $fonts; do
    pkg="$(owner "$font" | head -n 1 | cut -d: -f1)"
    in_depends "${pkg:-none}" &&
      pass "font $font ($pkg) is a dependency" || fail "font $font comes from ${pkg:-no package}, not in Depends"
  done
else
  echo "skipped: the fonts' package (no strace)"
fi

# The folder built into the program for its demo content is where the
# package puts it: without --data it names that place when it finds nothing
# there, or, when the package is installed here, loads from it.
run "$hack" --offline "$work/frames3" --times 0 --size 160x120 >/dev/null 2>"$work/nodata.txt"
place="$(sed -n 's/^ *\(\/[^ ]*\)  (the installed demo content)$/\1/p' "$work/nodata.txt")"
[ -n "$place" ] || place="$(sed -n 's/.*InitScene (data folder: \(\/.*\)\/)$/\1\/xxdata.dat/p' \
  "$work/frames3/velmira.log" 2>/dev/null)"
if [ -n "$place" ] && [ -f "$root$place" ]; then
  pass "built-in demo content place $place is in the package"
else
  fail "built-in demo content place \"$place\" is not in the package: $(cat "$work/nodata.txt")"
fi

if [ $failures -ne 0 ]; then
  echo "deb_test: $failures check(s) failed" >&2
  exit 1
fi
echo "deb_test: all checks passed"
