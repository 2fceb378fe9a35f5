# The clock drawn for real: quiet-highland-render, headless, against tests/golden/overlay_*.png.
# Not part of qh_unit_tests: it needs the capture tool and the generated font.
add_executable(qh_overlay_golden ${CMAKE_CURRENT_LIST_DIR}/overlay_golden.cpp)
target_compile_definitions(qh_overlay_golden PRIVATE
  QH_CAPTURE_TOOL="$<TARGET_FILE:quiet-highland-render>"
  QH_CONTENT_DIR="${QH_SHARE_DIR}"
  QH_GOLDEN_DIR="${CMAKE_SOURCE_DIR}/tests/golden")
target_link_libraries(qh_overlay_golden PRIVATE qh_test_data PkgConfig::SDL2 PkgConfig::SDL2_IMAGE GTest::gtest GTest::gtest_main)
add_dependencies(qh_overlay_golden quiet-highland-render)
if(TARGET qh_content)
  add_dependencies(qh_overlay_golden qh_content)  # the bundled font
endif()
gtest_discover_tests(qh_overlay_golden DISCOVERY_TIMEOUT 60 PROPERTIES LABELS integration TIMEOUT 300)
