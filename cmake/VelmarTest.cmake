include(GoogleTest)

# velmar_test(NAME <exe> LABEL <subsystem> SOURCES ... [LIBS ...] [DISPLAY])
# One GoogleTest executable; its tests are listed in CTest under the subsystem's label.
# DISPLAY runs the whole executable on a virtual X server of its own (Xvfb, Mesa software GL).
function(velmar_test)
  cmake_parse_arguments(T "DISPLAY" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  # Every test program gets a temporary HOME from before the engine's globals on.
  add_executable(${T_NAME} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/hilfe/TestHeim.cpp)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} testhilfe GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(T_DISPLAY)
    add_test(NAME ${T_NAME} COMMAND ${CMAKE_SOURCE_DIR}/scripts/mit_xvfb.sh $<TARGET_FILE:${T_NAME}>)
    # Mesa's driver leaves allocations behind when GLFW unloads it at exit; they come from a
    # module no longer loaded, so they cannot be suppressed by name. Memory errors are
    # still caught; leaks are checked by the tests without a display.
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABEL};display" TIMEOUT ${T_TIMEOUT}
                         ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
  else()
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
                         PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT})
  endif()
endfunction()
