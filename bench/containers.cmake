# Integer container growth and images against std::vector and memcpy; prints its figures.
add_executable(containers_bench ${CMAKE_CURRENT_LIST_DIR}/containers_bench.cpp)
target_link_libraries(containers_bench PRIVATE kest)
