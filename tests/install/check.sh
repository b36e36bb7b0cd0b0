#!/usr/bin/env bash
# The installed programs on their own: `cmake --install` into a temporary prefix, the files
# where they belong, the user unit accepted by systemd-analyze, and a demo HotSync (in
# process and over the network) run from the installed programs only, with the build
# folder neither in PATH nor in LUMORA_LIBRARY_PATH. With --deb also the Debian package:
# cpack, its contents, lintian (no errors), and the same HotSyncs from the package's files
# unpacked by dpkg into a throw-away root.
# Usage: tests/install/check.sh BUILD_DIR [--deb]
set -euo pipefail
build=$(cd "$1" && pwd)
deb=0
[ "${2:-}" = "--deb" ] && deb=1
# shellcheck source=../support/e2e_common.sh
source "$(dirname "$0")/../support/e2e_common.sh"
step() { echo "== $* ($SECONDS s)"; }

# The installed files every prefix gets (udev rules only once the source has them).
expect_files() {  # prefix libdir
  local f
  for f in bin/lumora-hotsync bin/lumora-handheld bin/lumora-bitmap bin/lumora-font \
    "$2/liblumsync.so" "$2/liblumprep.so" "$2/libhotsync.so" \
    lib/systemd/user/lumora-hotsync.service \
    share/bash-completion/completions/lumora-hotsync; do
    [ -e "$1/$f" ] || fail "$f is not installed under $1"
  done
  for f in lumora-hotsync lumora-handheld lumora-bitmap lumora-font; do
    [ -e "$1/share/man/man1/$f.1.gz" ] || fail "no manual page for $f under $1"
    [ -e "$1/share/bash-completion/completions/$f" ] || fail "no completion for $f under $1"
  done
  [ -e "$1/share/lumora/samples/handheld/Meadow.pdb" ] || fail "no sample handheld under $1"
  if ls "$(dirname "$0")"/../../packaging/udev/*.rules > /dev/null 2>&1; then
    ls "$1"/lib/udev/rules.d/*.rules > /dev/null 2>&1 || fail "no udev rules under $1"
  fi
}

# A sync of type 0 in process and one over the network, with nothing of the build in reach.
demo() {  # bin_dir samples_dir label
  local bin=$1 samples=$2 label=$3 home=$work/home-$3 program
  # Every program starts: it finds the libraries it links against.
  for program in lumora-hotsync lumora-handheld lumora-bitmap lumora-font; do
    env -i PATH=/usr/bin:/bin "$bin/$program" --version | grep -qx "$program [0-9.]*" ||
      fail "$label: $program --version"
  done
  mkdir -p "$home/windows"
  cp -r "$samples/handheld" "$home/handheld"
  cp -r "$samples/handheld" "$home/handheld2"
  cp -r "$samples/sync" "$home/sync"
  printf '[Lumdex]\r\nSyncDir=%s\r\n' "$home/sync" > "$home/windows/Lumdex.ini"
  run() {
    env -i PATH=/usr/bin:/bin HOME="$home" LUMORA_WINDOWS_DIR="$home/windows" \
      LUMORA_DRIVE_C="$home/c" "$@"
  }
  run "$bin/lumora-hotsync" register > "$home/out" 2>&1 || fail "$label: register: $(cat "$home/out")"
  run "$bin/lumora-hotsync" sync --handheld "$home/handheld" --user Demo --sync-type 0 \
    > "$home/out" 2>&1 || fail "$label: sync: $(cat "$home/out")"
  grep -qF "completed successfully" "$home/out" || fail "$label: sync did not complete: $(cat "$home/out")"
  [ -e "$home/sync/Meadow.bmp" ] && [ -e "$home/handheld/Tiles.pdb" ] ||
    fail "$label: pictures did not move: $(ls "$home/sync" "$home/handheld")"

  run "$bin/lumora-hotsync" serve --listen 127.0.0.1:0 --once --sync-type 0 > "$home/serve.out" 2>&1 &
  server=$!
  wait_for_line "$home/serve.out" '^listening on ' || true
  local address
  address=$(sed -n 's/^listening on //p' "$home/serve.out")
  [ -n "$address" ] || fail "$label: serve did not start: $(cat "$home/serve.out")"
  run timeout 60 "$bin/lumora-handheld" connect "$address" --folder "$home/handheld2" --user Demo \
    > "$home/handheld.out" 2>&1 || fail "$label: lumora-handheld: $(cat "$home/handheld.out")"
  wait "$server" || fail "$label: serve --once failed: $(cat "$home/serve.out")"
  server=
  grep -q '^HotSync of Demo complete' "$home/serve.out" || fail "$label: $(cat "$home/serve.out")"
  # The line-buffered output holds no terminal control codes.
  ! grep -q $'\e' "$home/serve.out" || fail "$label: control codes in serve's output"
}

# Nothing of the installed programs may point back into the build folder.
no_build_paths() {  # file...
  local f
  for f in "$@"; do
    ! readelf -d "$f" | grep -E 'R(UN)?PATH' | grep -qF "$build" || fail "$f searches $build"
  done
}

step "cmake --install into a temporary prefix"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.out" || fail "$(cat "$work/install.out")"
expect_files "$prefix" lib
no_build_paths "$prefix"/bin/* "$prefix"/lib/*.so
grep -qx "ExecStart=$prefix/bin/lumora-hotsync serve \$LUMORA_SERVE_ARGS" \
  "$prefix/lib/systemd/user/lumora-hotsync.service" || fail "the unit's ExecStart"
zcat "$prefix/share/man/man1/lumora-hotsync.1.gz" | grep '^\.TH LUMORA-HOTSYNC' > /dev/null || fail "man page"

step "systemd-analyze verify of the user unit"
if command -v systemd-analyze > /dev/null; then
  # The manual page is not where man looks: that check is left out.
  systemd-analyze verify --man=no "$prefix/lib/systemd/user/lumora-hotsync.service" > "$work/verify.out" 2>&1 ||
    fail "systemd-analyze verify: $(cat "$work/verify.out")"
else
  echo "systemd-analyze is missing: the unit is not verified"
fi

step "a demo HotSync from the installed programs"
demo "$prefix/bin" "$prefix/share/lumora/samples" installed

[ "$deb" = 1 ] || exit 0

step "cpack -G DEB"
(cd "$build" && cpack -G DEB > "$work/cpack.out" 2>&1) || fail "cpack: $(cat "$work/cpack.out")"
package=$(ls -t "$build"/lumora-desktop_*.deb 2>/dev/null | head -1)
[ -n "$package" ] || fail "no package: $(cat "$work/cpack.out")"
echo "$package"

step "dpkg-deb --contents"
dpkg-deb --contents "$package" | tee "$work/contents" | awk '{print $6, $7, $8}'
! awk '{print $6}' "$work/contents" | grep -v '^\./usr/' | grep -v '^\./$' ||
  fail "files outside /usr"
for f in ./usr/lib/systemd/user/lumora-hotsync.service ./usr/share/doc/lumora-desktop/copyright \
  ./usr/share/doc/lumora-desktop/changelog.Debian.gz ./usr/share/man/man1/lumora-hotsync.1.gz; do
  grep -qF " $f" "$work/contents" || fail "the package lacks $f"
done
dpkg-deb --field "$package" Depends | grep -q 'libc6' || fail "no dependencies from shlibdeps"

step "lintian"
if command -v lintian > /dev/null; then
  lintian "$package" > "$work/lintian.out" 2>&1 || true
  cat "$work/lintian.out"
  ! grep -q '^E: ' "$work/lintian.out" || fail "lintian reports errors"
else
  echo "lintian is missing: the package is not checked"
fi

step "dpkg --root: the package unpacked into a throw-away root, then a demo HotSync from it"
# Unpacked, not configured: configuring would run ldconfig inside the root, which has no
# shell or C library of its own. Dependencies are the machine's.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg --root="$root" --force-not-root --force-depends --log=/dev/null --unpack "$package" \
  > "$work/dpkg.out" 2>&1 || fail "dpkg --unpack: $(cat "$work/dpkg.out")"
dpkg --root="$root" -L lumora-desktop | grep -x /usr/bin/lumora-hotsync > /dev/null || fail "dpkg -L"
expect_files "$root/usr" lib
grep -qx 'ExecStart=/usr/bin/lumora-hotsync serve $LUMORA_SERVE_ARGS' \
  "$root/usr/lib/systemd/user/lumora-hotsync.service" || fail "the packaged unit's ExecStart"
no_build_paths "$root"/usr/bin/* "$root"/usr/lib/*.so
demo "$root/usr/bin" "$root/usr/share/lumora/samples" package
echo "install checks passed ($SECONDS s)"
