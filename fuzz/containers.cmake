# Fuzz entry for the container readers. With clang it is a libFuzzer target; with other
# compilers it is a driver that replays the seed inputs. Either way CTest replays them.
file(GLOB containers_fuzz_corpus ${CMAKE_CURRENT_LIST_DIR}/containers_corpus/*)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(containers_image_fuzz ${CMAKE_CURRENT_LIST_DIR}/containers_image_fuzz.cpp)
  target_compile_options(containers_image_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_options(containers_image_fuzz PRIVATE -fsanitize=fuzzer)
else()
  add_executable(containers_image_fuzz
    ${CMAKE_CURRENT_LIST_DIR}/containers_image_fuzz.cpp
    ${CMAKE_CURRENT_LIST_DIR}/containers_fuzz_replay.cpp)
endif()
target_link_libraries(containers_image_fuzz PRIVATE kest)
add_test(NAME containers_image_fuzz_replay COMMAND containers_image_fuzz ${containers_fuzz_corpus})
