# Integration tests of the real kelvo.exe under Wine on Xvfb.
#
# One Wine prefix and one Xvfb per test run: the fixture "wine" makes them
# before the first Wine test and removes them (and every Wine process)
# after the last, pass or fail. The tests share the display, clipboard and
# registry, so they run one at a time.
set(KELVO_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
set(KELVO_ARTIFACTS ${CMAKE_BINARY_DIR}/test-artifacts)
set(KELVO_WINE_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

add_test(NAME wine.setup
  COMMAND /usr/bin/python3 ${KELVO_WINE_TEST_DIR}/env.py setup ${KELVO_WINE_STATE})
set_tests_properties(wine.setup PROPERTIES FIXTURES_SETUP wine RESOURCE_LOCK wine TIMEOUT 180)
add_test(NAME wine.cleanup
  COMMAND /usr/bin/python3 ${KELVO_WINE_TEST_DIR}/env.py cleanup ${KELVO_WINE_STATE})
set_tests_properties(wine.cleanup PROPERTIES FIXTURES_CLEANUP wine RESOURCE_LOCK wine TIMEOUT 120)

# Every tests/wine/test_*.py is one test (a unittest module).
file(GLOB KELVO_WINE_TESTS CONFIGURE_DEPENDS ${KELVO_WINE_TEST_DIR}/test_*.py)
foreach(path ${KELVO_WINE_TESTS})
  get_filename_component(module ${path} NAME_WE)
  string(REGEX REPLACE "^test_" "" name ${module})
  add_test(NAME wine.${name}
    COMMAND /usr/bin/python3 -m unittest -v ${module}
    WORKING_DIRECTORY ${KELVO_WINE_TEST_DIR})
  set_tests_properties(wine.${name} PROPERTIES
    FIXTURES_REQUIRED wine
    RESOURCE_LOCK wine
    TIMEOUT 600
    ENVIRONMENT "KELVO_WINE_ENV=${KELVO_WINE_STATE}/env.json;KELVO_BIN=${KELVO_WIN64_BIN};KELVO_BIN32=${KELVO_WIN32_BIN};KELVO_ARTIFACTS=${KELVO_ARTIFACTS};KELVO_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")
endforeach()
file(MAKE_DIRECTORY ${KELVO_ARTIFACTS})
