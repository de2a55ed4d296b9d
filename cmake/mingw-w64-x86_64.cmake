# Cross-compiles for 64-bit Windows with Debian's clang 16 targeting mingw-w64: the mingw-w64 headers
# and import libraries, libstdc++ and libgcc of g++-mingw-w64-x86-64-posix (linked statically),
# lld as the linker so that every binary gets a PDB that Windows debuggers read.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(OEM_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang-16)
set(CMAKE_CXX_COMPILER clang++-16)
set(CMAKE_C_COMPILER_TARGET ${OEM_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${OEM_MINGW_TRIPLE})
# llvm-windres takes windres' arguments and preprocesses with clang; Debian keeps it off PATH.
find_program(CMAKE_RC_COMPILER NAMES llvm-windres llvm-windres-14 PATHS /usr/lib/llvm-14/bin REQUIRED)
set(CMAKE_RC_FLAGS_INIT "--target=pe-x86-64")
set(CMAKE_FIND_ROOT_PATH /usr/${OEM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Clang does not recognise Debian's "12-posix" version folder, so it is named here: libstdc++'s
# headers, and the libraries (libstdc++, libgcc, libgcc_eh) the link takes statically.
execute_process(COMMAND ${OEM_MINGW_TRIPLE}-g++-posix -print-file-name=libstdc++.a
  OUTPUT_VARIABLE oem_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(OEM_MINGW_GCC_DIR ${oem_libstdcxx} DIRECTORY)
set(oem_cxx ${OEM_MINGW_GCC_DIR}/include/c++)
# GCC's mingw-w64 runtime keeps thread-local variables (std::call_once's among them) in emulated
# TLS, so clang must use the same scheme to link against it.
set(CMAKE_C_FLAGS_INIT "-femulated-tls")
set(CMAKE_CXX_FLAGS_INIT "-femulated-tls -nostdinc++ -isystem ${oem_cxx} -isystem ${oem_cxx}/${OEM_MINGW_TRIPLE} -isystem ${oem_cxx}/backward")
# lld of clang's own version: older ones refuse the directives clang 16 writes into objects.
# winpthreads (std::thread, std::mutex) linked in too: the binaries import Windows DLLs only.
find_program(OEM_LLD NAMES ld.lld-16 REQUIRED)
set(oem_link "-fuse-ld=lld --ld-path=${OEM_LLD} -Wno-unused-command-line-argument -L${OEM_MINGW_GCC_DIR} -static -static-libgcc -static-libstdc++ -Wl,-Bstatic -lpthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${oem_link})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${oem_link})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${oem_link})
