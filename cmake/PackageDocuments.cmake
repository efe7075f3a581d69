# Run by cpack before it packs (CPACK_PRE_BUILD_SCRIPTS) a package whose
# prefix is not /usr: moves the staged documentation folder to
# /usr/share/doc/folderly, where Debian looks for a package's copyright.
set(_staged "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_FOLDERLY_DOCUMENTS}")
file(MAKE_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}/usr/share/doc")
file(RENAME "${_staged}" "${CPACK_TEMPORARY_DIRECTORY}/usr/share/doc/folderly")
# The doc folder held nothing else: no empty folder stays behind.
get_filename_component(_parent "${_staged}" DIRECTORY)
file(GLOB _left "${_parent}/*")
if(NOT _left)
  file(REMOVE_RECURSE "${_parent}")
endif()
