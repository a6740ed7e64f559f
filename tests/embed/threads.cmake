# The ThreadSanitizer configuration (-DTESSEL_TSAN=ON): the library, the
# test of many threads judging against one model, and the command-line cases
# (scripts/extra-checks.sh runs those labelled threads with tessel -j 4).
find_package(GTest REQUIRED)
add_executable(judge_threads_test ${CMAKE_CURRENT_LIST_DIR}/judge_threads_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../support/test_main.cpp)
target_include_directories(judge_threads_test PRIVATE ${PROJECT_SOURCE_DIR}
  ${CMAKE_CURRENT_LIST_DIR}/..)
target_compile_definitions(judge_threads_test PRIVATE TESSEL_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
target_link_libraries(judge_threads_test PRIVATE tessel_internal GTest::gtest)
target_compile_options(judge_threads_test PRIVATE ${TESSEL_WARNINGS})
enable_testing()
add_test(NAME tsan.judge_threads COMMAND judge_threads_test)
set_tests_properties(tsan.judge_threads PROPERTIES LABELS tsan
  ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1")
include(${CMAKE_CURRENT_LIST_DIR}/../cli/cli.cmake)
