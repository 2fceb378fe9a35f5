# The settings dialog and its link control drawn by GTK on a real X server: one test
# program, each group of cases run on an Xvfb of its own (tests/ui_xvfb.sh).
add_executable(qh_ui_tests
  ${CMAKE_CURRENT_LIST_DIR}/ui_gtk_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_gtk_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_gtk_hyperlink.cpp)
target_link_libraries(qh_ui_tests PRIVATE qh_test_support GTest::gtest)
foreach(suite SettingsDialogTest HyperlinkTest HyperlinkOpenTest)
  add_test(NAME ui.${suite}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/ui_xvfb.sh $<TARGET_FILE:qh_ui_tests> --gtest_filter=${suite}.*)
  set_tests_properties(ui.${suite} PROPERTIES LABELS integration TIMEOUT 120)
endforeach()
