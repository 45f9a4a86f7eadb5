# The script host's unit test opens the JSON module from its own executable.
if(TARGET automation_test)
  orva_export_cjson(automation_test)
endif()
