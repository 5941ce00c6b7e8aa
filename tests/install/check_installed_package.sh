#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds and runs a plain C
# program against it with pkg-config, and a CMake project with find_package.
set -euo pipefail
build_dir=$1
c_source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
pc_dir=$(dirname "$(find "$work/prefix" -name stelox.pc | head -n1)")
export PKG_CONFIG_PATH=$pc_dir

cc -std=c99 -Wall -Werror "$c_source" -o "$work/c_program" $(pkg-config --cflags --libs stelox)
lib_dir=$(pkg-config --variable=libdir stelox)
LD_LIBRARY_PATH=$lib_dir "$work/c_program"
readlink "$lib_dir/libstelox.so" | grep -q '^libstelox.so.4'

mkdir "$work/consumer"
cp "$c_source" "$work/consumer/main.c"
cat > "$work/consumer/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.18)
project(consumer C CXX)
find_package(Stelox 4 REQUIRED)
add_executable(consumer main.c)
target_link_libraries(consumer PRIVATE Stelox::stelox)
CMAKE
cmake -S "$work/consumer" -B "$work/consumer/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer/build" >/dev/null
LD_LIBRARY_PATH=$lib_dir "$work/consumer/build/consumer" >/dev/null
echo "installed package OK"
