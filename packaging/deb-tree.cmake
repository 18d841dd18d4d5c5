# Run by cpack once it has installed the package's files into its staging tree, before it builds the .deb: what
# Debian's own packaging tools (dh_python3, dh_strip) would do to the tree, and a check of the maintainer.

# A Debian package names a maintainer who answers mail.
if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER MATCHES "^[^<>@]+ <[^<>@ ]+@[^<>@ ]+\\.[^<>@ ]+>$"
   OR CPACK_DEBIAN_PACKAGE_MAINTAINER MATCHES "@localhost")
  message(FATAL_ERROR "The package needs a maintainer, \"Full Name <address>\": set DEBFULLNAME and DEBEMAIL "
                      "or git's user.name and user.email before configuring, or -DVELMORA_MAINTAINER=... (now "
                      "\"${CPACK_DEBIAN_PACKAGE_MAINTAINER}\")")
endif()

set(tree ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})

# Debian's Python finds the packages of the distribution in lib/python3/dist-packages (the module's file name
# carries the Python version it was built for); a cmake --install elsewhere keeps the interpreter's own folder.
if(CPACK_VELMORA_PYTHON_INSTALL_DIR AND EXISTS ${tree}/${CPACK_VELMORA_PYTHON_INSTALL_DIR})
  file(MAKE_DIRECTORY ${tree}/lib/python3)
  file(RENAME ${tree}/${CPACK_VELMORA_PYTHON_INSTALL_DIR} ${tree}/lib/python3/dist-packages)
  file(GLOB versioned_dirs LIST_DIRECTORIES true ${tree}/lib/python3.*)
  foreach(dir IN LISTS versioned_dirs)
    file(GLOB left ${dir}/*)
    if(NOT left)
      file(REMOVE_RECURSE ${dir})
    endif()
  endforeach()
endif()

# The compiler's notes in the binaries are of no use to anyone running them.
file(GLOB_RECURSE binaries ${tree}/bin/* ${tree}/lib/*.so)
foreach(binary IN LISTS binaries)
  execute_process(COMMAND ${CPACK_STRIP_COMMAND} --remove-section=.comment --remove-section=.note ${binary}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
