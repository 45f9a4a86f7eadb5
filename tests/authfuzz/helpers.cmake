# A libFuzzer run over the sign-in listener's request parsing. libFuzzer needs
# clang; the rest of the build may use another compiler, so the fuzzer is
# built by a command of its own. Plain builds only: it brings its own
# AddressSanitizer, and one bounded run per test pass is enough.
find_program(ORVALINK_CLANGXX clang++)
if(ORVALINK_CLANGXX AND NOT ORVALINK_SANITIZE)
  set(fuzzer ${CMAKE_CURRENT_BINARY_DIR}/authrequest_fuzzer)
  set(fuzzsources ${CMAKE_CURRENT_LIST_DIR}/requestfuzz.cpp ${PROJECT_SOURCE_DIR}/authserver/httprequest.cpp
    ${PROJECT_SOURCE_DIR}/common/debuglog.cpp ${PROJECT_SOURCE_DIR}/common/fdio.cpp)
  add_custom_command(OUTPUT ${fuzzer}
    COMMAND ${ORVALINK_CLANGXX} -std=c++20 -g -O1 -Wall -Wextra -Werror -fsanitize=fuzzer,address,undefined
      -fno-sanitize-recover=undefined -I${PROJECT_SOURCE_DIR} ${fuzzsources} -o ${fuzzer}
    DEPENDS ${fuzzsources} ${PROJECT_SOURCE_DIR}/authserver/httprequest.h ${PROJECT_SOURCE_DIR}/common/debuglog.h
    COMMENT "Building the request parsing fuzzer")
  add_custom_target(authrequest_fuzz ALL DEPENDS ${fuzzer})
  # Seeds: the request lines the listener meets in practice.
  set(seeddir ${CMAKE_CURRENT_BINARY_DIR}/authfuzz-seeds)
  file(MAKE_DIRECTORY ${seeddir})
  file(WRITE ${seeddir}/completeauth "GET /api/user/completeauth?code=abc HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
  file(WRITE ${seeddir}/navigation "GET /api/user/completeauth?code=abc HTTP/1.1\r\nHost: localhost:25652\r\n\
Sec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: navigate\r\nSec-Fetch-Dest: document\r\n\r\n")
  file(WRITE ${seeddir}/image "GET /api/user/completeauth?code=abc HTTP/1.1\r\nHost: 127.0.0.1:25652\r\n\
sec-fetch-dest: image\r\nsec-fetch-mode: no-cors\r\n\r\n")
  file(WRITE ${seeddir}/favicon "GET /favicon.ico HTTP/1.1\r\n\r\n")
  file(WRITE ${seeddir}/http10 "GET / HTTP/1.0\r\n\r\n")
  add_test(NAME authrequest_fuzz
    COMMAND ${fuzzer} -max_total_time=20 -max_len=8096 -rss_limit_mb=1024
      -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/authfuzz- ${seeddir})
  set_tests_properties(authrequest_fuzz PROPERTIES LABELS fuzz TIMEOUT 60)
endif()
