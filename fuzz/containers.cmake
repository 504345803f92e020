# The container readers under arbitrary bytes, replaying the seed images.
quillory_add_fuzz_target(containers_image_fuzz
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/containers_image_fuzz.cpp
  LIBRARIES kest
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/containers_corpus)
