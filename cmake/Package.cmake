# The release artefact: `cmake --build DIR --target package_zip` (run by cmake/package.sh on a
# release build) writes Oem-<version>-win64.zip into DIR, one folder laid out as Windows SDKs are:
#   bin/            Oem.dll, oemhost.exe and oemsim.dll, signed when a certificate is supplied
#   debug/          their PDBs, Oem.pdb, oemhost.pdb and oemsim.pdb
#   SHA256SUMS      the checksum of every other file, as sha256sum -c reads them
#   include/        Oem.h
#   lib/            Oem.lib (Microsoft's import-library format, written by llvm-dlltool from
#                   Oem.def), libOem.dll.a (mingw-w64's, from the link) and Oem.def
#   lib/cmake/Oem/  OemConfig.cmake and OemConfigVersion.cmake: find_package(Oem), Oem::Oem
#   share/oem/      the simulated modem's profiles, a sample ksconfig.ini, the readme
set(OEM_PACKAGE_NAME Oem-${PROJECT_VERSION}-win64)
find_program(OEM_OBJCOPY NAMES llvm-objcopy llvm-objcopy-14 REQUIRED)
find_program(OEM_SIGNTOOL osslsigncode REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(OEM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
set(oem_package_files ${CMAKE_BINARY_DIR}/package-files)
configure_file(${CMAKE_SOURCE_DIR}/package/README.txt.in ${oem_package_files}/README.txt @ONLY)
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${oem_package_files}/OemConfigVersion.cmake COMPATIBILITY SameMajorVersion)
# The files of each folder but bin/ and debug/, which the binaries fill.
file(GENERATE OUTPUT ${oem_package_files}/contents.cmake CONTENT "
set(OEM_PACKAGE_BINARIES [[$<TARGET_FILE:Oem>;$<TARGET_FILE:oemhost>;$<TARGET_FILE:oemsim>]])
set(OEM_PACKAGE_DEF [[${CMAKE_SOURCE_DIR}/Oem/exports/Oem.def]])
set(OEM_PACKAGE_FOLDERS include lib lib/cmake/Oem share/oem)
set(OEM_PACKAGE_include [[${CMAKE_SOURCE_DIR}/Oem/include/Oem.h]])
set(OEM_PACKAGE_lib [[$<TARGET_LINKER_FILE:Oem>;${CMAKE_SOURCE_DIR}/Oem/exports/Oem.def]])
set(OEM_PACKAGE_lib/cmake/Oem [[${CMAKE_SOURCE_DIR}/package/OemConfig.cmake;${oem_package_files}/OemConfigVersion.cmake]])
set(OEM_PACKAGE_share/oem [[${CMAKE_SOURCE_DIR}/sim/default-profile.txt;${CMAKE_SOURCE_DIR}/sim/old-firmware-profile.txt;${CMAKE_SOURCE_DIR}/package/ksconfig.ini;${oem_package_files}/README.txt]])
")
add_custom_target(package_zip
  COMMAND ${CMAKE_COMMAND} -DNAME=${OEM_PACKAGE_NAME} -DOUT=${CMAKE_BINARY_DIR} -DOBJCOPY=${OEM_OBJCOPY}
          -DSIGNTOOL=${OEM_SIGNTOOL} -DPYTHON=${Python3_EXECUTABLE} -DZIPPER=${CMAKE_SOURCE_DIR}/cmake/write-zip.py
          -DVERSION=${PROJECT_VERSION} -DDLLTOOL=${OEM_DLLTOOL} -DCONTENTS=${oem_package_files}/contents.cmake -P ${CMAKE_SOURCE_DIR}/cmake/PackageZip.cmake
  DEPENDS Oem oemhost oemsim
  VERBATIM)
