# Build for the browser with the system's emscripten (Debian: the package emscripten): the
# checker as WebAssembly, and the page of web/ around it. The table generator is built with
# the build machine's compiler, as in every cross build.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# Exceptions end a run (Stop); WebAssembly's own exceptions cost nothing until one is thrown.
# The scanner's sixteen-byte search runs on WebAssembly SIMD.
set(CMAKE_CXX_FLAGS_INIT "-fwasm-exceptions -msimd128 -msse2 -flto")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fwasm-exceptions -flto")
# emscripten's JavaScript optimizer finds its Node.js modules (acorn, terser) there on Debian.
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
