# Extra checks of the hardening work: the tessel-sets program must be built
# before the end-to-end tests run it.
if(TARGET e2e_tests)
  add_dependencies(e2e_tests tessel_sets_program)
endif()
