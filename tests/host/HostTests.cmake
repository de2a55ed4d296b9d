# oemhost.exe as a person runs it, against the simulated modem registered in the test prefix:
# the answer it prints and the exit code it gives.
set(OEM_HOST_CHECK sh ${CMAKE_CURRENT_LIST_DIR}/expect-output.sh)
add_test(NAME host_carrier_id
  COMMAND ${OEM_HOST_CHECK} 0 "Current carrier id: 5" ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost> carrier-id)
# A DLL that lacks the export: the simulator's own.
add_test(NAME host_missing_export
  COMMAND ${OEM_HOST_CHECK} 3 "has no export OEM_GetCurrentCarrierID" ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost>
          --dll $<TARGET_FILE:oemsim> carrier-id)
add_test(NAME host_missing_dll
  COMMAND ${OEM_HOST_CHECK} 3 "cannot load" ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost>
          --dll ${CMAKE_BINARY_DIR}/no-such-folder/Oem.dll carrier-id)
add_test(NAME host_unknown_command
  COMMAND ${OEM_HOST_CHECK} 2 "unknown command" ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost> no-such-command)
set_tests_properties(host_carrier_id host_missing_export host_missing_dll host_unknown_command
  PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)
