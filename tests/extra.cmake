# The embedding header must compile as C on its own.
add_library(tessel_header_c_check OBJECT embed/header_check.c)
target_include_directories(tessel_header_c_check PRIVATE ${CMAKE_SOURCE_DIR}/embed)
target_compile_options(tessel_header_c_check PRIVATE ${TESSEL_WARNINGS} -pedantic)
set_target_properties(tessel_header_c_check PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)

# The host programs run by the end-to-end tests.
if(TARGET e2e_tests AND TARGET tessel-host AND TARGET tessel-host-linked)
  target_compile_definitions(e2e_tests PRIVATE
    TESSEL_HOST="$<TARGET_FILE:tessel-host>"
    TESSEL_HOST_LINKED="$<TARGET_FILE:tessel-host-linked>")
  add_dependencies(e2e_tests tessel-host tessel-host-linked tessel_header_c_check)
endif()

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
