# What `cmake --install` puts under the prefix: the tools, the plug-in (the
# native library, and the Windows DLL when its build folder holds one), the
# man page, the documentation and the examples.
install(TARGETS corvane-sim corvane-replay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS tessaly_corvane LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/${CORVANE_PLUGIN_DIR})
install(FILES ${CORVANE_DLL_DIR}/plugin/tessaly_corvane.dll
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/${CORVANE_PLUGIN_DIR} OPTIONAL)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs examples DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The man page, made from the --help texts at each build so that it says
# what the program does.
find_program(HELP2MAN help2man REQUIRED)
set(man_page ${CMAKE_BINARY_DIR}/corvane-sim.1)
add_custom_command(OUTPUT ${man_page}
  COMMAND ${CMAKE_COMMAND} -E env CORVANE_SIM=$<TARGET_FILE:corvane-sim>
          ${HELP2MAN} --no-info --version-string "corvane-sim ${PROJECT_VERSION}"
          --name "drive a train-control plug-in along a route, and lay out its beacons"
          --include ${CMAKE_SOURCE_DIR}/cmake/corvane-sim.h2m --output ${man_page}
          ${CMAKE_SOURCE_DIR}/cmake/man_help.sh
  DEPENDS corvane-sim ${CMAKE_SOURCE_DIR}/cmake/man_help.sh ${CMAKE_SOURCE_DIR}/cmake/corvane-sim.h2m
  COMMENT "Writing the man page corvane-sim.1 from --help")
add_custom_target(man_page ALL DEPENDS ${man_page})
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
