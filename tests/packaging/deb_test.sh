#!/usr/bin/env bash
# Does a fresh root get a working hack from the Debian package? Builds the
# package (scripts/build-deb.sh), unpacks it with dpkg -x into a temporary
# root, checks its layout, files and dependencies, runs lintian (an error
# fails), and runs the unpacked hack and fxpack on the unpacked demo content,
# the hack also under the real XScreenSaver daemon as its settings file runs it.
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
# Is "$@" true within $1 seconds? Asked every tenth of a second.
within() {
  local end=$(($(date +%s%N) + $1 * 1000000000))
  shift
  until "$@"; do
    [ "$(date +%s%N)" -gt "$end" ] && return 1
    sleep 0.1
  done
}
# The daemon's check starts a server, the daemon and, through it, the hack.
xpid="" daemon="" shown=""
daemon_gone() { case "$(ps -o stat= -p "$daemon")" in "" | Z*) true ;; *) false ;; esac; }
cleanup() {
  if [ -n "$daemon" ]; then
    kill "$daemon" 2>/dev/null
    within 5 daemon_gone || kill -9 "$daemon" 2>/dev/null
    wait "$daemon" 2>/dev/null
  fi
  [ -n "$shown" ] && for pid in $(pgrep -f "^$shown "); do kill -9 "$pid"; done
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
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

# --- under the XScreenSaver daemon ------------------------------------------
# The daemon runs the unpacked hack with the settings file's arguments on a
# private server: the opening darkens the daemon's picture of the desktop to
# about 30 %, and the hack is gone soon after the daemon deactivates.
screen_w=1024 screen_h=768
# The screen's middle pixel as "r g b", in rgb.
middle() {
  rgb="$(import -window root -crop "1x1+$((screen_w / 2))+$((screen_h / 2))" +repage -depth 8 txt:- 2>/dev/null |
    sed -n 's/^0,0: *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p')"
}
# Is the middle pixel within -4..+16 of "r g b" (the light adds a little)?
middle_near() {
  middle
  printf '%s %s\n' "$rgb" "$*" |
    awk 'NF != 6 { exit 1 } { for (i = 1; i <= 3; i++) if ($i < $(i + 3) - 4 || $i > $(i + 3) + 16) exit 1 }'
}
hack_gone() { ! pgrep -f "^$hack " >/dev/null; }
# The daemon refuses root: then it, its commands and the hack run as nobody,
# who may enter the work folder and write the home and the trace log.
as=()
home="$work/saverhome"
mkdir -p "$home"
if [ "$(id -u)" -eq 0 ]; then
  as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  chmod 0755 "$work"
  chown nobody:nogroup "$home" "$data"
fi
# A command prefix, not a function: the daemon's id is then the daemon's.
as_user=(env -C "$work" -u XSCREENSAVER_WINDOW HOME="$home" "${as[@]}")
# What the settings file gives when the user changes nothing: the command's
# arguments and those of options that are on unless unset.
saverargs="$(sed -n 's/.*<command arg="\([^"]*\)".*/\1/p; s/.* arg-unset="\([^"]*\)".*/\1/p' "$xml" | tr '\n' ' ')"
rm -f "$data/velmira.log"
cat >"$home/.xscreensaver" <<SETTINGS
mode: one
selected: 0
lock: False
fade: False
unfade: False
grabDesktopImages: True
programs: $hack ${saverargs}--data $data \\n
SETTINGS
echo "the daemon's $(grep '^programs:' "$home/.xscreensaver")"
# -noreset: else the server resets, and forgets the desktop, whenever its
# last client leaves.
exec 4<> <(:)
Xvfb -displayfd 4 -screen 0 "${screen_w}x${screen_h}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
xpid=$!
num=""
read -r -t 20 num <&4 || true
exec 4<&-
if [ -z "$num" ]; then
  fail "Xvfb did not start for the daemon"
else
  export DISPLAY=":$num"
  # The desktop: rgb(200, 100, 50). display exits 1 even when it set it.
  convert -size 8x8 'xc:rgb(200,100,50)' "$work/desktop.png" && display -window root "$work/desktop.png"
  middle
  [ "$rgb" = "200 100 50" ] && pass "desktop is rgb(200,100,50)" || fail "desktop is \"$rgb\", not 200 100 50"
  shown="$hack"
  "${as_user[@]}" xscreensaver --no-splash >"$work/daemon.txt" 2>&1 &
  daemon=$!
  if ! within 10 "${as_user[@]}" xscreensaver-command -activate >/dev/null 2>&1; then
    fail "the daemon did not activate: $(cat "$work/daemon.txt")"
  # Loading the demo content takes seconds, many more on a busy machine.
  elif ! within 60 grep -qs "opening done" "$data/velmira.log"; then
    fail "no \"opening done\" in the hack's trace: $(cat "$work/daemon.txt" "$data/velmira.log" 2>&1)"
  else
    pass "the daemon ran the hack to the end of its opening"
    # A slow machine may still be fading when the log says so.
    within 10 middle_near 62 31 16 && pass "middle is the desktop darkened to 30 % ($rgb)" ||
      fail "middle is \"$rgb\", not the desktop darkened to 30 % (62 31 16, -4..+16)"
  fi
  if hack_gone; then
    fail "the hack does not run under the daemon"
  else
    pass "the hack runs under the daemon"
    "${as_user[@]}" xscreensaver-command -deactivate >/dev/null 2>&1 || fail "xscreensaver-command -deactivate failed"
    within 5 hack_gone && pass "the hack ends within 5 s of the deactivation" ||
      fail "the hack outlived the daemon's window by 5 s"
  fi
fi

if [ $failures -ne 0 ]; then
  echo "deb_test: $failures check(s) failed" >&2
  exit 1
fi
echo "deb_test: all checks passed"
