# Extra checks of the hardening work: the tessel-sets program must be built
# before the end-to-end tests run it.
if(TARGET e2e_tests)
  add_dependencies(e2e_tests tessel_sets_program)
endif()

# Installs into a temporary prefix and builds hosts against it. Not in the
# sanitizer build: a host without the sanitizer runtime cannot load it.
if(NOT TESSEL_SANITIZE)
  add_test(NAME install.prefix
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install/install_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
  set_tests_properties(install.prefix PROPERTIES LABELS install SKIP_RETURN_CODE 77)
endif()

# The man page's option list must follow the usage text.
add_test(NAME install.manpage
  COMMAND ${CMAKE_COMMAND} -DTESSEL=$<TARGET_FILE:tessel_program> -DMAN=${CMAKE_BINARY_DIR}/tessel.1
    -DNOTES=${CMAKE_SOURCE_DIR}/man/option-notes.txt -P ${CMAKE_CURRENT_SOURCE_DIR}/install/check_manpage.cmake)
set_tests_properties(install.manpage PROPERTIES LABELS install)

# The progress test drives the tool through a pseudo-terminal (forkpty).
if(TARGET tool_tests)
  target_link_libraries(tool_tests PRIVATE util)
endif()
