# The Debian package: scripts/package.sh over the build tree, what it holds, lintian's
# verdict, and (as root) its installation with apt-get, a run from /usr and its removal.
set(package_cases package_holds_what_the_saver_needs package_installs_runs_and_goes_away)
foreach(case ${package_cases})
  add_test(NAME package.${case}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_integration.sh ${case} ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
  set_tests_properties(package.${case} PROPERTIES LABELS package TIMEOUT 600 SKIP_RETURN_CODE 77)
endforeach()
# Installing puts the program into XScreenSaver's folder, which MATE's test of the build
# tree sees as well.
set_tests_properties(package.package_installs_runs_and_goes_away PROPERTIES RESOURCE_LOCK system_screensavers)
