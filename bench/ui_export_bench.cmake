# The export from the window's progress dialog against kelvane-render. Included from
# bench/CMakeLists.txt inside if(KELVANE_BENCH).
add_executable(ui_export_bench ${CMAKE_CURRENT_LIST_DIR}/ui_export_bench.cpp)
target_link_libraries(ui_export_bench PRIVATE kelvane_ui)
kelvane_exact_float(ui_export_bench)
