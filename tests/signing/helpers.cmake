# scripts/sign, which the signature tests run as a service operator runs it
# (signtool.h).
foreach(name IN ITEMS signature_test pluginhost_test updatecheck_test)
  if(TARGET ${name})
    target_compile_definitions(${name} PRIVATE SIGNSCRIPT="${PROJECT_SOURCE_DIR}/scripts/sign")
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  endif()
endforeach()
