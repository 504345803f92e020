# Drawing figures of the board view; run with QT_QPA_PLATFORM=offscreen.
add_executable(graphics_bench ${CMAKE_CURRENT_LIST_DIR}/graphics_bench.cpp)
target_link_libraries(graphics_bench PRIVATE quillory_ui)
