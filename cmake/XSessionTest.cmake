# The end-to-end test in a real X session (scripts/xsession-test.sh): the wizard from step 0 to
# Finish on a demo installation in a temporary folder, driven by keys under Xvfb. It runs copies
# of the programs beside their own brellon.ini, so it never touches the build folder's one and
# runs beside the other tests. Skipped (status 77) when Xvfb or xdotool is missing.
if(TARGET tarnwick AND TARGET palmfixture AND TARGET palmdump)
  add_test(NAME xsession
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/xsession-test.sh
                   --build ${CMAKE_BINARY_DIR}
                   --tarnwick $<TARGET_FILE:tarnwick>
                   --palmfixture $<TARGET_FILE:palmfixture>
                   --palmdump $<TARGET_FILE:palmdump>
                   --screenshots ${CMAKE_BINARY_DIR}/screenshots)
  # The same on an installation whose four databases are the Jet 4 files of tests/data/jet.
  add_test(NAME xsession-jet
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/xsession-test.sh
                   --build ${CMAKE_BINARY_DIR}
                   --tarnwick $<TARGET_FILE:tarnwick>
                   --palmfixture $<TARGET_FILE:palmfixture>
                   --palmdump $<TARGET_FILE:palmdump>
                   --generation jet
                   --screenshots ${CMAKE_BINARY_DIR}/screenshots)
  # The script's own waits add up to less than this.
  set_tests_properties(xsession xsession-jet PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS "gui;xsession")
endif()
