#!/usr/bin/env bash
# Builds the libraries that Debian does not ship for MinGW-w64, from Debian's own sources, into
# build/mingw-deps/prefix (once; a later run with the same versions does nothing):
#   libsndfile  the source package (apt-get source, with a deb-src entry for the installed suite)
#   GoogleTest  /usr/src/googletest, as libgtest-dev ships it
# and puts the header-only libraries of the host packages (nlohmann-json, CLI11) beside them.
# Run as root (it may add the deb-src entry and update the package lists).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
deps=$root/build/mingw-deps
prefix=$deps/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=${JOBS:-$(nproc)}

version_of() { dpkg-query -W -f='${Version}' "$1"; }
stamp_text="sndfile=$(version_of libsndfile1-dev) gtest=$(version_of googletest)"
stamp_text+=" json=$(version_of nlohmann-json3-dev) cli11=$(version_of libcli11-dev)"
stamp_text+=" gcc=$(version_of g++-mingw-w64-x86-64-posix) toolchain=$(sha1sum "$toolchain" | cut -c1-12)"
if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp_text" ]; then
  exit 0
fi
rm -rf "$deps"
mkdir -p "$deps/src" "$prefix"

# Debian's source packages: a deb-src twin of every deb entry of the configured suites.
src_list=/etc/apt/sources.list.d/tessaline-deb-src.sources
if ! apt-get source --print-uris libsndfile >/dev/null 2>&1; then
  for f in /etc/apt/sources.list.d/*.sources; do
    [ "$f" = "$src_list" ] && continue
    sed -n 's/^Types: deb$/Types: deb-src/;p' "$f"
    echo
  done >"$src_list"
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list >/etc/apt/sources.list.d/tessaline-deb-src.list
  fi
  apt-get update -qq
fi
(cd "$deps/src" && apt-get source -qq --only-source libsndfile >/dev/null 2>&1 ||
  apt-get source --only-source libsndfile)
sndfile_src=$(find "$deps/src" -maxdepth 1 -type d -name 'libsndfile-*' | head -n 1)

cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTESSALINE_MINGW_PREFIX="$prefix"
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF)
if command -v ccache >/dev/null 2>&1; then
  cross+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# WAV files only: no external codecs.
cmake -S "$sndfile_src" -B "$deps/build-sndfile" "${cross[@]}" -DBUILD_PROGRAMS=OFF \
  -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_REGTEST=OFF -DENABLE_EXTERNAL_LIBS=OFF \
  -DENABLE_MPEG=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF -DINSTALL_PKGCONFIG_MODULE=ON \
  >/dev/null
cmake --build "$deps/build-sndfile" -j "$jobs" >/dev/null
cmake --install "$deps/build-sndfile" >/dev/null

cmake -S /usr/src/googletest -B "$deps/build-gtest" "${cross[@]}" -Dgtest_disable_pthreads=ON \
  >/dev/null
cmake --build "$deps/build-gtest" -j "$jobs" >/dev/null
cmake --install "$deps/build-gtest" >/dev/null

# Header-only: the same headers and package files as on the host.
mkdir -p "$prefix/include" "$prefix/share/cmake"
cp -r /usr/include/nlohmann /usr/include/CLI "$prefix/include/"
cp -r /usr/share/cmake/nlohmann_json /usr/share/cmake/CLI11 "$prefix/share/cmake/"

echo "$stamp_text" >"$prefix/.stamp"
echo "MinGW libraries in $prefix"
