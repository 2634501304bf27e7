# Writes the Debian symbols file of the shared library: every exported symbol
# with the version that introduced it (all of them: 3.0.0.34), and the
# development package, whose version a build against the library pins.
#   cmake -DLIBRARY=... -DPACKAGE=libkorvex3 -DDEV_PACKAGE=libkorvex-dev -DVERSION=... -DOUTPUT=... -P debian-symbols.cmake
execute_process(COMMAND nm -D --defined-only --with-symbol-versions ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
execute_process(COMMAND objdump -p ${LIBRARY} OUTPUT_VARIABLE headers)
string(REGEX MATCH "SONAME +([^\n]+)" soname "${headers}")
set(soname ${CMAKE_MATCH_1})
string(REPLACE "\n" ";" lines "${listing}")
set(symbols)
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-f]* +[A-Za-z] +([^ ]+)$")
    string(REPLACE "@@" "@" symbol "${CMAKE_MATCH_1}")
    # A version node (KORVEX_3) is named by itself, as dpkg-gensymbols writes it.
    if(NOT symbol MATCHES "@")
      set(symbol "${symbol}@${symbol}")
    endif()
    list(APPEND symbols " ${symbol} ${VERSION}")
  endif()
endforeach()
list(SORT symbols)
list(JOIN symbols "\n" body)
file(WRITE ${OUTPUT} "${soname} ${PACKAGE} #MINVER#\n* Build-Depends-Package: ${DEV_PACKAGE}\n${body}\n")
