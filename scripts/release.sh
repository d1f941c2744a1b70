#!/usr/bin/env bash
# Makes every artefact of the version in CMakeLists.txt from a clean tree,
# each named with that version, in OUT_DIR (default build-release/VERSION):
#
#   tamselexport-VERSION.tar.gz          the source, by git archive
#   *_VERSION_*.deb                      the Debian packages, built from
#                                        that tarball
#   tamselexport-VERSION-win64.zip       the Windows build (windows-build.sh)
#   tamsel-VERSION-setup.exe             the Windows installer (the Windows
#                                        build's target installer)
#   tamselexport-VERSION-web/            the page (web/build.sh)
#   SHA256SUMS                           every file above
#
#   scripts/release.sh [OUT_DIR]
#
# RELEASE_SKIP="deb windows web" leaves out those parts (for a quick try;
# a real release makes them all).
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(scripts/project-version.sh)
out=${1:-build-release/$version}
skip=" ${RELEASE_SKIP:-} "
skipped() { case "$skip" in *" $1 "*) echo "-- skipped: $1 (RELEASE_SKIP)"; return 0 ;; esac; return 1; }

# Only committed sources: what the tarball holds is what was built.
if [ -n "$(git status --porcelain)" ]; then
  echo "release.sh: the tree has changes; commit or stash them first:" >&2
  git status --short >&2
  exit 1
fi
sh tests/version_check.sh . "$version"
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
name="tamselexport-$version"

echo "== source tarball"
git archive --format=tar.gz --prefix="$name/" -o "$out/$name.tar.gz" HEAD

if ! skipped deb; then
  echo "== Debian packages, from the tarball"
  work=$(mktemp -d)
  tar -xzf "$out/$name.tar.gz" -C "$work"
  scripts/debian-packages.sh "$work/deb" "$work/$name"
  cp "$work/deb"/*_"$version"_*.deb "$out/"
  rm -rf "$work"
fi

if ! skipped windows; then
  echo "== Windows zip"
  scripts/windows-build.sh build-release-win
  cp "build-release-win/$name-win64.zip" "$out/"
  echo "== Windows installer"
  # The Windows build's target installer (NSIS's makensis), where the tree
  # and the machine have it.
  if ninja -C build-release-win -t query installer >/dev/null 2>&1; then
    cmake --build build-release-win --target installer
    cp "build-release-win/tamsel-$version-setup.exe" "$out/"
  else
    echo "-- no installer: the Windows build has no target installer (windows/installer.nsi and makensis)"
  fi
fi

if ! skipped web; then
  echo "== the page"
  bash web/build.sh
  cp -a build-web "$out/$name-web"
fi

echo "== SHA256SUMS"
sums=$(cd "$out" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' sha256sum)
printf '%s\n' "$sums" > "$out/SHA256SUMS"
echo "release $version in $out:"
ls "$out"
