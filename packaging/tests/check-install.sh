#!/usr/bin/env bash
# check-install.sh BUILD_DIR APP_ID_PREFIX MAN_PAGES(ON|OFF) PROGRAM...
# Installs the already built tree into a scratch DESTDIR and checks what a
# desktop needs of it, runs an installed program from there, then builds the
# Debian package, reads its control data and file list, installs it into a
# scratch dpkg root, runs trekport from that root and removes the package.
set -euo pipefail
build="$1" prefix="$2" man="$3"
shift 3
programs=("$@")

fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }
check_file() { [[ -f "$1" ]] || fail "missing $1"; }

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# --- the installed tree ---------------------------------------------------
dest="$scratch/dest"
DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$scratch/install.log" \
  || { cat "$scratch/install.log" >&2; exit 1; }
usr="$dest/usr"

# Exactly the programs, none of the tests, tools or benchmarks.
listed="$(ls "$usr/bin" | sort | tr '\n' ' ')"
wanted="$(printf '%s\n' "${programs[@]}" | sort | tr '\n' ' ')"
[[ "$listed" == "$wanted" ]] || fail "bin/ holds '$listed', wanted '$wanted'"

for prog in "${programs[@]}"; do
  id="$prefix.$prog"
  [[ -x "$usr/bin/$prog" ]] || fail "$prog is not an executable"
  desktop="$usr/share/applications/$id.desktop"
  check_file "$desktop"
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  grep -qx "Exec=$prog" "$desktop" || fail "$desktop does not start $prog"
  grep -qx "Icon=$id" "$desktop" || fail "$desktop does not name the icon $id"
  grep -q '^Name\[zh_CN\]=' "$desktop" || fail "$desktop has no Chinese name"
  grep -q '^Comment\[zh_CN\]=' "$desktop" || fail "$desktop has no Chinese comment"
  metainfo="$usr/share/metainfo/$id.metainfo.xml"
  check_file "$metainfo"
  appstreamcli validate --no-net "$metainfo" >"$scratch/validate.log" 2>&1 \
    || { cat "$scratch/validate.log" >&2; fail "appstreamcli rejects $metainfo"; }
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
    || fail "$metainfo does not launch $id.desktop"
  icon="$usr/share/icons/hicolor/scalable/apps/$id.svg"
  check_file "$icon"
  xmllint --noout "$icon" || fail "$icon is not well-formed"
  if [[ "$man" == ON ]]; then
    page="$usr/share/man/man1/$prog.1.gz"
    check_file "$page"
    # The man page carries the options --help lists.
    zcat "$page" | grep -q -- 'overwrite' || fail "$page lists no options"
  fi
done
doc="$usr/share/doc/gpsphotosuite"
for f in README.md copyright 70-gpsphotosuite-serial-logger.rules; do
  check_file "$doc/$f"
done
grep -q 'ENV{ID_MM_DEVICE_IGNORE}="1"' "$doc/70-gpsphotosuite-serial-logger.rules" \
  || fail "the udev rule does not keep ModemManager away"

# The installed pixplot reads a path with nothing of the build tree around:
# a clean environment, run from the scratch folder.
if [[ " ${programs[*]} " == *" pixplot "* ]]; then
  printf '%s\r\n' \
    '$GPRMC,022345,A,3112.3456,N,12123.4567,E,0.0,0.0,120510,,*1C' \
    '$GPGGA,022345,3112.3456,N,12123.4567,E,1,05,1.0,0.0,M,0.0,M,,*4B' \
    '$GPRMC,022415,A,3112.4456,N,12123.5567,E,0.0,0.0,120510,,*1F' >"$scratch/path.txt"
  expected="$(printf '%s\t%s\t%s\t%s\t%s\t%s\n' \
    '记录0001' '2010-05-12 10:23:45' "N31°12.3456',E121°23.4567'" 0 121.390945 31.20576 \
    '记录0002' '2010-05-12 10:24:15' "N31°12.4456',E121°23.5567'" 30 121.392611666667 31.2074266666667)"
  got="$(cd "$scratch" && env -i PATH=/usr/bin:/bin HOME="$scratch" LANG=C.UTF-8 \
    "$usr/bin/pixplot" --read-path path.txt 2>"$scratch/pixplot.err")" \
    || { cat "$scratch/pixplot.err" >&2; fail "installed pixplot --read-path failed"; }
  [[ "$got" == "$expected" ]] || fail "installed pixplot --read-path printed:
