# Included by a tests/<layer>/CMakeLists.txt: every NAME_test.cpp in the folder
# becomes its own test executable NAME_test linked with VIDORRA_TEST_LIBS, and
# every NAME_wintest.cpp the same for Windows only (Wine). Shared test helpers
# are the folder's other .cpp files, compiled into each executable. Checkers
# and helpers that several test folders share are in tests/checkers/.
include_directories(${PROJECT_SOURCE_DIR}/tests/checkers)
# The folder itself, for tests that read data files beside their source.
add_compile_definitions(TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
file(GLOB _wintests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_wintest.cpp)
file(GLOB _helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
list(FILTER _helpers EXCLUDE REGEX "_(test|wintest|bench|fuzz)\\.cpp$")
foreach(src ${_tests})
  get_filename_component(name ${src} NAME_WE)
  vidorra_test(${name} SOURCES ${src} ${_helpers} LIBS ${VIDORRA_TEST_LIBS})
endforeach()
foreach(src ${_wintests})
  get_filename_component(name ${src} NAME_WE)
  vidorra_test(${name} WIN32_ONLY SOURCES ${src} ${_helpers} LIBS ${VIDORRA_TEST_LIBS})
endforeach()
# NAME_bench.cpp: Google Benchmark programs (native tree only).
file(GLOB _benches CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_bench.cpp)
foreach(src ${_benches})
  get_filename_component(name ${src} NAME_WE)
  vidorra_benchmark(${name} SOURCES ${src} LIBS ${VIDORRA_TEST_LIBS})
endforeach()
# NAME_fuzz.cpp: libFuzzer targets (fuzz tree only); seed corpus in tests/fuzz/NAME_fuzz/.
file(GLOB _fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_fuzz.cpp)
foreach(src ${_fuzzers})
  get_filename_component(name ${src} NAME_WE)
  vidorra_fuzzer(${name} SOURCES ${src} LIBS ${VIDORRA_TEST_LIBS})
endforeach()
