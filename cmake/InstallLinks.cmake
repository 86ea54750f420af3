# Runs at install time (see cmake/Install.cmake for the layout), after the
# program and the data are in place: installs the configuration file and
# links the program's folder to it, to the DTD files, and the PATH to the
# program. Inputs: JORVEX_INI_FILE, JORVEX_PROGRAM_DIR, JORVEX_DATA_DIR,
# JORVEX_BIN_DIR (relative to the prefix), JORVEX_DTD_NAMES.
#
# An existing configuration file is kept, so that reinstalling does not undo
# a user's settings (the package leaves that to dpkg's conffile handling).
# Links are made as the Debian policy asks: relative inside /usr (or the
# prefix), absolute from the program folder into /etc.

string(REGEX REPLACE "/+$" "" prefix "${CMAKE_INSTALL_PREFIX}")
if(prefix STREQUAL "" OR prefix STREQUAL "/usr")
  set(config_dir /etc/jorvex)
else()
  set(config_dir "${prefix}/etc/jorvex")
endif()
set(program_dir "${prefix}/${JORVEX_PROGRAM_DIR}")

if(EXISTS "$ENV{DESTDIR}${config_dir}/Jorvex.ini")
  message(STATUS "Keeping: $ENV{DESTDIR}${config_dir}/Jorvex.ini")
else()
  # file(INSTALL) puts DESTDIR in front and records the file in the manifest.
  file(INSTALL "${JORVEX_INI_FILE}" DESTINATION "${config_dir}"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()

# jorvex_link(TARGET LINK): LINK (a full path without DESTDIR) points to TARGET.
function(jorvex_link target link)
  get_filename_component(folder "$ENV{DESTDIR}${link}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  message(STATUS "Installing: $ENV{DESTDIR}${link} -> ${target}")
  file(CREATE_LINK "${target}" "$ENV{DESTDIR}${link}" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "$ENV{DESTDIR}${link}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

function(jorvex_relative_link target link)
  get_filename_component(folder "${link}" DIRECTORY)
  file(RELATIVE_PATH relative "${folder}" "${target}")
  jorvex_link("${relative}" "${link}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

jorvex_link("${config_dir}/Jorvex.ini" "${program_dir}/Jorvex.ini")
foreach(name IN LISTS JORVEX_DTD_NAMES)
  jorvex_relative_link("${prefix}/${JORVEX_DATA_DIR}/${name}" "${program_dir}/${name}")
endforeach()
jorvex_relative_link("${program_dir}/jorvex" "${prefix}/${JORVEX_BIN_DIR}/jorvex")
