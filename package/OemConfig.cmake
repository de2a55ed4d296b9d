# Oem.dll for CMake hosts: find_package(Oem 1.0 CONFIG REQUIRED) with this package's folder in
# CMAKE_PREFIX_PATH (or Oem_DIR set to this file's folder), then link the imported target
# Oem::Oem. Hosts built by mingw-w64 link lib/libOem.dll.a, all others (MSVC, clang-cl) the
# import library in Microsoft's format, lib/Oem.lib; both load bin/Oem.dll, which must be
# copied beside the host's executable, in a folder that only administrators can write to (or
# loaded by its full path with LoadLibraryExW and LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
# LOAD_LIBRARY_SEARCH_SYSTEM32). Never put bin/ on PATH: an elevated host would then take
# DLLs from folders that others may write to.
get_filename_component(_oem_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET Oem::Oem)
  if(MINGW)
    set(_oem_implib "${_oem_root}/lib/libOem.dll.a")
  else()
    set(_oem_implib "${_oem_root}/lib/Oem.lib")
  endif()
  add_library(Oem::Oem SHARED IMPORTED)
  set_target_properties(Oem::Oem PROPERTIES
    IMPORTED_LOCATION "${_oem_root}/bin/Oem.dll"
    IMPORTED_IMPLIB "${_oem_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_oem_root}/include")
  unset(_oem_implib)
endif()
unset(_oem_root)
