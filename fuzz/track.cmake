# The track reader and the route finder under arbitrary bytes. With Clang and
# -DQUILLORY_FUZZ_ENGINE=ON it links libFuzzer; otherwise it is a replay driver that
# also runs a fixed-seed mutation pass, which CTest runs.
if(NOT TARGET quillory_route)
  return()
endif()
option(QUILLORY_FUZZ_ENGINE "Link fuzz targets with libFuzzer (Clang only)" OFF)
add_executable(track_file_fuzz ${CMAKE_CURRENT_LIST_DIR}/track_file_fuzz.cpp)
target_link_libraries(track_file_fuzz PRIVATE quillory_route)
if(QUILLORY_FUZZ_ENGINE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(track_file_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(track_file_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
else()
  target_compile_definitions(track_file_fuzz PRIVATE QUILLORY_FUZZ_DRIVER)
  add_test(NAME track_file_fuzz_pass COMMAND track_file_fuzz)
endif()
