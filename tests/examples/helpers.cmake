# The documentation and example checks read files of the source tree.
if(TARGET examples_test)
  target_compile_definitions(examples_test PRIVATE ORVA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
