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
