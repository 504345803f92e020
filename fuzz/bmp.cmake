# The picture reader under arbitrary bytes, with its own fixed-seed mutation pass.
if(NOT TARGET quillory_graphics)
  return()
endif()
quillory_add_fuzz_target(bmp_picture_fuzz
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/bmp_picture_fuzz.cpp
  LIBRARIES quillory_graphics)
