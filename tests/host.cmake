# The saver as a user meets it: the real program under Xvfb with openbox, driven with
# xdotool. Each case starts its own X server and points HOME and the XDG folders at a
# fresh temporary folder.
add_executable(host_test_window ${CMAKE_CURRENT_LIST_DIR}/host_test_window.cpp)
target_link_libraries(host_test_window PRIVATE PkgConfig::X11)

set(host_cases
  saver_stays_running
  saver_ignores_mouse_motion
  saver_key_ends_it
  saver_click_ends_it
  saver_focus_loss_ends_it
  saver_sigterm_ends_it
  preview_sigterm_ends_it
  fatal_box_sigterm_ends_it
  fatal_box_sighup_ends_it
  fatal_box_sigkill_leaves_nothing
  saver_writes_default_settings
  saver_plays_sound
  saver_runs_without_sound
  saver_without_a_card_says_one_line
  saver_refused_sound_files
  saver_sound_survives_its_server
  two_savers_one_sound
  preview_stays_until_host_window_destroyed
  preview_bad_window_id
  negative_window_numbers_refused
  configure_missing_links_txt)
foreach(case ${host_cases})
  add_test(NAME host.${case}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/host_integration.sh ${case}
            $<TARGET_FILE:quiet-highland> $<TARGET_FILE:host_test_window>)
  set_tests_properties(host.${case} PROPERTIES LABELS integration TIMEOUT 60)
endforeach()
set_tests_properties(host.saver_refused_sound_files PROPERTIES TIMEOUT 300)
# Its bound is on frame times: another test on the other core would be measured, not the outage.
set_tests_properties(host.saver_sound_survives_its_server PROPERTIES RUN_SERIAL TRUE)

# The settings dialog as a user meets it; the capture tool shows what OK changed.
set(dialog_cases
  dialog_keyboard_ok_changes_the_next_run
  dialog_escape_writes_nothing
  dialog_close_box_without_switch
  dialog_picture_opens_link
  dialog_transient_for_parent
  dialog_parent_does_not_exist
  dialog_missing_picture)
foreach(case ${dialog_cases})
  add_test(NAME host.${case}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/host_integration.sh ${case}
            $<TARGET_FILE:quiet-highland> $<TARGET_FILE:host_test_window>)
  set_tests_properties(host.${case} PROPERTIES LABELS integration TIMEOUT 90
    ENVIRONMENT "QH_CAPTURE_TOOL=$<TARGET_FILE:quiet-highland-render>")
endforeach()
