# Integer container growth and images against std::vector and memcpy; prints its figures.
add_executable(containers_bench ${CMAKE_CURRENT_LIST_DIR}/containers_bench.cpp)
target_link_libraries(containers_bench PRIVATE kest)
# Named-file saves through the temporary file against direct writes; prints its figures.
add_executable(file_save_bench ${CMAKE_CURRENT_LIST_DIR}/file_save_bench.cpp)
target_link_libraries(file_save_bench PRIVATE kest)
# Line files of short and of long lines against iostreams and plain fread/fwrite; prints its figures.
add_executable(lines_bench ${CMAKE_CURRENT_LIST_DIR}/lines_bench.cpp)
target_link_libraries(lines_bench PRIVATE kest)
