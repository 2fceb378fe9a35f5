# The saver and the wallpaper on Wayland desktops: headless sway as an unprivileged user
# (two outputs of different sizes, grim, wtype, swaymsg), and weston without the layer shell.
set(wayland_cases
  wallpaper_on_two_outputs
  saver_over_a_full_screen_window
  outputs_come_and_go
  covered_wallpaper_rests
  no_layer_shell)
foreach(case ${wayland_cases})
  add_test(NAME wayland.${case}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/wayland_integration.sh ${case} ${CMAKE_BINARY_DIR})
  set_tests_properties(wayland.${case} PROPERTIES LABELS integration TIMEOUT 120)
endforeach()
