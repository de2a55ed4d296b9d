# The release artefact: `cmake --build DIR --target package_zip` (run by cmake/package.sh on a
# release build) writes Oem-<version>-win64.zip into DIR: the stripped binaries, their debug
# information in debug/ (linked by a debug link), the host's header, import library and .def,
# the simulated modem with its profiles, a sample ksconfig.ini and the host developers' readme.
set(OEM_PACKAGE_NAME Oem-${PROJECT_VERSION}-win64)
find_program(OEM_OBJCOPY x86_64-w64-mingw32-objcopy REQUIRED)
configure_file(${CMAKE_SOURCE_DIR}/package/README.txt.in ${CMAKE_BINARY_DIR}/package-files/README.txt @ONLY)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/package-files/contents.cmake CONTENT "
set(OEM_PACKAGE_BINARIES [[$<TARGET_FILE:Oem>;$<TARGET_FILE:oemhost>;$<TARGET_FILE:oemsim>]])
set(OEM_PACKAGE_FILES [[$<TARGET_LINKER_FILE:Oem>;${CMAKE_SOURCE_DIR}/Oem/exports/Oem.def;${CMAKE_SOURCE_DIR}/Oem/include/Oem.h;${CMAKE_SOURCE_DIR}/sim/default-profile.txt;${CMAKE_SOURCE_DIR}/sim/old-firmware-profile.txt;${CMAKE_SOURCE_DIR}/package/ksconfig.ini;${CMAKE_BINARY_DIR}/package-files/README.txt]])
")
add_custom_target(package_zip
  COMMAND ${CMAKE_COMMAND} -DNAME=${OEM_PACKAGE_NAME} -DOUT=${CMAKE_BINARY_DIR} -DOBJCOPY=${OEM_OBJCOPY}
          -DCONTENTS=${CMAKE_BINARY_DIR}/package-files/contents.cmake -P ${CMAKE_SOURCE_DIR}/cmake/PackageZip.cmake
  DEPENDS Oem oemhost oemsim
  VERBATIM)
