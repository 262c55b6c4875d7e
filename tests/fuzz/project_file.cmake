# The project file reader under libFuzzer (clang only). Built from the few sources it needs, all
# instrumented, so that it does not depend on how the layer libraries were configured.
set(project_file_fuzz_sources
  ${CMAKE_CURRENT_LIST_DIR}/project_file_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/model/ProjectFileReader.cpp
  ${CMAKE_SOURCE_DIR}/model/ProjectFileWriter.cpp
  ${CMAKE_SOURCE_DIR}/model/Project.cpp
  ${CMAKE_SOURCE_DIR}/model/Track.cpp
  ${CMAKE_SOURCE_DIR}/model/FileEntry.cpp
  ${CMAKE_SOURCE_DIR}/platform/Path.cpp
  ${CMAKE_SOURCE_DIR}/platform/File.cpp)
add_executable(project_file_fuzz ${project_file_fuzz_sources})
target_include_directories(project_file_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(project_file_fuzz PRIVATE
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
target_link_options(project_file_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
