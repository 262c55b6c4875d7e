# Playback in the real window (bench/ui_playback_bench.sh runs it under Xvfb). Included from
# bench/CMakeLists.txt inside if(KELVANE_BENCH).
if(TARGET kelvane_ui)
  add_executable(ui_playback_bench ${CMAKE_CURRENT_LIST_DIR}/ui_playback_bench.cpp)
  target_link_libraries(ui_playback_bench PRIVATE kelvane_ui)
  kelvane_exact_float(ui_playback_bench)
endif()
