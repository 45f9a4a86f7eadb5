# Windows (PE) plugin libraries for the Wine tests, built with mingw-w64 where
# it is installed: tests/testpluginpe64.qxp and tests/testpluginpe32.qxp.
foreach(bits IN ITEMS 64 32)
  if(bits EQUAL 64)
    find_program(ORVA_MINGW${bits} x86_64-w64-mingw32-gcc)
  else()
    find_program(ORVA_MINGW${bits} i686-w64-mingw32-gcc)
  endif()
  if(NOT ORVA_MINGW${bits})
    continue()
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/testpluginpe${bits}.qxp)
  add_custom_command(OUTPUT ${out}
    COMMAND ${ORVA_MINGW${bits}} -shared -O2 -Wall -Wextra -Werror -static-libgcc -o ${out}
            ${CMAKE_CURRENT_LIST_DIR}/testpluginpe.c
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/testpluginpe.c VERBATIM)
  add_custom_target(testpluginpe${bits} ALL DEPENDS ${out})
endforeach()
