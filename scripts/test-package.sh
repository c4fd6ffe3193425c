#!/usr/bin/env bash
# Builds the Debian package in Release, installs it on this machine, checks the installed files,
# starts the installed program until its main window is drawn, removes the package and checks that
# it left nothing behind. Needs root or sudo; an installed brightowl package is replaced and removed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
# shellcheck disable=SC2086
install_packages $BRIGHTOWL_BUILD_PACKAGES dpkg-dev desktop-file-utils appstream

fail() {
    echo "test-package: $*" >&2
    exit 1
}

# The same build folder and options as scripts/run.sh, so that either reuses the other's build.
build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRIGHTOWL_WERROR=OFF -DBRIGHTOWL_TESTS=OFF -DBRIGHTOWL_BENCH=OFF
rm -f "$build"/brightowl_*.deb
cmake --build "$build" -j "$(nproc)" --target package
debs=("$build"/brightowl_*.deb)
{ [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ]; } || fail "expected one package in $build, found: ${debs[*]}"
deb="$PWD/${debs[0]}"
echo "Package: $deb"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libqt6gui6 libqt6core6 libjpeg62-turbo libv4lconvert0; do
    [[ $depends == *"$library"* ]] || fail "the package does not depend on $library"
done

apt_get() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 "$@"
}
installed() {
    dpkg-query -W -f='${Status}' brightowl 2>/dev/null | grep -q 'install ok installed'
}
scratch=$(mktemp -d)
program_pid=""
cleanup() {
    if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
    if installed; then apt_get remove -y brightowl >/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT

if installed; then apt_get remove -y brightowl; fi
apt_get install -y "$deb"
installed || fail "the package did not install"

files=(
    /usr/bin/brightowl
    /usr/bin/brightowl-launch
    /usr/share/brightowl/www/404.html
    /usr/share/brightowl/www/view.html
    /usr/share/brightowl/readme.pdf
    /usr/share/icons/hicolor/16x16/apps/brightowl.png
    /usr/share/icons/hicolor/32x32/apps/brightowl.png
    /usr/share/icons/hicolor/scalable/apps/brightowl.svg
    /usr/share/applications/com.quillmoor.brightowl.desktop
    /usr/share/metainfo/com.quillmoor.brightowl.metainfo.xml
    /usr/share/doc/brightowl/README.md
)
for file in "${files[@]}"; do
    [ -f "$file" ] || fail "$file is missing"
done
{ [ -x /usr/bin/brightowl ] && [ -x /usr/bin/brightowl-launch ]; } || fail "the program or its launcher is not executable"
[ ! -e /usr/share/brightowl/www/index.html ] || fail "the package ships a www/index.html"
if ldd /usr/bin/brightowl | grep -q 'not found'; then
    ldd /usr/bin/brightowl
    fail "the installed program misses libraries"
fi
# Every file the package lists is there, and nothing outside /usr.
packaged=$(dpkg -L brightowl)
while IFS= read -r path; do
    [ -e "$path" ] || fail "$path is listed but missing"
    [[ $path == /. || $path == /usr || $path == /usr/* ]] || fail "$path lies outside /usr"
done <<<"$packaged"

desktop-file-validate /usr/share/applications/com.quillmoor.brightowl.desktop
appstreamcli validate --no-net /usr/share/metainfo/com.quillmoor.brightowl.metainfo.xml
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/com.quillmoor.brightowl.desktop)
[ "$exec_line" = brightowl-launch ] || fail "the desktop entry runs '$exec_line', not the launcher"

# The installed program as a user starts it from the menu, in a home of its own. A settings key
# that is already there, with the first-run mark cleared, lets the program go straight to its
# main window instead of the modal setup wizard.
mkdir -p "$scratch/home" "$scratch/config/Quillmoor/Brightowl/Version 1.2"
printf '\0\0\0\0' >"$scratch/config/Quillmoor/Brightowl/Version 1.2/frun"
log="$scratch/program.log"
# Qt's painting log names the main window once its contents are drawn: the window exists and shows.
env -i PATH=/usr/bin:/bin HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" \
    XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch" QT_QPA_PLATFORM=offscreen \
    QT_LOGGING_RULES="qt.widgets.painting=true" "$exec_line" >"$log" 2>&1 &
program_pid=$!
shown=""
for _ in $(seq 1 60); do
    if grep -q '^qt.widgets.painting: Flushing .* of brightowl::MainWindow(' "$log"; then
        shown=yes
        break
    fi
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.5
done
if [ -z "$shown" ]; then
    grep -v '^qt.widgets.painting' "$log" | tail -20 >&2
    fail "the installed program showed no main window"
fi
sleep 1
kill -0 "$program_pid" 2>/dev/null || fail "the installed program ended after showing its window"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=""
work="$scratch/data/brightowl"
for file in www/404.html www/view.html readme.pdf; do
    [ -f "$work/$file" ] || fail "the launcher did not put $file into $work"
done
echo "The installed program showed its main window in $work"

apt_get remove -y brightowl
! installed || fail "the package is still installed"
while IFS= read -r path; do
    # Shared folders (/usr, /usr/share, ...) stay; every file and folder of the package's own goes.
    if [ -f "$path" ] || [ -L "$path" ]; then fail "$path is still there"; fi
done <<<"$packaged"
for folder in /usr/share/brightowl /usr/share/doc/brightowl; do
    [ ! -e "$folder" ] || fail "$folder is still there"
done
[ -f "$work/www/view.html" ] || fail "removing the package removed the user's working folder"
echo "The package installs, runs and removes cleanly"
