# The track reader and the route finder under arbitrary bytes, with its own
# fixed-seed mutation pass.
if(NOT TARGET quillory_route)
  return()
endif()
quillory_add_fuzz_target(track_file_fuzz
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/track_file_fuzz.cpp
  LIBRARIES quillory_route)
