# zorvane_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [GUI] [LABELS l ...] [TIMEOUT s]
#                  [ARGS test-function ...] [ACCESS_ARGS test-function ...])
# Builds one test executable and registers it with ctest. GUI tests run on the
# offscreen platform so they need no display. ARGS limits the run to those
# test functions. ACCESS_ARGS are the functions that compare with files
# written by Microsoft Access: they run as a ctest entry of their own,
# name_access, reported as skipped where those files are missing.
function(zorvane_add_test)
  cmake_parse_arguments(T "GUI" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ARGS;ACCESS_ARGS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} ${T_ARGS})
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
  if(T_ACCESS_ARGS)
    add_test(NAME ${T_NAME}_access COMMAND ${T_NAME} ${T_ACCESS_ARGS})
    set_tests_properties(${T_NAME}_access PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT}
                         LABELS "access;${T_LABELS}"
                         SKIP_REGULAR_EXPRESSION "SKIP .*no Access-written fixture files")
  endif()
endfunction()
