# OEM_GetCurrentCarrierID against a client doing the work the export must do, in the same run:
# built with the tests, never run by ctest.
add_executable(carrier_id_bench ${CMAKE_CURRENT_LIST_DIR}/carrier_id_bench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ClientCarrierId.cpp ${CMAKE_CURRENT_LIST_DIR}/ClientChannel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ClientSink.cpp ${CMAKE_CURRENT_LIST_DIR}/BenchLogFolder.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/SimModem.cpp)
target_include_directories(carrier_id_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(carrier_id_bench PRIVATE oemcore oemsimcontrol)
target_compile_options(carrier_id_bench PRIVATE -Wall -Wextra -Werror)
set_target_properties(carrier_id_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_custom_command(TARGET carrier_id_bench POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Oem> $<TARGET_FILE_DIR:carrier_id_bench>)
add_dependencies(carrier_id_bench Oem oemsim)
