# The memory-buffer readers under arbitrary bytes, replaying the seed images.
quillory_add_fuzz_target(memory_image_fuzz
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/memory_image_fuzz.cpp
  LIBRARIES kest
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/memory_corpus)
