# One interface target that carries the language level, warnings and Qt strictness for every target.
add_library(vantrel_options INTERFACE)
target_compile_features(vantrel_options INTERFACE cxx_std_20)
target_compile_options(vantrel_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(vantrel_options INTERFACE
  QT_NO_KEYWORDS
  QT_USE_QSTRINGBUILDER
  QT_NO_CAST_TO_ASCII
  QT_DISABLE_DEPRECATED_UP_TO=0x060000)
if(VANTREL_WERROR)
  target_compile_options(vantrel_options INTERFACE -Werror)
endif()
if(VANTREL_SANITIZE)
  # No dynamic-type checks: the office's objects come from its own uninstrumented libraries, whose type
  # information the checker cannot match, so every call through a UNO reference would be reported.
  target_compile_options(vantrel_options INTERFACE -fsanitize=address,undefined -fno-sanitize=vptr
                                                   -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(vantrel_options INTERFACE -fsanitize=address,undefined)
endif()

# Adds a QtTest executable as a ctest test. Usage:
#   vantrel_add_test(NAME test_money SOURCES tst_money.cpp LIBS vantrel_text [LABELS office] [WIDGETS])
function(vantrel_add_test)
  cmake_parse_arguments(T "WIDGETS" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE vantrel_options Qt6::Test ${T_LIBS} vantrel_testsupport)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600)
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
