# oemhost.exe as a person runs it, against the simulated modem registered in the test prefix,
# with a state file of its own so that other tests' runs never show through.
add_test(NAME host_tool
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/host-tool.sh ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost> $<TARGET_FILE:oemsim>
          ${CMAKE_BINARY_DIR}/tests/host/state.txt ${CMAKE_CURRENT_LIST_DIR}/report-page.txt)
set_tests_properties(host_tool PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK oem_modem TIMEOUT 300)
# Each shipped profile captured through oemhost --simulate and replayed.
add_test(NAME host_capture_replay
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/capture-replay.sh ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost>
          ${CMAKE_BINARY_DIR}/tests/host/capture ${CMAKE_SOURCE_DIR}/sim/default-profile.txt
          ${CMAKE_SOURCE_DIR}/sim/old-firmware-profile.txt)
set_tests_properties(host_capture_replay PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK oem_modem TIMEOUT 120)
# oemhost --json read with Python's json module, doctor failing each step it can be made to
# fail by the simulator's faults and waiting for an export lock another process holds, and the
# refusal of a profile that cannot be read.
add_executable(hold_export_lock ${CMAKE_CURRENT_LIST_DIR}/hold-export-lock.cpp)
target_link_libraries(hold_export_lock PRIVATE oemwin)
target_compile_options(hold_export_lock PRIVATE -Wall -Wextra -Werror)
add_test(NAME host_json_doctor
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/json-doctor.py ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost>
          ${CMAKE_BINARY_DIR}/tests/host/json-doctor $<TARGET_FILE:hold_export_lock>)
set_tests_properties(host_json_doctor PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK oem_modem TIMEOUT 300)

# The release package, from its own release build of the shipped targets only: unpacked and run
# in a fresh Wine prefix, its PE facts and symbols checked; then built again elsewhere for the
# same bytes, and signed.
add_test(NAME package_build COMMAND ${CMAKE_COMMAND} -E env OEM_RELEASE_DIR=${CMAKE_BINARY_DIR}/release
                                    bash ${CMAKE_SOURCE_DIR}/cmake/package.sh)
set_tests_properties(package_build PROPERTIES FIXTURES_SETUP release_package TIMEOUT 900)
find_program(OEM_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)
add_test(NAME package_release COMMAND sh ${CMAKE_SOURCE_DIR}/tests/pe/check-package.sh ${CMAKE_BINARY_DIR}/release
                                      ${OEM_OBJDUMP} ${PROJECT_VERSION})
set_tests_properties(package_release PROPERTIES FIXTURES_REQUIRED release_package TIMEOUT 600)
add_test(NAME package_reproducible_signed
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/pe/check-release.sh ${CMAKE_BINARY_DIR}/release ${PROJECT_VERSION})
set_tests_properties(package_reproducible_signed PROPERTIES FIXTURES_REQUIRED release_package
  DEPENDS package_release TIMEOUT 900)

# The simulator's regsvr32 never replaces or removes a registration that is not its own.
add_test(NAME host_registration
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/registration.sh ${OEM_WINEPREFIX} $<TARGET_FILE:oemsim>
          ${CMAKE_BINARY_DIR}/tests/host/registration)
set_tests_properties(host_registration PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK oem_modem TIMEOUT 120)