$got"
fi

# The installed trekport window, started by a user who cannot write its
# folder, keeps SYS.ini in that user's config folder and nothing beside
# itself. Needs root to become that user.
if [[ $(id -u) -eq 0 && " ${programs[*]} " == *" trekport "* ]] && command -v setpriv >/dev/null; then
  chmod 755 "$scratch"
  home="$scratch/home"
  mkdir -m 777 "$home"
  (cd "$home" && exec setpriv --reuid=65534 --regid=65534 --clear-groups \
     env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen "$usr/bin/trekport") \
    >"$scratch/trekport.log" 2>&1 &
  window=$!
  for _ in $(seq 200); do
    [[ -f "$home/.config/trekport/SYS.ini" ]] && break
    sleep 0.1
  done
  kill "$window" 2>/dev/null || true
  wait "$window" 2>/dev/null || true
  [[ -f "$home/.config/trekport/SYS.ini" ]] || fail "trekport kept no SYS.ini in ~/.config/trekport"
  [[ "$(ls "$usr/bin" | sort | tr '\n' ' ')" == "$wanted" ]] || fail "something was written into bin/"
fi

# --- the Debian package ---------------------------------------------------
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 \
  || { cat "$scratch/cpack.log" >&2; exit 1; }
debs=("$scratch"/package/*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || { fail "cpack made no single .deb"; exit 1; }
deb="${debs[0]}"

dpkg-deb -I "$deb" >"$scratch/info"
depends="$(sed -n 's/^ Depends: //p' "$scratch/info")"
echo "Depends: $depends"
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 qt6-qpa-plugins libexiv2-27 fonts-noto-cjk; do
  [[ ", $depends," == *", $p "* || ", $depends," == *", $p,"* ]] || fail "Depends lacks $p"
done
if [[ " ${programs[*]} " == *" trekport "* ]]; then
  [[ ", $depends," == *", libqt6serialport6"* ]] || fail "Depends lacks libqt6serialport6"
fi
grep -q '^ Package: gpsphotosuite$' "$scratch/info" || fail "the package is not named gpsphotosuite"

dpkg-deb -c "$deb" | awk '{print $NF}' >"$scratch/contents"
for prog in "${programs[@]}"; do
  for f in "./usr/bin/$prog" "./usr/share/applications/$prefix.$prog.desktop" \
           "./usr/share/metainfo/$prefix.$prog.metainfo.xml" \
           "./usr/share/icons/hicolor/scalable/apps/$prefix.$prog.svg"; do
    grep -qxF "$f" "$scratch/contents" || fail "the package lacks $f"
  done
done
grep -qxF ./usr/share/doc/gpsphotosuite/copyright "$scratch/contents" || fail "the package lacks its copyright file"
if grep -v '^\./usr/' "$scratch/contents" | grep -qv '^\./$'; then
  fail "the package installs outside /usr: $(grep -v '^\./usr/' "$scratch/contents" | tr '\n' ' ')"
fi

# Installing into a scratch dpkg root: the dependencies are the host's, so
# they are not checked there; the package's own files are.
root="$scratch/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/log"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg_root=(dpkg --root="$root" --log=/dev/null --force-depends)
if [[ $(id -u) -ne 0 ]]; then
  dpkg_root=(fakeroot "${dpkg_root[@]}" --force-not-root)
fi
export PATH="$PATH:/usr/sbin:/sbin"
"${dpkg_root[@]}" -i "$deb" >"$scratch/dpkg.log" 2>&1 \
  || { cat "$scratch/dpkg.log" >&2; fail "dpkg could not install the package"; }
if [[ " ${programs[*]} " == *" trekport "* ]]; then
  help="$(cd "$scratch" && env -i PATH=/usr/bin:/bin HOME="$scratch" "$root/usr/bin/trekport" --help 2>&1)" \
    || fail "trekport --help from the package failed: $help"
  [[ "$help" == *"--export-kml"* ]] || fail "trekport --help from the package printed: $help"
fi
"${dpkg_root[@]}" -r gpsphotosuite >>"$scratch/dpkg.log" 2>&1 || fail "dpkg could not remove the package"
left="$(find "$root" -path "$root/var" -prune -o -type f -print)"
[[ -z "$left" ]] || fail "removing the package left files: $left"

[[ $fails -eq 0 ]] || { echo "$fails check(s) failed" >&2; exit 1; }
echo "install tree and package checked"
