# WebAssembly (wasm32-wasi) with Debian's clang and lld, wasi-libc and the wasm32 libc++,
# libc++abi and compiler-rt packages, which install into /usr as their sysroot.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_SYSTEM_VERSION 1)
set(triple wasm32-wasi)

find_program(KORVADEX_WASM_CXX NAMES clang++-14 clang++ REQUIRED)
set(CMAKE_CXX_COMPILER ${KORVADEX_WASM_CXX})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_SYSROOT /usr)
# lld-14 under the name clang's wasm driver looks for.
find_program(KORVADEX_WASM_LD NAMES wasm-ld-14 wasm-ld REQUIRED)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=${KORVADEX_WASM_LD}")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
