# velorin_module(<target> [DEPS ...] [PRIVATE_DEPS ...])
# A module is one folder: its .cpp files form a static library whose headers are
# included from the project root ("platform/Log.h").
function(velorin_module name)
  cmake_parse_arguments(M "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${M_DEPS} PRIVATE ${M_PRIVATE_DEPS})
endfunction()

# velorin_tests(<module target> [WINDOWS] [DEPS ...])
# Builds <module>/tests/*.cpp into <target>_tests and registers each test with CTest.
# WINDOWS: the tests open windows on the one X server that CTest runs under and rely on
# which window is active (focus, shortcuts), so they run one at a time.
function(velorin_tests name)
  if(NOT VELORIN_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "WINDOWS" "" "DEPS" ${ARGN})
  set(lock)
  if(T_WINDOWS)
    set(lock RESOURCE_LOCK display)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  add_executable(${name}_tests ${sources})
  target_link_libraries(${name}_tests PRIVATE ${name} velorin_testing ${T_DEPS}
    GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name}_tests PRIVATE
    VELORIN_FIXTURES="${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures")
  gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "VELORIN_TEST=1" ${lock})
endfunction()
