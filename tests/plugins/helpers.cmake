# Real plugin libraries for the plugin tests: the same source built for the
# program's own machine (served in-process) and for 32-bit x86 (served through
# modrelay). The 32-bit one is built without sanitizers, like modrelay.
add_library(testplugin64 MODULE ${CMAKE_CURRENT_LIST_DIR}/testplugin.c)
target_compile_options(testplugin64 PRIVATE ${orva_warnings})
target_link_libraries(testplugin64 PRIVATE ${CMAKE_DL_LIBS})

add_library(testplugin32 MODULE ${CMAKE_CURRENT_LIST_DIR}/testplugin.c)
set_target_properties(testplugin32 PROPERTIES
  AUTOMOC OFF
  COMPILE_OPTIONS "-m32;${orva_warnings}"
  LINK_OPTIONS "-m32")
target_link_libraries(testplugin32 PRIVATE ${CMAKE_DL_LIBS})
target_include_directories(testplugin64 PRIVATE ${PROJECT_SOURCE_DIR})
target_include_directories(testplugin32 PRIVATE ${PROJECT_SOURCE_DIR})

foreach(name IN ITEMS pluginmachine_test pluginworker_test pluginhost_test modrelay_test)
  if(TARGET ${name})
    target_compile_definitions(${name} PRIVATE
      TESTPLUGIN64="$<TARGET_FILE:testplugin64>"
      TESTPLUGIN32="$<TARGET_FILE:testplugin32>"
      MODRELAY="$<TARGET_FILE:modrelay>")
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
    add_dependencies(${name} testplugin64 testplugin32 modrelay)
  endif()
endforeach()
