# The sound of the capture tool, end to end, with the generated content of the build tree.
add_executable(qh_sound_capture ${CMAKE_CURRENT_LIST_DIR}/sound_capture.cpp)
target_compile_definitions(qh_sound_capture PRIVATE
  QH_CAPTURE_TOOL="$<TARGET_FILE:quiet-highland-render>"
  QH_CONTENT_DIR="${QH_SHARE_DIR}")
target_link_libraries(qh_sound_capture PRIVATE qh_sound GTest::gtest GTest::gtest_main)
add_dependencies(qh_sound_capture quiet-highland-render)
if(TARGET qh_content)
  add_dependencies(qh_sound_capture qh_content)
endif()
gtest_discover_tests(qh_sound_capture DISCOVERY_TIMEOUT 60 PROPERTIES LABELS integration TIMEOUT 300)
