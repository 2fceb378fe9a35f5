# Damaged installations run through the capture tool (tests/hostile_data.sh), one test per
# damaged file so they run side by side ("shared": loaders naming each other's files). Also
# run in the sanitizer build (label hostile).
set(hostile_files gameobjs.txt level0.lev level1.lev _a_back0.jpg _a_back1.jpg font.dat _a_font.jpg stone.tga
                  _a_boulder.jpg lake.jpg links.txt registry.reg shared)
foreach(file ${hostile_files})
  add_test(NAME hostile.${file}
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/hostile_data.sh $<TARGET_FILE:quiet-highland-render> ${QH_SHARE_DIR}
                   ${file})
  set_tests_properties(hostile.${file} PROPERTIES LABELS hostile TIMEOUT 1200)
endforeach()

# The long run under the sanitizers (tests/soak.sh): 5,000 one-second frames through every
# scene with the music and the nature sounds mixed, memory flat after the first rounds. Only
# in the sanitizer build, whose ctest run takes the hostile label.
if(QH_SANITIZE)
  add_test(NAME hostile.soak
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/soak.sh $<TARGET_FILE:quiet-highland-render> ${QH_SHARE_DIR} 5000)
  set_tests_properties(hostile.soak PROPERTIES LABELS hostile TIMEOUT 2400)
endif()
