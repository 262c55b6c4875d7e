# Media, edit-history and export benchmarks. Included from bench/CMakeLists.txt inside
# if(KELVANE_BENCH), after find_package(benchmark).

add_executable(movie_read_bench ${CMAKE_CURRENT_LIST_DIR}/movie_read_bench.cpp)
target_link_libraries(movie_read_bench PRIVATE kelvane_media kelvane_test_support benchmark::benchmark
                      Threads::Threads)

add_executable(history_bench ${CMAKE_CURRENT_LIST_DIR}/history_bench.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/LargeProject.cpp)
target_link_libraries(history_bench PRIVATE kelvane_media kelvane_test_support benchmark::benchmark
                      Threads::Threads)

# The reference composition of the peer measurements (bench/peers/project_bench.sh).
add_executable(make_reference_project ${CMAKE_CURRENT_LIST_DIR}/peers/make_reference_project.cpp)
target_link_libraries(make_reference_project PRIVATE kelvane_render kelvane_model)

# The crash journal: its cost per edit and the restore of the large project.
add_executable(journal_bench ${CMAKE_CURRENT_LIST_DIR}/journal_bench.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/LargeProject.cpp)
target_link_libraries(journal_bench PRIVATE kelvane_model kelvane_test_support benchmark::benchmark)

# The frei0r bridge's own cost per 1080p frame, over the plug-in alone.
if(TARGET kelvane_frei0r_plugin)
  add_executable(frei0r_bench ${CMAKE_CURRENT_LIST_DIR}/frei0r_bench.cpp)
  target_include_directories(frei0r_bench PRIVATE ${FREI0R_INCLUDE_DIR})
  target_link_libraries(frei0r_bench PRIVATE kelvane_media kelvane_frei0r_pixels benchmark::benchmark
    ${CMAKE_DL_LIBS})
  target_compile_definitions(frei0r_bench PRIVATE
    KELVANE_FREI0R_MODULE="$<TARGET_FILE:kelvane_frei0r_plugin>")
  add_dependencies(frei0r_bench kelvane_frei0r_plugin)
endif()
