# One module-log line, its file and folders checked, against a writer doing only a line's own
# work, in the same run: built with the tests, never run by ctest.
add_executable(log_line_bench ${CMAKE_CURRENT_LIST_DIR}/log_line_bench.cpp)
target_link_libraries(log_line_bench PRIVATE oemcore)
target_compile_options(log_line_bench PRIVATE -Wall -Wextra -Werror)
set_target_properties(log_line_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
