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
command -v patch >/dev/null || need+=(patch)
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
# WASAPI only: the ASIO back-end needs the ASIO SDK, which no package ships.
# Patched so that a system without the low-latency engine period (wine)
# falls back to an ordinary shared-mode stream rather than a silent one.
rtaudio_src=$(fetch rtaudio)
if [[ ! -f $rtaudio_src/.shared-mode-fallback ]]; then
    patch -s -d "$rtaudio_src" -p1 <"$here/scripts/rtaudio-shared-mode-fallback.patch"
    touch "$rtaudio_src/.shared-mode-fallback"
fi
cmake_install rtaudio-fallback "$rtaudio_src" -DRTAUDIO_API_WASAPI=ON -DRTAUDIO_API_DS=OFF -DRTAUDIO_API_ASIO=OFF -DRTAUDIO_API_PULSE=OFF \
    -DRTAUDIO_API_JACK=OFF -DRTAUDIO_API_ALSA=OFF -DRTAUDIO_API_OSS=OFF \
    -DRTAUDIO_BUILD_TESTING=OFF -DRTAUDIO_BUILD_STATIC_LIBS=ON -DBUILD_TESTING=OFF
# WAV is all the program reads and writes: no codec libraries.
cmake_install sndfile "$(fetch libsndfile)" -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
    -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DENABLE_CPACK=OFF -DBUILD_REGTEST=OFF
cmake_install json "$(fetch nlohmann-json3)" -DJSON_BuildTests=OFF
# The GUI library ships no build of its own for mingw: its sources and the
# Win32 and DirectX 11 back-ends are compiled into the program (cmake/windows.cmake).
if [[ ! -f $prefix/.imgui.done ]]; then
    src=$(fetch imgui)
    mkdir -p "$prefix/imgui/backends"
    cp "$src"/*.cpp "$src"/*.h "$prefix/imgui/"
    cp "$src"/backends/imgui_impl_win32.* "$src"/backends/imgui_impl_dx11.* "$prefix/imgui/backends/"
    touch "$prefix/.imgui.done"
fi
# Header-only: the font check, the screenshot writer and the tests' PNG reader.
if [[ ! -f $prefix/include/stb/stb_image.h ]]; then
    src=$(fetch libstb)
    mkdir -p "$prefix/include/stb"
    cp "$src"/stb_truetype.h "$src"/stb_image_write.h "$src"/stb_rect_pack.h "$src"/stb_image.h "$prefix/include/stb/"
fi
echo "$prefix"
