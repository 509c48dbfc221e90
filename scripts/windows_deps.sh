#!/bin/bash
# Builds the Windows (mingw-w64) dependencies from Debian's source packages,
# once, into a cache folder that later builds reuse:
#   scripts/windows_deps.sh [cache folder]   (default ~/.cache/sonavela-windows)
# Prints the install prefix on its last line.
set -euo pipefail
cache=${1:-${SONAVELA_WINDOWS_CACHE:-$HOME/.cache/sonavela-windows}}
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=$cache/prefix
mkdir -p "$cache/src" "$prefix"

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v wine >/dev/null || need+=(wine wine64)
command -v dpkg-source >/dev/null || need+=(dpkg-dev)
if ((${#need[@]})); then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${need[@]}" >/dev/null
fi

# Source packages come from a deb-src list of our own, read through a private
# parts folder, so the system's package lists are never pointed at a list
# without the binary entries.
apt_dir=$cache/apt
private_apt=(apt-get -q -o APT::Sandbox::User=root -o Dir::Etc::SourceList=/dev/null
    -o Dir::Etc::SourceParts="$apt_dir/sources.list.d" -o Dir::State::Lists="$apt_dir/lists")
if [[ ! -f $apt_dir/lists.ready ]]; then
    mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial"
    echo "deb-src http://deb.debian.org/debian bookworm main" >"$apt_dir/sources.list.d/sonavela-src.list"
    "${private_apt[@]}" update >/dev/null
    touch "$apt_dir/lists.ready"
fi
fetch() {  # unpacks source package $1 under $cache/src/$1, once
    local dir=$cache/src/$1
    if [[ ! -d $dir ]]; then
        mkdir -p "$dir"
        (cd "$dir" && "${private_apt[@]}" source "$1" >/dev/null 2>&1)
    fi
    find "$dir" -mindepth 1 -maxdepth 1 -type d | head -1
}
cmake_install() {  # $1 name, $2 source folder, then CMake options
    local name=$1 src=$2
    shift 2
    [[ -f $prefix/.$name.done ]] && return
    cmake -S "$src" -B "$cache/build/$name" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
        -DSONAVELA_WINDOWS_PREFIX="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
    cmake --build "$cache/build/$name" -j2 >/dev/null
    cmake --install "$cache/build/$name" >/dev/null
    touch "$prefix/.$name.done"
}

cmake_install googletest "$(fetch googletest)" -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=OFF
cmake_install soundtouch "$(fetch soundtouch)" -DSOUNDSTRETCH=OFF -DSOUNDTOUCH_DLL=OFF
echo "$prefix"
