# oemhost.exe as a person runs it, against the simulated modem registered in the test prefix,
# with a state file of its own so that other tests' runs never show through.
add_test(NAME host_tool
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/host-tool.sh ${OEM_WINEPREFIX} $<TARGET_FILE:oemhost> $<TARGET_FILE:oemsim>
          ${CMAKE_BINARY_DIR}/tests/host/state.txt ${CMAKE_CURRENT_LIST_DIR}/report-page.txt)
set_tests_properties(host_tool PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK oem_modem TIMEOUT 300)
