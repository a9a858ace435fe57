# Native unit tests of the portable logic (GoogleTest). Every *.cpp in
# tests/unit/ goes into one test program; each TEST becomes a ctest case.
find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB KELVO_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(kelvo_unit ${KELVO_UNIT_SOURCES})
target_link_libraries(kelvo_unit PRIVATE kelvo_core GTest::gtest GTest::gtest_main)
target_compile_definitions(kelvo_unit PRIVATE
  KELVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  KELVO_BMPSUITE_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures/bmpsuite")
gtest_discover_tests(kelvo_unit TEST_PREFIX "unit." DISCOVERY_TIMEOUT 60)
