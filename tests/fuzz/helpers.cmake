# libFuzzer targets for what reads untrusted input: the relay's message
# reader and message splitting, the machine check of downloaded plugin files,
# page events decoded into the script's callback, and the key text of
# sendstring and hotkeys. As with the request parsing fuzzer (tests/authfuzz),
# clang builds them by a command of its own, in plain builds only, and each
# runs for a bounded time per test pass (label "fuzz"). Seeds live in
# tests/fuzz/<name>/corpus/, together with any input that once failed; what a
# run adds to the corpus stays in the build directory.
find_program(ORVALINK_CLANGXX clang++)
if(ORVALINK_CLANGXX AND NOT ORVALINK_SANITIZE)
  set(orva_fuzz_dir ${CMAKE_CURRENT_LIST_DIR})
  set(orva_fuzz_seconds 10)

  # orva_fuzzer(<name> SOURCES <our sources...> [FLAGS <compile flags>]
  #             [LIBS <link items>] [OPTIONS <libFuzzer options>])
  function(orva_fuzzer name)
    cmake_parse_arguments(F "" "" "SOURCES;FLAGS;LIBS;OPTIONS" ${ARGN})
    set(fuzzer ${CMAKE_CURRENT_BINARY_DIR}/${name}_fuzzer)
    set(harness ${orva_fuzz_dir}/${name}/${name}fuzz.cpp)
    list(TRANSFORM F_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/)
    file(GLOB headers ${PROJECT_SOURCE_DIR}/*/*.h)
    add_custom_command(OUTPUT ${fuzzer}
      COMMAND ${ORVALINK_CLANGXX} -std=c++20 -g -O1 -Wall -Wextra -Werror
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
        -I${PROJECT_SOURCE_DIR} -I${PROJECT_BINARY_DIR} ${F_FLAGS} ${harness} ${F_SOURCES} ${F_LIBS} -o ${fuzzer}
      DEPENDS ${harness} ${F_SOURCES} ${headers}
      COMMAND_EXPAND_LISTS
      COMMENT "Building the ${name} fuzzer")
    add_custom_target(${name}_fuzzer_build ALL DEPENDS ${fuzzer})
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-fuzz-corpus)
    file(MAKE_DIRECTORY ${work})
    add_test(NAME ${name}_fuzz
      COMMAND ${fuzzer} -max_total_time=${orva_fuzz_seconds} -max_len=4096 -rss_limit_mb=2048 -timeout=10
        -print_final_stats=1 -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${name}-fuzz- ${F_OPTIONS}
        ${work} ${orva_fuzz_dir}/${name}/corpus)
    set_tests_properties(${name}_fuzz PROPERTIES LABELS fuzz TIMEOUT 60)
  endfunction()

  orva_fuzzer(relaymessage SOURCES protocol/relayframe.cpp protocol/relaymessage.cpp common/fdio.cpp)
  orva_fuzzer(machinecheck SOURCES protocol/machinecheck.cpp common/fdio.cpp)
  orva_fuzzer(inputtext SOURCES automation/inputplan.cpp automation/keytables.cpp)
  # The page-event path runs in a real script state: our glue compiled here,
  # Lua, the JSON module and Qt's core library as built by Debian.
  get_target_property(qtincludes Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
  set(includes ${qtincludes} ${LUA_INCLUDE_DIRS})
  list(TRANSFORM includes PREPEND -I)
  orva_fuzzer(pageevent
    SOURCES automation/qxinput.cpp automation/automationstate.cpp automation/luavalues.cpp
      automation/inputplan.cpp automation/keytables.cpp automation/textlimits.cpp common/debuglog.cpp
      common/fdio.cpp
    FLAGS -fPIC ${includes}
    LIBS $<TARGET_FILE:orva_cjson> ${LUA_LINK_LIBRARIES} $<TARGET_FILE:Qt6::Core>
    OPTIONS -dict=${orva_fuzz_dir}/pageevent/json.dict)
endif()
