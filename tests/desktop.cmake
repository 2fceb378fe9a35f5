# The saver as desktops' screensaver daemons meet it: the long options, drawing into a
# daemon's window (an xlogo window, the root window), the real XScreenSaver daemon under
# Xvfb, MATE's daemon on two monitors, the sleep notice from a test logind on a private D-Bus,
# the manual pages, the desktop files.
pkg_check_modules(GIO_TESTS REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)
add_executable(desktop_test_tool ${CMAKE_CURRENT_LIST_DIR}/desktop_test_tool.cpp)
target_link_libraries(desktop_test_tool PRIVATE PkgConfig::SDL2 PkgConfig::SDL2_IMAGE PkgConfig::GIO_TESTS)

set(desktop_cases
  help_and_bad_options
  settings_options_change_the_picture
  window_id_draws_into_xlogo
  window_id_that_does_not_exist
  root_draws_into_the_root_window
  wallpaper_covers_the_root_window
  xscreensaver_daemon_runs_it
  mate_daemon_runs_it
  sleep_notice_ends_it
  no_system_bus_changes_nothing
  saver_covers_every_monitor
  manual_pages_cover_every_option
  covered_window_draws_nothing
  battery_lowers_the_frame_rate
  desktop_files_are_valid)
foreach(case ${desktop_cases})
  add_test(NAME desktop.${case}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/desktop_integration.sh ${case} ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
  set_tests_properties(desktop.${case} PROPERTIES LABELS integration TIMEOUT 240 SKIP_RETURN_CODE 77)
endforeach()
# MATE's daemon sees XScreenSaver's program folder, where the package test installs the program.
set_tests_properties(desktop.mate_daemon_runs_it PROPERTIES RESOURCE_LOCK system_screensavers)
