#!/usr/bin/env bash
# Makes the packages into build/packages: the Windows ZIP of tessaline-cli (cpack -G ZIP from the
# mingw build) and the Debian package of both programs (cpack -G DEB from the default build).
# Both builds must exist. With --check each is checked as a user would meet it: the ZIP unpacked
# and its program asked for --version under wine64, the Debian package unpacked with dpkg -x into
# a scratch root and its files and dependencies looked at.
# usage: scripts/package.sh [--zip] [--deb] [--check]   (neither --zip nor --deb: both)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
zip=0 deb=0 check=0
for arg in "$@"; do
  case "$arg" in
    --zip) zip=1 ;;
    --deb) deb=1 ;;
    --check) check=1 ;;
    *)
      echo "usage: scripts/package.sh [--zip] [--deb] [--check]" >&2
      exit 1
      ;;
  esac
done
if [ $zip -eq 0 ] && [ $deb -eq 0 ]; then zip=1 deb=1; fi
out=$root/build/packages
mkdir -p "$out"
status=0

if [ $zip -eq 1 ]; then
  (cd build/mingw && cpack -G ZIP -B "$out" >/dev/null)
  file=$(ls "$out"/tessaline-cli-*-win64.zip)
  echo "package: $file ($(stat -c %s "$file") bytes)"
  if [ $check -eq 1 ]; then
    scratch=$(mktemp -d)
    python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$file" "$scratch"
    top=$(find "$scratch" -mindepth 1 -maxdepth 1 -type d | head -n 1)
    for f in tessaline-cli.exe README.md; do
      [ -f "$top/$f" ] || { echo "zip: $f missing"; status=1; }
    done
    version=$(cd "$scratch" && build_wine=$root/build/mingw/wine-run &&
      "$build_wine" "$top/tessaline-cli.exe" --version 2>/dev/null | tr -d '\r')
    # The same text as the Linux build's (the About box's version), or at least its form.
    expected="tessaline-cli version"
    if [ -x build/default/src/cli/tessaline-cli ]; then
      expected=$(build/default/src/cli/tessaline-cli --version)
    fi
    if [ "${version#"$expected"}" = "$version" ] || [ -z "$version" ]; then
      echo "zip: --version under wine printed '$version'"
      status=1
    fi
    rm -rf "$scratch"
  fi
fi

if [ $deb -eq 1 ]; then
  (cd build/default && cpack -G DEB -B "$out" >/dev/null)
  file=$(ls "$out"/tessaline_*.deb)
  echo "package: $file ($(stat -c %s "$file") bytes)"
  if [ $check -eq 1 ]; then
    scratch=$(mktemp -d)
    dpkg -x "$file" "$scratch"
    for f in usr/lib/tessaline/tessaline usr/lib/tessaline/tessaline-cli \
      "usr/lib/tessaline/USB Device Driver/60-tessaline.rules" \
      usr/share/applications/tessaline.desktop usr/share/mime/packages/tessaline.xml \
      usr/share/icons/hicolor/scalable/apps/tessaline.svg; do
      [ -f "$scratch/$f" ] || { echo "deb: $f missing"; status=1; }
    done
    for f in usr/bin/tessaline usr/bin/tessaline-cli; do
      [ -L "$scratch/$f" ] && [ -f "$scratch/$f" ] || { echo "deb: $f is no link to a program"; status=1; }
    done
    grep -q '^MimeType=.*application/' "$scratch/usr/share/applications/tessaline.desktop" ||
      { echo "deb: the .desktop file names no document type"; status=1; }
    depends=$(dpkg-deb -f "$file" Depends)
    for lib in libc6 libqt6widgets6 libusb-1.0-0 libportaudio2 libsndfile1 libgomp1; do
      case "$depends" in
        *"$lib"*) ;;
        *) echo "deb: no dependency on $lib ($depends)"; status=1 ;;
      esac
    done
    "$scratch/usr/bin/tessaline-cli" --version >/dev/null || { echo "deb: tessaline-cli does not run"; status=1; }
    rm -rf "$scratch"
  fi
fi
exit $status
