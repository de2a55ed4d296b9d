# Pseudo-terminals with an AT responder, reached from this build's Wine prefix as high COM numbers.
set(SERIAL_BENCH_PORT 37)
set(SERIAL_OTHER_PORT 38)
set(SERIAL_SEVEN_DIGIT_PORT 9999999)
set(SERIAL_EIGHT_DIGIT_PORT 12345678)
set(SERIAL_CUT_EIGHT_DIGIT_PORT 1234567)  # a device there too, so a cut eight-digit name shows
set(SERIAL_NULL_PORT 36)
set(SERIAL_MISSING_PORT 35)
set(SERIAL_BENCH_STATE ${CMAKE_BINARY_DIR}/tests/serial_tests/responder)
set(SERIAL_RESPONDER ${CMAKE_CURRENT_LIST_DIR}/at_responder.py)

add_test(NAME serial_bench_start
  COMMAND python3 ${SERIAL_RESPONDER} start ${SERIAL_BENCH_STATE} ${OEM_WINEPREFIX} 900 ${SERIAL_BENCH_PORT}
          ${SERIAL_OTHER_PORT},${SERIAL_SEVEN_DIGIT_PORT},${SERIAL_EIGHT_DIGIT_PORT},${SERIAL_CUT_EIGHT_DIGIT_PORT}
          null=${SERIAL_NULL_PORT} absent=${SERIAL_MISSING_PORT})
set_tests_properties(serial_bench_start PROPERTIES FIXTURES_SETUP serial_bench FIXTURES_REQUIRED wine TIMEOUT 30)
add_test(NAME serial_bench_stop COMMAND python3 ${SERIAL_RESPONDER} stop ${SERIAL_BENCH_STATE})
set_tests_properties(serial_bench_stop PROPERTIES FIXTURES_CLEANUP serial_bench TIMEOUT 30)

oem_wine_test(serial_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/SerialPortTest.cpp)
target_compile_definitions(serial_tests PRIVATE
  SERIAL_BENCH_PORT=${SERIAL_BENCH_PORT}u SERIAL_OTHER_PORT=${SERIAL_OTHER_PORT}u
  SERIAL_SEVEN_DIGIT_PORT=${SERIAL_SEVEN_DIGIT_PORT}u SERIAL_EIGHT_DIGIT_PORT=${SERIAL_EIGHT_DIGIT_PORT}u
  SERIAL_NULL_PORT=${SERIAL_NULL_PORT}u SERIAL_MISSING_PORT=${SERIAL_MISSING_PORT}u)
set_tests_properties(serial_tests PROPERTIES FIXTURES_REQUIRED "wine;serial_bench" TIMEOUT 300)
