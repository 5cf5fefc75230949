# zorvane_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [GUI] [LABELS l ...] [TIMEOUT s])
# Builds one test executable and registers it with ctest. GUI tests run on the
# offscreen platform so they need no display.
function(zorvane_add_test)
  cmake_parse_arguments(T "GUI" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "ZORVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
          "ZORVANE_BINARY_DIR=${CMAKE_BINARY_DIR}")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT}
                       LABELS "${T_LABELS}")
endfunction()
