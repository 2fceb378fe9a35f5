# Golden pictures of the scene engine: a small installation made by the test itself, run
# through quiet-highland-render headless, three frames compared with tests/golden/scene_*.png.
add_executable(qh_scene_golden ${CMAKE_CURRENT_LIST_DIR}/scene_golden.cpp)
target_compile_definitions(qh_scene_golden PRIVATE
  QH_CAPTURE_TOOL="$<TARGET_FILE:quiet-highland-render>"
  QH_CONTENT_DIR="${QH_SHARE_DIR}"
  QH_GOLDEN_DIR="${CMAKE_SOURCE_DIR}/tests/golden")
target_link_libraries(qh_scene_golden PRIVATE qh_test_support PkgConfig::SDL2 PkgConfig::SDL2_IMAGE GTest::gtest GTest::gtest_main)
add_dependencies(qh_scene_golden quiet-highland-render)
if(TARGET qh_content)
  add_dependencies(qh_scene_golden qh_content)  # the font the start-up loads
endif()
gtest_discover_tests(qh_scene_golden DISCOVERY_TIMEOUT 60 PROPERTIES LABELS integration TIMEOUT 300)
