# tollenby_add_test(NAME <target> SOURCES <files...> LIBS <targets...> [QT])
# Builds one GoogleTest binary and registers every test in it with CTest.
# QT: the binary drives widgets; tests/support/qt_test_main.cpp is its entry, it links the Qt part of
# the test support, and it runs on the offscreen platform, so no display is needed.
function(tollenby_add_test)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS" ${ARGN})
  if(T_QT)
    list(APPEND T_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/qt_test_main.cpp)
    list(APPEND T_LIBS tollenby_test_support_qt)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE tollenby_flags ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Every sanitizer suppression lives in tests/sanitizers/, one file per sanitizer (their formats differ).
  set(supp ${PROJECT_SOURCE_DIR}/tests/sanitizers)
  set(env "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${supp}/tsan.supp"
          "LSAN_OPTIONS=suppressions=${supp}/lsan.supp")
  if(T_QT)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${env}" TIMEOUT 120)
endfunction()
