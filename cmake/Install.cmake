# Install rules (cmake --install <build> [--prefix P]).
#
# The program looks for Jorvex.ini and its DTD in its own folder (the real
# folder of the executable, symbolic links resolved), so it gets a folder
# of its own under lib/ and everything else is linked into it:
#
#   bin/jorvex                    -> ../lib/jorvex/jorvex (on the PATH)
#   bin/jorvex-check              the export checker; it finds the standard
#                                 DTD in ../share/jorvex/ from its folder
#   lib/jorvex/jorvex             the program
#   lib/jorvex/Jorvex.ini         -> <etc>/jorvex/Jorvex.ini
#   lib/jorvex/<name>.dtd         -> ../../share/jorvex/<name>.dtd
#   <etc>/jorvex/Jorvex.ini       the configuration; <etc> is /etc for the
#                                 prefixes /usr and /, <prefix>/etc otherwise
#   share/jorvex/<name>.dtd       read-only data
#   share/doc/jorvex/             README, sample journals and signature
#                                 definition, packaging notes
#   share/man/man1/jorvex.1.gz    the manual pages
#   share/man/man1/jorvex-check.1.gz
#
# The prefix is known for certain only when the install runs (--prefix, or
# the package's /usr), so the configuration file and the links are made by
# cmake/InstallLinks.cmake at that time.
include(GNUInstallDirs)

set(JORVEX_INSTALL_PROGRAM_DIR lib/jorvex)
set(JORVEX_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/jorvex)
file(GLOB JORVEX_DTD_FILES ${PROJECT_SOURCE_DIR}/data/*.dtd)

install(TARGETS jorvex RUNTIME DESTINATION ${JORVEX_INSTALL_PROGRAM_DIR})
install(TARGETS jorvex-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${JORVEX_DTD_FILES} DESTINATION ${JORVEX_INSTALL_DATA_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/examples/sample-native.txt
              ${PROJECT_SOURCE_DIR}/examples/sample-ascii.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
file(GLOB sample_sign_defs ${PROJECT_SOURCE_DIR}/examples/kvd/*.kvd)
install(FILES ${sample_sign_defs} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/kvd)

# jorvex_gzip(SOURCE OUTPUT): OUTPUT = SOURCE compressed as Debian wants
# documentation, at the highest level and without a time stamp (gzip -9n).
find_program(GZIP_PROGRAM gzip REQUIRED)
function(jorvex_gzip source output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  get_filename_component(folder ${output} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND ${GZIP_PROGRAM} -9nc ${source} OUTPUT_FILE ${output}
                  COMMAND_ERROR_IS_FATAL ANY)
endfunction()

foreach(page jorvex jorvex-check)
  jorvex_gzip(${PROJECT_SOURCE_DIR}/packaging/${page}.1 ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.1.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(dtd_names)
foreach(dtd IN LISTS JORVEX_DTD_FILES)
  get_filename_component(name ${dtd} NAME)
  list(APPEND dtd_names ${name})
endforeach()
install(CODE "
  set(JORVEX_INI_FILE \"${PROJECT_SOURCE_DIR}/examples/Jorvex.ini\")
  set(JORVEX_PROGRAM_DIR \"${JORVEX_INSTALL_PROGRAM_DIR}\")
  set(JORVEX_DATA_DIR \"${JORVEX_INSTALL_DATA_DIR}\")
  set(JORVEX_BIN_DIR \"${CMAKE_INSTALL_BINDIR}\")
  set(JORVEX_DTD_NAMES \"${dtd_names}\")
")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallLinks.cmake)
