# Fuzz entry for the memory-buffer readers. With clang it is a libFuzzer target; with
# other compilers it is a driver that replays the seed inputs. Either way CTest replays them.
file(GLOB memory_fuzz_corpus ${CMAKE_CURRENT_LIST_DIR}/memory_corpus/*)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(memory_image_fuzz ${CMAKE_CURRENT_LIST_DIR}/memory_image_fuzz.cpp)
  target_compile_options(memory_image_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_options(memory_image_fuzz PRIVATE -fsanitize=fuzzer)
else()
  add_executable(memory_image_fuzz
    ${CMAKE_CURRENT_LIST_DIR}/memory_image_fuzz.cpp
    ${CMAKE_CURRENT_LIST_DIR}/memory_fuzz_replay.cpp)
endif()
target_link_libraries(memory_image_fuzz PRIVATE kest)
add_test(NAME memory_image_fuzz_replay COMMAND memory_image_fuzz ${memory_fuzz_corpus})
