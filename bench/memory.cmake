# Memory-space image throughput against zlib alone and memcpy; prints its figures.
add_executable(memory_bench ${CMAKE_CURRENT_LIST_DIR}/memory_bench.cpp)
target_link_libraries(memory_bench PRIVATE kest)
