# The picture reader under arbitrary bytes. With Clang and -DQUILLORY_FUZZ_ENGINE=ON it
# links libFuzzer; otherwise it is a replay driver that also runs a fixed-seed mutation pass.
if(NOT TARGET quillory_graphics)
  return()
endif()
option(QUILLORY_FUZZ_ENGINE "Link fuzz targets with libFuzzer (Clang only)" OFF)
add_executable(bmp_picture_fuzz ${CMAKE_CURRENT_LIST_DIR}/bmp_picture_fuzz.cpp)
target_link_libraries(bmp_picture_fuzz PRIVATE quillory_graphics)
if(QUILLORY_FUZZ_ENGINE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(bmp_picture_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(bmp_picture_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
else()
  target_compile_definitions(bmp_picture_fuzz PRIVATE QUILLORY_FUZZ_DRIVER)
endif()
