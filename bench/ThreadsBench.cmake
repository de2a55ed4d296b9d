# Throughput and latency of the worker tools: built with the tests, never run by ctest.
add_executable(threads_bench ${CMAKE_CURRENT_LIST_DIR}/threads_bench.cpp)
target_link_libraries(threads_bench PRIVATE oemcore)
target_compile_options(threads_bench PRIVATE -Wall -Wextra -Werror)
set_target_properties(threads_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
