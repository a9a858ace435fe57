# Benchmarks of the portable code; built with the native build, never run
# by ctest. bench/run_picture_bench.sh runs them with outside programs.
add_executable(kelvo_picture_bench ${CMAKE_CURRENT_LIST_DIR}/picture_bench.cpp)
target_link_libraries(kelvo_picture_bench PRIVATE kelvo_core)
target_include_directories(kelvo_picture_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
add_executable(kelvo_jpeg_bench ${CMAKE_CURRENT_LIST_DIR}/jpeg_bench.cpp)
target_link_libraries(kelvo_jpeg_bench PRIVATE kelvo_core)
target_include_directories(kelvo_jpeg_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
