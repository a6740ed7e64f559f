# Every tests/cli/AREA/NAME.sh is one CTest test, cli.AREA.NAME, run by
# run_case.sh against the built programs (labels cli and AREA).
file(GLOB TESSEL_CLI_CASES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*/*.sh)
# The models many cases judge with, trained once per run (train_models.sh);
# a case that names $MODELS requires this fixture.
set(TESSEL_CLI_MODELS ${CMAKE_CURRENT_BINARY_DIR}/cli-models)
add_test(NAME cli.models COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/train_models.sh ${TESSEL_CLI_MODELS}
  $<TARGET_FILE:tessel_program> ${CMAKE_CURRENT_LIST_DIR}/../data)
set_tests_properties(cli.models PROPERTIES FIXTURES_SETUP cli_models LABELS cli)
set(TESSEL_CLI_PATH "$<TARGET_FILE_DIR:tessel_program>")
if(TARGET tessel-host)
  string(APPEND TESSEL_CLI_PATH ":$<TARGET_FILE_DIR:tessel-host>")
endif()
foreach(case_file ${TESSEL_CLI_CASES})
  file(RELATIVE_PATH case_name ${CMAKE_CURRENT_LIST_DIR} ${case_file})
  string(REGEX REPLACE "\\.sh$" "" case_name "${case_name}")
  string(REGEX REPLACE "/.*" "" case_area "${case_name}")
  string(REPLACE "/" "." case_name "${case_name}")
  add_test(NAME cli.${case_name}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_case.sh ${case_file} ${TESSEL_CLI_PATH}
      ${CMAKE_CURRENT_LIST_DIR}/../data)
  # A case that only means something for an unprivileged user says so in a
  # "# labels: nobody" line; the test script runs those once more as nobody.
  file(STRINGS ${case_file} case_labels REGEX "^# labels: ")
  string(REGEX REPLACE "^# labels: " "" case_labels "${case_labels}")
  string(REPLACE " " ";" case_labels "${case_labels}")
  set_tests_properties(cli.${case_name} PROPERTIES LABELS "cli;${case_area};${case_labels}"
    SKIP_RETURN_CODE 77 ENVIRONMENT MODELS=${TESSEL_CLI_MODELS})
  file(STRINGS ${case_file} case_models REGEX "\\$MODELS")
  if(case_models)
    set_tests_properties(cli.${case_name} PROPERTIES FIXTURES_REQUIRED cli_models)
  endif()
endforeach()
