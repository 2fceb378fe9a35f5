# The OpenGL device drawn for real and read back, headless: SDL's offscreen driver gives an
# OpenGL 3.3 core context through EGL and Mesa's software renderer, with no X server.
add_executable(qh_render_gl_tests ${CMAKE_CURRENT_SOURCE_DIR}/render_gl_pixels.cpp)
target_link_libraries(qh_render_gl_tests PRIVATE qh_engine GTest::gtest GTest::gtest_main)
gtest_discover_tests(qh_render_gl_tests DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS gl ENVIRONMENT "SDL_VIDEODRIVER=offscreen;DISPLAY=;WAYLAND_DISPLAY=")
