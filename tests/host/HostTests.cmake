# oemhost.exe as a person runs it, against the simulated modem registered in the test prefix:
# the answer it prints and the exit code it gives.
set(OEM_HOST_CHECK sh ${CMAKE_CURRENT_LIST_DIR}/expect-output.sh)
# Each test has a state file of its own that only it may write, so runs of other tests never
# show through.
function(oem_host_test name code text)
  add_test(NAME ${name} COMMAND ${OEM_HOST_CHECK} ${code} ${text} ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost> ${ARGN})
endfunction()
oem_host_test(host_carrier_id 0 "Current carrier id: 5" carrier-id)
# A DLL that lacks the export: the simulator's own.
oem_host_test(host_missing_export 3 "has no export OEM_GetCurrentCarrierID" --dll $<TARGET_FILE:oemsim> carrier-id)
oem_host_test(host_missing_dll 3 "cannot load" --dll ${CMAKE_BINARY_DIR}/no-such-folder/Oem.dll carrier-id)
oem_host_test(host_unknown_command 2 "unknown command" no-such-command)
oem_host_test(host_get_switch 0 "Automatic selection: on" get-switch auto)
oem_host_test(host_get_switch_usage 2 "usage: oemhost get-switch" get-switch colour)
oem_host_test(host_set_switch_refused 1 "Factory-default carrier: not set to carrier -1" set-switch factory-default -1)
oem_host_test(host_package_differs 4 "differs, update due" package-differs A1.B2.C3.10.4 A1.B2.C3.10.5)
oem_host_test(host_carrier_same 0 "same, no update" carrier-differs CarrierX.02 CARRIERX.02)
oem_host_test(host_flash_same 0 "(Result 1, FlashModemImage 0, FlashNVMImage 0)" flash-decision x1.y2.18.0.5 7.9)
oem_host_test(host_flash_differs 4 "(Result 1, FlashModemImage 1, FlashNVMImage 1)" flash-decision A1.B2.18.0.6 7.10)
# Older firmware: the version comes from ati8, with three leading fields.
oem_host_test(host_flash_old_firmware 0 "Firmware: new p.a1.b2.18.0.4: same, no flash"
  flash-decision p.a1.b2.18.0.4 7.9)
add_test(NAME host_persisted_state
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/persisted-state.sh ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost>
          ${CMAKE_BINARY_DIR}/tests/host/persisted-state.txt ${CMAKE_CURRENT_LIST_DIR}/report-page.txt)
# Each shipped profile captured through oemhost --simulate and replayed.
add_test(NAME host_capture_replay
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/capture-replay.sh ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost>
          ${CMAKE_BINARY_DIR}/tests/host/capture ${CMAKE_SOURCE_DIR}/sim/default-profile.txt
          ${CMAKE_SOURCE_DIR}/sim/old-firmware-profile.txt)
set(OEM_HOST_TESTS host_carrier_id host_missing_export host_missing_dll host_unknown_command host_get_switch
  host_get_switch_usage host_set_switch_refused host_package_differs host_carrier_same host_flash_same
  host_flash_differs host_flash_old_firmware)
foreach(test ${OEM_HOST_TESTS})
  string(REPLACE "/" "\\" state "Z:${CMAKE_BINARY_DIR}/tests/host/${test}-state.txt")
  set_tests_properties(${test} PROPERTIES ENVIRONMENT "OEMSIM_STATE=${state}")
endforeach()
string(REPLACE "/" "\\" old_profile "Z:${CMAKE_BINARY_DIR}/sim/old-firmware-profile.txt")
set_property(TEST host_flash_old_firmware APPEND PROPERTY ENVIRONMENT "OEMSIM_PROFILE=${old_profile}")
set_tests_properties(${OEM_HOST_TESTS} host_persisted_state host_capture_replay
  PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK oem_modem TIMEOUT 120)

# The release package, from its own release build of the shipped targets only, unpacked and
# run in a fresh Wine prefix; the PE facts are checked on the DLL it ships.
find_program(OEM_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)
add_test(NAME package_release COMMAND sh ${CMAKE_SOURCE_DIR}/tests/pe/check-package.sh ${CMAKE_BINARY_DIR}/release
                                      ${OEM_OBJDUMP} ${PROJECT_VERSION})
set_tests_properties(package_release PROPERTIES TIMEOUT 1200)

