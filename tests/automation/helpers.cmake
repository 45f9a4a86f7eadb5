# The script host's unit test opens the JSON module from its own executable.
if(TARGET automation_test)
  orva_export_cjson(automation_test)
endif()

# Component tests of the automation library on a real desktop, labelled
# "display": they need an X server with a window manager (EWMH), a D-Bus
# session bus with the accessibility bus, xdotool and xclip (scripts/test
# runs them under xvfb-run with icewm and at-spi-bus-launcher). Without a
# display they fail.
if(ORVALINK_GUI)
  set(automation_dir ${CMAKE_CURRENT_LIST_DIR})
  add_executable(orva_testwindow ${automation_dir}/testwindow.cpp)
  target_compile_options(orva_testwindow PRIVATE ${orva_warnings})
  target_link_libraries(orva_testwindow PRIVATE PkgConfig::ORVA_X11)

  add_executable(orva_fieldwindow ${automation_dir}/fieldwindow.cpp)
  target_compile_options(orva_fieldwindow PRIVATE ${orva_warnings})
  target_link_libraries(orva_fieldwindow PRIVATE Qt6::Widgets)

  add_executable(orva_automationhost ${automation_dir}/automationhost.cpp)
  target_compile_options(orva_automationhost PRIVATE ${orva_warnings})
  target_link_libraries(orva_automationhost PRIVATE orva_gui)
  orva_export_cjson(orva_automationhost)

  foreach(script windows input hotkeys text page)
    add_test(NAME automation_${script}
      COMMAND orva_automationhost ${automation_dir}/scripts/ ${automation_dir}/scripts/${script}.lua
      WORKING_DIRECTORY ${automation_dir}/workdir)
    set_tests_properties(automation_${script} PROPERTIES
      LABELS display
      TIMEOUT 120
      RESOURCE_LOCK desktop
      FAIL_REGULAR_EXPRESSION "FAILED:"
      ENVIRONMENT "ORVA_TESTWINDOW=$<TARGET_FILE:orva_testwindow>;ORVA_FIELDWINDOW=$<TARGET_FILE:orva_fieldwindow>;LOCALAPPDATA=${CMAKE_CURRENT_BINARY_DIR}/automation-localappdata")
  endforeach()
endif()
