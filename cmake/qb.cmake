# Helpers shared by the subsystem folders.

# qb_test(NAME SOURCES... LIBS libs...): a GoogleTest program registered with CTest.
function(qb_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} qb_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE QB_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
  # A parametrised test is named by its suite's name generator alone: with pretty values CTest
  # would append the printed parameter, which for a record is its raw bytes (pointers included),
  # so the name would change from build to build and -R and --rerun-failed would miss it.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES PROPERTIES TIMEOUT 600)
endfunction()

# qb_fuzz(NAME SOURCE LIBS libs... CORPUS dir): a libFuzzer target.
# With QB_FUZZ (clang) it builds the fuzzer itself; otherwise it builds a replay program
# that feeds every file of the corpus folder to the same entry point and runs it as a test,
# so the sanitizer build checks the corpus on every run.
function(qb_fuzz name)
  cmake_parse_arguments(F "" "SOURCE;CORPUS" "LIBS" ${ARGN})
  if(QB_FUZZ)
    add_executable(${name} ${F_SOURCE})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  elseif(QB_TESTS)
    add_executable(${name}_replay ${F_SOURCE} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
    target_include_directories(${name}_replay PRIVATE ${CMAKE_SOURCE_DIR}/fuzz)
    add_test(NAME ${name}_corpus COMMAND ${name}_replay ${F_CORPUS})
  endif()
endfunction()
