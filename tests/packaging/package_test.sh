#!/usr/bin/env bash
# Checks the packages in dist/ as a user gets them: the .deb's contents and
# metadata with the tools Debian checks them with, the installed programs
# unlocking the virtual modem, and the zip's Tessivo.exe under Wine.
# In CI (CI=true, root, a throw-away machine) the .deb is installed for real
# with apt-get, so its dependencies are resolved, and removed afterwards;
# elsewhere it is unpacked into a temporary folder.
#   tests/packaging/package_test.sh        (after scripts/package.sh)
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
dist=$here/dist
version=$(sed -n 's/^project(Tessivo VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
deb=$dist/tessivo_${version}_amd64.deb
zip=$dist/Tessivo-${version}-win64.zip
id=test.tessivo.Tessivo

work=$(mktemp -d)
sim_pid=
installed=
cleanup() {
  if [[ -n $sim_pid ]]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  [[ -n $installed ]] && apt-get purge -y tessivo >/dev/null 2>&1
  [[ -s $work/wine/prefix ]] && "$here/tests/win32/wine_prefix.sh" cleanup "$work/wine" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
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

[[ -f $deb && -f $zip ]] || { echo "no packages of $version in dist/: run scripts/package.sh" >&2; exit 1; }
root=$work/root
dpkg-deb -x "$deb" "$root"

echo "== $(basename "$deb")"
check "icons drawn from the current maps" python3 "$here/resources/make_icon.py" --check
# Every place that names the version takes the one from CMake.
check "package version" same "$(dpkg-deb -f "$deb" Version)" "$version"
check "changelog's newest entry" same "$(dpkg-parsechangelog -l "$here/packaging/linux/changelog" -S Version)" "$version"
check "metainfo's newest release" same \
  "$(grep -o -m1 '<release version="[^"]*"' "$root/usr/share/metainfo/$id.metainfo.xml" | cut -d'"' -f2)" "$version"
check "manual page footer" grep -q "Tessivo $version" <(zcat "$root/usr/share/man/man1/tessivo.1.gz")

expected_files="lib/systemd/system/tessivo-unlock@.service
usr/bin/tessivo
usr/bin/tessivo-modemsim
usr/share/applications/$id.desktop
usr/share/doc/tessivo/README.md
usr/share/doc/tessivo/changelog.gz
usr/share/doc/tessivo/copyright
usr/share/doc/tessivo/examples/60-tessivo-unlock.rules
usr/share/icons/hicolor/16x16/apps/$id.png
usr/share/icons/hicolor/256x256/apps/$id.png
usr/share/icons/hicolor/32x32/apps/$id.png
usr/share/icons/hicolor/48x48/apps/$id.png
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/man/man1/tessivo-modemsim.1.gz
usr/share/man/man1/tessivo.1.gz
usr/share/metainfo/$id.metainfo.xml"
check "files in the package" same "$(cd "$root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)" "$expected_files"
icon_sizes() {
  local size
  for size in 16 32 48 256; do
    file "$root/usr/share/icons/hicolor/${size}x$size/apps/$id.png" | grep -q "PNG image data, $size x $size" ||
      { echo "${size}x$size holds: $(file -b "$root/usr/share/icons/hicolor/${size}x$size/apps/$id.png")"; return 1; }
  done
}
check "icon sizes match their folders" icon_sizes
check "dependencies computed" grep -q 'libqt6widgets6' <<<"$(dpkg-deb -f "$deb" Depends)"
check "desktop-file-validate" no_output desktop-file-validate "$root/usr/share/applications/$id.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
man_warnings() { # groff's warnings, on stderr, are the failure
  local warnings
  warnings=$(MANWIDTH=80 man --warnings=all -l "$1" 2>&1 >/dev/null)
  [[ -z $warnings ]] || { echo "$warnings"; return 1; }
}
for page in tessivo tessivo-modemsim; do
  check "man $page, warnings as errors" man_warnings "$root/usr/share/man/man1/$page.1.gz"
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
  lintian --fail-on error "$deb" 2>&1 |
    grep -v 'running with root privileges'
  return "${PIPESTATUS[0]}"
}
check "lintian: no errors" lintian_errors
lintian --display-info "$deb" 2>/dev/null | sed 's/^/      lintian: /'

# The installed programs, as a user runs them.
if [[ ${CI:-} == true && $(id -u) -eq 0 ]]; then
  bin=/usr/bin
  installed=1
  check "apt-get install ./$(basename "$deb")" env DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb"
else
  bin=$root/usr/bin
fi
unlock() {
  local ports=$work/ports status=0
  mkdir -p "$ports"
  "$bin/tessivo-modemsim" --link "$ports/com1" --pin 1234 </dev/null >"$work/modem.log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 200); do [[ -e $ports/com1 ]] && break; sleep 0.05; done
  env -u DISPLAY -u WAYLAND_DISPLAY TESSIVO_PORT_DIR="$ports" "$bin/tessivo" COM1 1234 </dev/null || status=$?
  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null
  sim_pid=
  cat "$work/modem.log"
  [[ $status -eq 0 ]] || { echo "exit status $status"; return 1; }
  grep -q 'PIN accepted: SIM unlocked' "$work/modem.log"
}
check "$bin/tessivo COM1 1234 unlocks $bin/tessivo-modemsim" unlock
# Installed: the unit as systemd finds it, its manual page included;
# unpacked: the unit with the unpacked program in its ExecStart line.
if [[ -n $installed ]]; then
  check "tessivo-unlock@.service: verify, and its ExecStart unlocks" "$here/tests/systemd/unit_test.sh" \
    /lib/systemd/system/tessivo-unlock@.service - "$bin/tessivo-modemsim"
else
  check "tessivo-unlock@.service: verify, and its ExecStart unlocks" "$here/tests/systemd/unit_test.sh" \
    "$root/lib/systemd/system/tessivo-unlock@.service" "$bin/tessivo" "$bin/tessivo-modemsim"
fi
check "$bin/tessivo --version" same "$("$bin/tessivo" --version </dev/null 2>&1)" "tessivo $version"
check "$bin/tessivo --help points to the manual page" grep -q 'man tessivo' <<<"$("$bin/tessivo" --help </dev/null 2>&1)"
if [[ -n $installed ]]; then
  check "apt-get purge tessivo" env DEBIAN_FRONTEND=noninteractive apt-get purge -y tessivo
  installed=
  check "nothing left in /usr/bin" test ! -e /usr/bin/tessivo -a ! -e /usr/bin/tessivo-modemsim
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

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
