# The bundled content: a test program of its own that reads the generated data folder of
# this build (and runs the generator twice more to check that it is deterministic), and
# runs each bundled scene through the capture tool to see it drawn and alive.
# It is not part of qh_unit_tests: it needs the generated files, not the engine.
get_target_property(unit_test_sources qh_unit_tests SOURCES)
list(FILTER unit_test_sources EXCLUDE REGEX "/content_test\\.cpp$")
set_property(TARGET qh_unit_tests PROPERTY SOURCES ${unit_test_sources})

pkg_check_modules(VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile)
add_executable(qh_content_tests ${CMAKE_CURRENT_SOURCE_DIR}/content_test.cpp)
target_compile_definitions(qh_content_tests PRIVATE
  QH_CONTENT_DIR="${QH_SHARE_DIR}"
  QH_CONTENT_GENERATOR="$<TARGET_FILE:qh-make-content>"
  QH_CAPTURE_TOOL="$<TARGET_FILE:quiet-highland-render>"
  QH_GOLDEN_DIR="${CMAKE_SOURCE_DIR}/tests/golden")
target_include_directories(qh_content_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(qh_content_tests PRIVATE PkgConfig::SDL2 PkgConfig::SDL2_IMAGE PkgConfig::VORBISFILE
                      GTest::gtest GTest::gtest_main)
add_dependencies(qh_content_tests qh_content quiet-highland-render)
gtest_discover_tests(qh_content_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS content TIMEOUT 300)
