# Warnings for every target; -Werror behind ZUKA_STRICT. Every target is also built with the
# sanitizers behind ZUKA_SANITIZE (a finding stops the program) and with the fuzzers' coverage
# behind ZUKA_FUZZ.
function(zuka_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(ZUKA_STRICT)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(ZUKA_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                           -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(ZUKA_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# zuka_add_library(name SOURCES a.cpp ... DEPS lib ...)
# One static library per module; headers are included as "module/header.h".
function(zuka_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(zuka_${name} STATIC ${ARG_SOURCES})
  target_include_directories(zuka_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(zuka_${name} PUBLIC ${ARG_DEPS})
  zuka_warnings(zuka_${name})
endfunction()

# zuka_add_test(name SOURCES a_test.cpp ... DEPS lib ...)
# One GoogleTest executable per module; tests find their data through ZUKA_TEST_DATA.
function(zuka_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  # What the tests share: file bytes, the districts and the plain reference passes.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE
    ZUKA_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    ZUKA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  zuka_warnings(${name})
  if(CMAKE_CROSSCOMPILING)
    # Under wine every process start costs about half a second, so each test executable runs
    # as one ctest test (all its cases in one process; --gtest_brief shows only the failures).
    # A program that hangs under wine (a message box nobody closes) fails after five minutes.
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
