# The route finder against the plain search: prints per-table and random-play figures.
if(TARGET quillory_route)
  add_executable(route_bench ${CMAKE_CURRENT_LIST_DIR}/route_bench.cpp)
  target_link_libraries(route_bench PRIVATE quillory_route)
  # An annealing search for the positions that cost the finder most.
  add_executable(route_adversary ${CMAKE_CURRENT_LIST_DIR}/route_adversary.cpp)
  target_link_libraries(route_adversary PRIVATE quillory_route)
endif()
