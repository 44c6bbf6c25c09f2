# Shared build settings and the helpers every layer uses to declare its
# libraries, tests, benchmarks and fuzz targets.
#
#   VIDORRA_WIN32   the MinGW tree (everything, run under Wine)
#   VIDORRA_NATIVE  the Linux tree (portable units only, sanitizers)
#   VIDORRA_FUZZ    the clang tree (portable units and fuzz targets only)

# Off for benchmark trees: numbers are taken without the sanitizers.
option(VIDORRA_SANITIZE "Native tree: AddressSanitizer and UBSan" ON)

if(WIN32)
  set(VIDORRA_WIN32 ON)
  set(VIDORRA_NATIVE OFF)
else()
  set(VIDORRA_WIN32 OFF)
  set(VIDORRA_NATIVE ON)
endif()

# Sources are UTF-8; narrow literals become code page 936 bytes, the program's
# own text encoding, in every tree built with GCC (clang only knows UTF-8; the
# fuzz tree does not care what the messages look like).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-finput-charset=UTF-8 -fexec-charset=GBK)
endif()
add_compile_options(-Wall -Wextra -Wno-unused-parameter)

if(VIDORRA_WIN32)
  # No MinGW runtime DLLs beside the executables.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0600)
  set(VIDORRA_WINE_ENV
      "WINEPREFIX=${VIDORRA_CACHE}/wineprefix"
      "WINEDEBUG=-all"
      "WINEDLLOVERRIDES=mscoree,mshtml="
      "LANG=zh_CN.UTF-8"
      "LC_ALL=zh_CN.UTF-8")
elseif(VIDORRA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(VIDORRA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# --- dependencies ------------------------------------------------------------
if(VIDORRA_WIN32)
  # libz.a, not the import library of zlib1.dll: a recording's player and the
  # program must start with no DLL of ours beside them.
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
if(VIDORRA_WIN32)
  set(_jpeg ${VIDORRA_CACHE}/mingw-jpeg)
  if(NOT EXISTS ${_jpeg}/lib/libjpeg.a)
    message(FATAL_ERROR "libjpeg for MinGW is missing: run scripts/setup")
  endif()
  add_library(JPEG::JPEG STATIC IMPORTED)
  set_target_properties(JPEG::JPEG PROPERTIES
    IMPORTED_LOCATION ${_jpeg}/lib/libjpeg.a
    INTERFACE_INCLUDE_DIRECTORIES ${_jpeg}/include)
else()
  find_package(JPEG REQUIRED)
endif()

if(NOT VIDORRA_FUZZ)
  if(VIDORRA_WIN32)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
    find_package(benchmark REQUIRED)
    include(GoogleTest)
  endif()
endif()

# vidorra_layer_sources(OUT): the sources of a layer folder for this tree:
# every *.cpp, less *_win.cpp outside Windows and *_posix.cpp on Windows (the
# one platform-specific piece of a unit lives in such a file).
function(vidorra_layer_sources out)
  file(GLOB _all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(VIDORRA_WIN32)
    list(FILTER _all EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER _all EXCLUDE REGEX "_win\\.cpp$")
  endif()
  # Keeps the library buildable while its folder has no sources of its own.
  set(${out} ${_all} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp PARENT_SCOPE)
endfunction()

# vidorra_test(NAME SOURCES src... LIBS lib... [WIN32_ONLY] [NEEDS_DISPLAY])
# One executable of GoogleTest cases. Natively each case is its own ctest entry;
# under Wine the executable is one entry, since every Wine start costs time.
function(vidorra_test name)
  cmake_parse_arguments(T "WIN32_ONLY" "" "SOURCES;LIBS" ${ARGN})
  if(VIDORRA_FUZZ OR (T_WIN32_ONLY AND NOT VIDORRA_WIN32))
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  if(VIDORRA_WIN32)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${VIDORRA_WINE_ENV}" TIMEOUT 600)
    if(T_WIN32_ONLY)
      # Windows-only tests may show windows, read the screen, move the pointer
      # or take the focus: one at a time on the shared display. A test that
      # needs none of that sets a RESOURCE_LOCK of its own instead.
      set_tests_properties(${name} PROPERTIES RESOURCE_LOCK display)
    endif()
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# vidorra_benchmark(NAME SOURCES src... LIBS lib...): native tree only.
function(vidorra_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT VIDORRA_NATIVE OR VIDORRA_FUZZ)
    return()
  endif()
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()

# vidorra_fuzzer(NAME SOURCES src... LIBS lib...): fuzz tree only. Each target
# also gets a ctest entry there that replays its seed corpus (tests/fuzz/NAME/).
function(vidorra_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT VIDORRA_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(corpus ${PROJECT_SOURCE_DIR}/tests/fuzz/${name})
  if(EXISTS ${corpus})
    add_test(NAME ${name}_corpus COMMAND ${name} -runs=0 ${corpus})
  endif()
endfunction()

# vidorra_program_test(NAME SOUND): a Windows test that runs Vidorra.exe in a
# program folder it assembles from the build outputs (tests/robot/ProgramRun.h)
# and may show the test scene (tests/scene). SOUND is the sound server's
# source (ramp or silence). The sound server's registration and the instance
# mutex are global to the Wine prefix, and the program's windows and hot keys
# need the display to themselves: such tests run one at a time. The program
# looks for an MP3 codec at start, so they never run while a test has taken
# ours out of the prefix (wine_mp3_codec). They record and check in real
# time, so no other test loads the machine meanwhile (RUN_SERIAL).
function(vidorra_program_test name sound)
  if(NOT TARGET ${name})
    return()
  endif()
  add_dependencies(${name} Vidorra vidorra_folder zorbel trebis trebis1 pellun play scene)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/robot
                             ${PROJECT_SOURCE_DIR}/tests/recorder ${PROJECT_SOURCE_DIR}/tests/scene)
  target_link_libraries(${name} PRIVATE zorbel_iface)
  target_compile_definitions(${name} PRIVATE
    "VIDORRA_EXE=\"$<TARGET_FILE:Vidorra>\""
    "ZORBEL_EXE=\"$<TARGET_FILE:zorbel>\""
    "TREBIS_DLL=\"$<TARGET_FILE:trebis>\""
    "TREBIS1_DLL=\"$<TARGET_FILE:trebis1>\""
    "PELLUN_EXE=\"$<TARGET_FILE:pellun>\""
    "PLAY_DAT=\"$<TARGET_FILE_DIR:play>/play.dat\""
    "SCENE_EXE=\"$<TARGET_FILE:scene>\"")
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${VIDORRA_WINE_ENV};ZORBEL_SOURCE=${sound}"
    RESOURCE_LOCK "zorbel;display;wine_mp3_codec" RUN_SERIAL TRUE TIMEOUT 600)
endfunction()
