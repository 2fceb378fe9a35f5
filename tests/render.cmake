# The OpenGL device drawn for real and read back, headless: SDL's offscreen driver gives an
# OpenGL 3.3 core context through EGL and Mesa's software renderer, with no X server.
add_executable(qh_render_gl_tests ${CMAKE_CURRENT_SOURCE_DIR}/render_gl_pixels.cpp)
target_link_libraries(qh_render_gl_tests PRIVATE qh_test_support GTest::gtest GTest::gtest_main)
gtest_discover_tests(qh_render_gl_tests DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS gl ENVIRONMENT "SDL_VIDEODRIVER=offscreen;DISPLAY=;WAYLAND_DISPLAY=")

# The capture tool, headless, with the generated content of the build tree.
foreach(case png repeat wav refused)
  add_test(NAME capture.${case}
           COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:quiet-highland-render>
                   -DWORK=${CMAKE_CURRENT_BINARY_DIR}/capture_${case} -DCASE=${case}
                   -P ${CMAKE_CURRENT_LIST_DIR}/render_capture/check.cmake)
  set_tests_properties(capture.${case} PROPERTIES LABELS integration TIMEOUT 120)
endforeach()

# The frame tests run the saver's content loading in the data folder the build generates.
target_compile_definitions(qh_unit_tests PRIVATE QH_TEST_DATA_DIR="${QH_SHARE_DIR}/Data")
if(TARGET qh_content)
  add_dependencies(qh_unit_tests qh_content)
endif()
