#!/usr/bin/env bash
# Checks the packages in dist/ as a user gets them: the .debs' contents and
# metadata with the tools Debian checks them with, the installed programs
# unlocking the virtual modem, the arm64 program under qemu, and the zip's
# Tessivo.exe under Wine.
# In CI (CI=true, root, a throw-away machine) the .debs are installed for
# real with apt-get, the core package alone first, so their dependencies are
# resolved, and removed afterwards; elsewhere they are unpacked into a
# temporary folder, the core package first.
#   tests/packaging/package_test.sh        (after scripts/package.sh)
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
dist=$here/dist
version=$(sed -n 's/^project(Tessivo VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
deb=$dist/tessivo_${version}_amd64.deb
gui_deb=$dist/tessivo-gui_${version}_amd64.deb
arm_deb=$dist/tessivo_${version}_arm64.deb
zip=$dist/Tessivo-${version}-win64.zip
id=test.tessivo.Tessivo

work=$(mktemp -d)
sim_pid=
installed=
cleanup() {
  if [[ -n $sim_pid ]]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  [[ -n $installed ]] && apt-get purge -y tessivo-gui tessivo >/dev/null 2>&1
  [[ -s $work/wine/prefix ]] && "$here/tests/win32/wine_prefix.sh" cleanup "$work/wine" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
skipped=0
check() { # check NAME COMMAND...: one line per check, its output on failure
  local name=$1
  shift
  if "$@" >"$work/out" 2>&1; then
    echo "ok    $name"
    passed=$((passed + 1))
  else
    echo "FAIL  $name"
    sed 's/^/      /' "$work/out" | head -40
    failed=$((failed + 1))
  fi
}
no_output() { # passes when the command succeeds and prints nothing
  local out
  out=$("$@" 2>&1) || { echo "$out"; return 1; }
  [[ -z $out ]] || { echo "$out"; return 1; }
}
same() { [[ $1 == "$2" ]] || { echo "'$1' is not '$2'"; return 1; }; }

for package in "$deb" "$gui_deb" "$arm_deb" "$zip"; do
  [[ -f $package ]] || { echo "no $(basename "$package") in dist/: run scripts/package.sh" >&2; exit 1; }
done
# The core package alone first, as on a machine without a display; the GUI
# package goes beside it further down.
root=$work/root
gui_root=$work/gui
arm_root=$work/arm64
dpkg-deb -x "$deb" "$root"
dpkg-deb -x "$gui_deb" "$gui_root"
dpkg-deb -x "$arm_deb" "$arm_root"

echo "== $(basename "$deb"), $(basename "$gui_deb"), $(basename "$arm_deb")"
check "icons drawn from the current maps" python3 "$here/resources/make_icon.py" --check
# Every place that names the version takes the one from CMake.
for package in "$deb" "$gui_deb" "$arm_deb"; do
  check "$(basename "$package"): package version" same "$(dpkg-deb -f "$package" Version)" "$version"
done
check "changelog's newest entry" same "$(dpkg-parsechangelog -l "$here/packaging/linux/changelog" -S Version)" "$version"
check "metainfo's newest release" same \
  "$(grep -o -m1 '<release version="[^"]*"' "$gui_root/usr/share/metainfo/$id.metainfo.xml" | cut -d'"' -f2)" "$version"
check "manual page footer" grep -q "Tessivo $version" <(zcat "$root/usr/share/man/man1/tessivo.1.gz")

# What goes where: the console program and what a headless box needs in
# tessivo, for both architectures; the dialog and the desktop's files in
# tessivo-gui.
core_files="usr/bin/tessivo
usr/bin/tessivo-modemsim
usr/lib/systemd/system/tessivo-unlock@.service
usr/share/doc/tessivo/README.md
usr/share/doc/tessivo/changelog.gz
usr/share/doc/tessivo/copyright
usr/share/doc/tessivo/docs/architecture.md
usr/share/doc/tessivo/docs/hostile-devices.md
usr/share/doc/tessivo/docs/linux-ports.md
usr/share/doc/tessivo/docs/linux-terminal.md
usr/share/doc/tessivo/docs/modemmanager.md
usr/share/doc/tessivo/docs/packages.md
usr/share/doc/tessivo/docs/sim-forms.md
usr/share/doc/tessivo/docs/tests.md
usr/share/doc/tessivo/docs/unlock-at-boot.md
usr/share/doc/tessivo/docs/virtual-modem.md
usr/share/doc/tessivo/docs/windows.md
usr/share/doc/tessivo/examples/60-tessivo-unlock.rules
usr/share/man/man1/tessivo-modemsim.1.gz
usr/share/man/man1/tessivo.1.gz"
gui_files="usr/bin/tessivo-dialog
usr/share/applications/$id.desktop
usr/share/doc/tessivo-gui/changelog.gz
usr/share/doc/tessivo-gui/copyright
usr/share/icons/hicolor/16x16/apps/$id.png
usr/share/icons/hicolor/256x256/apps/$id.png
usr/share/icons/hicolor/32x32/apps/$id.png
usr/share/icons/hicolor/48x48/apps/$id.png
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/man/man1/tessivo-dialog.1.gz
usr/share/metainfo/$id.metainfo.xml"
files_in() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }
check "files in tessivo (amd64)" same "$(files_in "$root")" "$core_files"
check "files in tessivo (arm64)" same "$(files_in "$arm_root")" "$core_files"
check "files in tessivo-gui" same "$(files_in "$gui_root")" "$gui_files"
icon_sizes() {
  local size
  for size in 16 32 48 256; do
    file "$gui_root/usr/share/icons/hicolor/${size}x$size/apps/$id.png" | grep -q "PNG image data, $size x $size" ||
      { echo "${size}x$size holds: $(file -b "$gui_root/usr/share/icons/hicolor/${size}x$size/apps/$id.png")"; return 1; }
  done
}
check "icon sizes match their folders" icon_sizes

# The core package must install on a box without a display: nothing of Qt,
# X or OpenGL among its dependencies, and none among its program's libraries.
headless_depends() { # headless_depends DEB ARCH
  local depends
  depends=$(dpkg-deb -f "$1" Depends)
  same "$(dpkg-deb -f "$1" Architecture)" "$2" || return 1
  grep -q 'libc6' <<<"$depends" || { echo "not computed: '$depends'"; return 1; }
  ! tr ',' '\n' <<<"$depends" | sed 's/^ *//' | grep -E '^(libqt6|libx|libgl|libegl)'
}
check "tessivo (amd64) depends on no Qt, X or GL library" headless_depends "$deb" amd64
check "tessivo (arm64) depends on no Qt, X or GL library" headless_depends "$arm_deb" arm64
gui_depends() {
  local depends
  depends=$(dpkg-deb -f "$gui_deb" Depends)
  if ! grep -qF "tessivo (= $version)" <<<"$depends" || ! grep -q 'libqt6widgets6' <<<"$depends"; then
    echo "$depends"
    return 1
  fi
}
check "tessivo-gui depends on tessivo (= $version) and Qt" gui_depends
no_gui_libraries() { # no_gui_libraries LISTING: ldd's or readelf's list of libraries
  ! grep -iE 'libqt|libx11|libxcb|libgl|libegl|libwayland' <<<"$1"
}
check "tessivo (arm64) needs no Qt, X or GL library" no_gui_libraries \
  "$(readelf -d "$arm_root/usr/bin/tessivo" | grep NEEDED)"
check "desktop entry starts tessivo-dialog" grep -qx 'Exec=tessivo-dialog' "$gui_root/usr/share/applications/$id.desktop"
check "desktop-file-validate" no_output desktop-file-validate "$gui_root/usr/share/applications/$id.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$gui_root/usr/share/metainfo/$id.metainfo.xml"
man_warnings() { # groff's warnings, on stderr, are the failure
  local warnings
  warnings=$(MANWIDTH=80 man --warnings=all -l "$1" 2>&1 >/dev/null)
  [[ -z $warnings ]] || { echo "$warnings"; return 1; }
}
for page in "$root"/usr/share/man/man1/tessivo.1.gz "$root"/usr/share/man/man1/tessivo-modemsim.1.gz \
  "$gui_root"/usr/share/man/man1/tessivo-dialog.1.gz; do
  check "man $(basename "$page" .1.gz), warnings as errors" man_warnings "$page"
done
# A new option of the virtual modem must be documented in its manual page.
undocumented_options() {
  local options missing=() option
  options=$("$root/usr/bin/tessivo-modemsim" --help | grep -o -- '^ *--[a-z-]*' | tr -d ' ')
  [[ -n $options ]] || { echo "no options in --help"; return 1; }
  MANWIDTH=200 man -l "$root/usr/share/man/man1/tessivo-modemsim.1.gz" 2>/dev/null >"$work/page"
  for option in $options; do
    grep -qE -- "^ +$option( |$)" "$work/page" || missing+=("$option")
  done
  [[ ${#missing[@]} -eq 0 ]] || { echo "not in tessivo-modemsim.1: ${missing[*]}"; return 1; }
}
check "every option of tessivo-modemsim --help in its page" undocumented_options
lintian_errors() {
  lintian --fail-on error "$1" 2>&1 |
    grep -v 'running with root privileges'
  return "${PIPESTATUS[0]}"
}
for package in "$deb" "$gui_deb" "$arm_deb"; do
  check "lintian $(basename "$package"): no errors" lintian_errors "$package"
  lintian --display-info "$package" 2>/dev/null | sed 's/^/      lintian: /'
done
no_lintian_hardening() {
  ! lintian --display-info "$1" 2>/dev/null | grep -E 'hardening-|binary-has-unneeded-section'
}
for package in "$deb" "$gui_deb" "$arm_deb"; do
  check "lintian $(basename "$package"): no hardening or unneeded-section hints" \
    no_lintian_hardening "$package"
done
# The build flags Debian packages get (dpkg-buildflags, hardening=+all), as
# they show in the programs themselves (readelf reads both architectures).
hardened() {
  # (grep reads to the end: with pipefail, grep -q's early exit would fail
  # the pipe)
  local program=$1 status=0
  readelf -hW "$program" | grep 'Type: *DYN' >/dev/null || { echo "not position-independent"; status=1; }
  readelf -dW "$program" | grep -E '\(FLAGS_1\).*\bNOW\b' >/dev/null || { echo "not bound now (-z now)"; status=1; }
  readelf -lW "$program" | grep 'GNU_RELRO' >/dev/null || { echo "no read-only relocations (-z relro)"; status=1; }
  readelf --dyn-syms -W "$program" | grep ' UND __stack_chk_fail' >/dev/null || { echo "no stack protector"; status=1; }
  ! readelf -SW "$program" | grep -E ' \.comment | \.note ' >/dev/null || { echo "compiler notes left in"; status=1; }
  return $status
}
# __*_chk: a libc call whose size _FORTIFY_SOURCE checks at run time.
fortified() { readelf --dyn-syms -W "$1" | grep -E ' UND __[a-z0-9_]+_chk@'; }
for program in "$root/usr/bin/tessivo" "$root/usr/bin/tessivo-modemsim" "$gui_root/usr/bin/tessivo-dialog" \
  "$arm_root/usr/bin/tessivo" "$arm_root/usr/bin/tessivo-modemsim"; do
  check "${program#"$work"/}: PIE, bind-now, RELRO, stack protector, stripped notes" hardened "$program"
  check "${program#"$work"/}: fortified libc calls" fortified "$program"
done

# The installed programs, as a user runs them: the core package alone, then
# the GUI package beside it.
if [[ ${CI:-} == true && $(id -u) -eq 0 ]]; then
  bin=/usr/bin
  installed=1
  check "apt-get install ./$(basename "$deb") alone" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y "$deb"
else
  bin=$root/usr/bin
fi
# unlock PIN STATUS PROGRAM...: the console form against the virtual modem
# $sim (PIN 1234) ends with STATUS and put AT+CPIN=PIN on the wire; PROGRAM
# may begin with a runner (qemu for arm64).
sim=$bin/tessivo-modemsim
unlock() {
  local pin=$1 expected=$2 ports=$work/ports status=0
  shift 2
  rm -rf "$ports" && mkdir -p "$ports"
  "$sim" --link "$ports/com1" --pin 1234 --transcript "$work/wire" \
    </dev/null >"$work/modem.log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 200); do [[ -e $ports/com1 ]] && break; sleep 0.05; done
  env -u DISPLAY -u WAYLAND_DISPLAY TESSIVO_PORT_DIR="$ports" "$@" COM1 "$pin" </dev/null || status=$?
  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null
  sim_pid=
  cat "$work/modem.log"
  [[ $status -eq $expected ]] || { echo "exit status $status, not $expected"; return 1; }
  grep -qF "AT+CPIN=$pin" "$work/wire" || { echo "AT+CPIN=$pin not on the wire"; return 1; }
}
check "$bin/tessivo COM1 1234 unlocks $bin/tessivo-modemsim" unlock 1234 0 "$bin/tessivo"
# wait_unlock PROGRAM...: --wait 10 against a virtual modem that stays mute
# for its first 2 s ends with 0 and put exactly one AT+CPIN= on the wire.
wait_unlock() {
  local ports=$work/ports status=0 sent
  rm -rf "$ports" "$work/wire" && mkdir -p "$ports"  # the transcript grows run by run
  "$sim" --link "$ports/com1" --pin 1234 --mute-at-start 2000 --transcript "$work/wire" \
    </dev/null >"$work/modem.log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 200); do [[ -e $ports/com1 ]] && break; sleep 0.05; done
  env -u DISPLAY -u WAYLAND_DISPLAY TESSIVO_PORT_DIR="$ports" "$@" --wait 10 COM1 1234 </dev/null ||
    status=$?
  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null
  sim_pid=
  cat "$work/modem.log"
  [[ $status -eq 0 ]] || { echo "exit status $status, not 0"; return 1; }
  # The transcript holds what came in piece by piece: join it first.
  sent=$(sed -n 's/^[^ ]* IN //p' "$work/wire" | tr -d '\n' | grep -o 'AT+CPIN=' | wc -l)
  [[ $sent -eq 1 ]] || { echo "AT+CPIN= $sent times on the wire, not once"; return 1; }
}
# Installed: the unit as systemd finds it, its manual page included;
# unpacked: the unit with the unpacked program in its ExecStart line.
if [[ -n $installed ]]; then
  check "tessivo-unlock@.service: verify, and its ExecStart unlocks" "$here/tests/systemd/unit_test.sh" \
    /usr/lib/systemd/system/tessivo-unlock@.service - "$bin/tessivo-modemsim"
else
  check "tessivo-unlock@.service: verify, and its ExecStart unlocks" "$here/tests/systemd/unit_test.sh" \
    "$root/usr/lib/systemd/system/tessivo-unlock@.service" "$bin/tessivo" "$bin/tessivo-modemsim"
fi
check "$bin/tessivo --version" same "$("$bin/tessivo" --version </dev/null 2>&1)" "tessivo $version"
check "$bin/tessivo --help points to the manual page" grep -q 'man tessivo' <<<"$("$bin/tessivo" --help </dev/null 2>&1)"
check "ldd $bin/tessivo lists no Qt, X or GL library" no_gui_libraries "$(ldd "$bin/tessivo" 2>&1)"
# A dialog start where a display answers (the offscreen platform needs
# none): without tessivo-gui the usage text, the package to install, and 2;
# with it the dialog, still open when the time is up.
dialog_start() { # dialog_start STATUS
  local status=0 ports=$work/dialog-ports
  mkdir -p "$ports"
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen TESSIVO_PORT_DIR="$ports" \
    timeout 4 "$bin/tessivo" </dev/null >"$work/dialog.out" 2>"$work/dialog.err" || status=$?
  cat "$work/dialog.out" "$work/dialog.err"
  [[ $status -eq $1 ]] || { echo "exit status $status, not $1"; return 1; }
  [[ ! -s $work/dialog.out ]] || return 1
  if [[ $1 -eq 2 ]]; then
    head -1 "$work/dialog.err" | grep -q '^Aufruf: tessivo PORT PIN' &&
      tail -1 "$work/dialog.err" | grep -q 'Paket tessivo-gui (sudo apt install tessivo-gui)'
  else
    [[ ! -s $work/dialog.err ]]
  fi
}
check "dialog start without tessivo-gui: usage, package hint, 2" dialog_start 2
if [[ -n $installed ]]; then
  check "apt-get install ./$(basename "$gui_deb") beside it" \
    env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y "$gui_deb"
else
  dpkg-deb -x "$gui_deb" "$root"
fi
check "dialog start with tessivo-gui: the dialog opens" dialog_start 124
if [[ -n $installed ]]; then
  check "apt-get purge tessivo-gui tessivo" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 purge -y tessivo-gui tessivo
  installed=
  check "nothing left in /usr/bin" \
    test ! -e /usr/bin/tessivo -a ! -e /usr/bin/tessivo-modemsim -a ! -e /usr/bin/tessivo-dialog
fi

# The arm64 program under qemu's user emulation (no binfmt needed) against
# the amd64 virtual modem on a real pseudo-terminal. Its libraries come from
# the cross toolchain and the arm64 multiarch packages (scripts/setup.sh).
# (The unpacked amd64 virtual modem: the installed one may be purged by now.)
# qemu-aarch64-static is qemu-user-static's name on Debian 12; on 13
# qemu-user's own qemu-aarch64 is the static one.
qemu=$(command -v qemu-aarch64-static || command -v qemu-aarch64 || true)
sim=$root/usr/bin/tessivo-modemsim
if [[ -n $qemu ]]; then
  arm=("$qemu" -L /usr/aarch64-linux-gnu "$arm_root/usr/bin/tessivo")
  check "arm64 tessivo --version under qemu" same "$("${arm[@]}" --version </dev/null 2>&1)" "tessivo $version"
  check "arm64 tessivo COM1 1234 under qemu: 0" unlock 1234 0 "${arm[@]}"
  check "arm64 tessivo COM1 9999 under qemu: 1" unlock 9999 1 "${arm[@]}"
  check "arm64 tessivo --wait 10 COM1 1234 under qemu, modem mute for 2 s: 0, PIN sent once" \
    wait_unlock "${arm[@]}"
elif [[ ${CI:-} == true ]]; then
  no_qemu() { echo "no qemu-aarch64(-static) (scripts/setup.sh installs qemu-user-static or qemu-user)"; return 1; }
  check "arm64 tessivo under qemu" no_qemu
else
  echo "skip  arm64 tessivo under qemu: no qemu-aarch64(-static) (scripts/setup.sh installs it)"
  skipped=$((skipped + 1))
fi

echo "== $(basename "$zip")"
check "files in the zip" same "$(unzip -Z1 "$zip" | LC_ALL=C sort)" "$(printf 'LIESMICH.txt\nTessivo.exe')"
unzip -q "$zip" -d "$work/zip"
exe=$work/zip/Tessivo.exe
no_debug_sections() {
  ! x86_64-w64-mingw32-objdump -h "$exe" | grep -E '\.debug|\.stab'
}
check "Tessivo.exe has no debug sections" no_debug_sections
no_symbols() {
  local out
  out=$(x86_64-w64-mingw32-nm "$exe" 2>&1)
  [[ $out == *"no symbols"* ]] || { echo "$out" | head; return 1; }
}
check "Tessivo.exe has no symbols" no_symbols
system_dlls_only() {
  local dll status=0
  for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p'); do
    case ${dll,,} in
      kernel32.dll | user32.dll | gdi32.dll | shell32.dll | advapi32.dll | msvcrt.dll | comctl32.dll) ;;
      *) echo "imports $dll" && status=1 ;;
    esac
  done
  return $status
}
check "Tessivo.exe imports only Windows system DLLs" system_dlls_only
# One small file to copy anywhere: a library piece that slips in unnoticed
# (a wide string, a stream, the library's exceptions) costs tens of KB.
under_200_kb() {
  local size
  size=$(stat -c %s "$exe")
  ((size < 204800)) || { echo "$size bytes, limit 204800"; return 1; }
}
check "Tessivo.exe under 200 KB" under_200_kb
echo "      Tessivo.exe: $(stat -c %s "$exe") bytes"
readme_windows_text() {
  # Windows-1252 ("ü" is one byte, 0xFC) and CR LF on every line.
  grep -q $'pr\xfcft' "$work/zip/LIESMICH.txt" || { echo "no Windows-1252 ü in 'prüft'"; return 1; }
  ! grep -q -v $'\r$' "$work/zip/LIESMICH.txt" || { echo "a line without CR LF"; return 1; }
  grep -q "^Tessivo $version " "$work/zip/LIESMICH.txt"
}
check "LIESMICH.txt in Windows-1252 with CR LF" readme_windows_text
if "$here/tests/win32/wine_prefix.sh" setup "$work/wine" >"$work/wine.log" 2>&1; then
  for case in right_pin wrong_pin_verbose; do
    check "Tessivo.exe from the zip under Wine: $case" "$here/tests/win32/console_case.sh" "$work/wine" \
      "$root/usr/bin/tessivo-modemsim" "$exe" "$here/tests/win32/console_cases.txt" "$case"
  done
else
  wine_setup_failed() { cat "$work/wine.log"; return 1; }
  check "Wine prefix for Tessivo.exe" wine_setup_failed
fi

# The packages built here on Debian 12, as a Debian 13 user gets them: in a
# fresh minimal Debian 13 tree (one per run, made here, removed with $work)
# the core package installs with apt and unlocks the package's own virtual
# modem; the GUI package and the arm64 core package resolve there. The .debs
# apt fetched for the tree are kept in build/ for the next run.
echo "== Debian 13 (trixie): $(basename "$deb") installed into a fresh minimal tree"
trixie=$work/trixie
trixie_debs=$here/build/trixie-debs
# shellcheck disable=SC2016 # (the quoted scripts expand inside)
in_trixie() { # in_trixie COMMAND...: as root in the tree, with /proc and the host's ptys
  unshare --mount --propagation private sh -c '
    tree=$1
    shift
    mount -t proc proc "$tree/proc" && mount --bind /dev/pts "$tree/dev/pts" &&
      exec chroot "$tree" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"' sh "$trixie" "$@"
}
# shellcheck disable=SC2016
make_trixie() {
  # minbase, no translations; arm64 beside amd64 for the arm64 package's
  # dependencies. The cached .debs go in first and stay (essential/unlink,
  # cleanup/apt skipped), so that only what is new is fetched.
  mkdir -p "$trixie_debs"
  mmdebstrap --quiet --variant=minbase --architectures=amd64,arm64 \
    --aptopt='Acquire::Languages "none"' --skip=essential/unlink,cleanup/apt \
    --setup-hook='mkdir -p "$1/var/cache/apt/archives"' \
    --setup-hook="sync-in $trixie_debs /var/cache/apt/archives/" trixie "$trixie" &&
    cp "$deb" "$gui_deb" "$arm_deb" "$trixie/tmp/"
}
# unlock_in_trixie: tessivo COM1 1234 against tessivo-modemsim, both the
# installed package's, ends with 0 and put AT+CPIN=1234 on the wire.
# shellcheck disable=SC2016
unlock_in_trixie() {
  in_trixie sh -c '
    mkdir -p /tmp/ports
    tessivo-modemsim --link /tmp/ports/com1 --pin 1234 --transcript /tmp/wire </dev/null >/tmp/modem.log 2>&1 &
    sim=$!
    for _ in $(seq 200); do [ -e /tmp/ports/com1 ] && break; sleep 0.05; done
    status=0
    TESSIVO_PORT_DIR=/tmp/ports tessivo COM1 1234 </dev/null || status=$?
    kill $sim
    wait $sim 2>/dev/null
    cat /tmp/modem.log
    [ $status -eq 0 ] || { echo "exit status $status, not 0"; exit 1; }
    grep -qF "AT+CPIN=1234" /tmp/wire || { echo "AT+CPIN=1234 not on the wire"; exit 1; }'
}
trixie_missing=
[[ $(id -u) -eq 0 ]] || trixie_missing="it needs root (mmdebstrap, chroot)"
command -v mmdebstrap >/dev/null || trixie_missing="no mmdebstrap (scripts/setup.sh installs it)"
if [[ -n $trixie_missing && ${CI:-} != true ]]; then
  echo "skip  Debian 13 tree: $trixie_missing"
  skipped=$((skipped + 1))
elif [[ -n $trixie_missing ]]; then
  no_trixie() { echo "$trixie_missing"; return 1; }
  check "Debian 13 tree" no_trixie
else
  trixie_started=$SECONDS
  check "Debian 13: mmdebstrap --variant=minbase trixie (amd64, arm64)" make_trixie
  trixie_made=$((SECONDS - trixie_started))
  if [[ -d $trixie/tmp && -f $trixie/tmp/$(basename "$deb") ]]; then
    check "Debian 13: apt-get install --simulate ./$(basename "$arm_deb")" \
      in_trixie apt-get install --simulate "/tmp/$(basename "$arm_deb")"
    check "Debian 13: apt-get install ./$(basename "$deb")" in_trixie apt-get install -y "/tmp/$(basename "$deb")"
    check "Debian 13: tessivo COM1 1234 unlocks the installed tessivo-modemsim" unlock_in_trixie
    check "Debian 13: apt-get install --simulate ./$(basename "$gui_deb") beside it" \
      in_trixie apt-get install --simulate "/tmp/$(basename "$gui_deb")"
    # What apt fetched, kept for the next run (only this run's, so that old
    # versions do not pile up).
    rm -rf "$trixie_debs.new" && mkdir -p "$trixie_debs.new" &&
      find "$trixie/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec cp {} "$trixie_debs.new/" \; &&
      rm -rf "$trixie_debs" && mv "$trixie_debs.new" "$trixie_debs"
  fi
  echo "      Debian 13 tree: $((SECONDS - trixie_started)) s in all, $trixie_made s to make it"
fi

echo "$passed passed, $failed failed, $skipped skipped"
[[ $failed -eq 0 ]]
