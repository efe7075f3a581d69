# What `cmake --install` puts beside bin/folderly: the desktop entry, the
# icon in the hicolor theme, the help documents where the program looks for
# them (FOLDERLY_INSTALL_DATADIR), and the type of those documents.
set(_folderly_data ${PROJECT_SOURCE_DIR}/data)
set(_folderly_icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

install(FILES ${_folderly_data}/folderly.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/folderly.png DESTINATION ${_folderly_icons}/32x32/apps)
install(FILES ${_folderly_data}/folderly-48.png DESTINATION ${_folderly_icons}/48x48/apps RENAME folderly.png)
install(FILES ${_folderly_data}/folderly.svg DESTINATION ${_folderly_icons}/scalable/apps)
install(FILES ${_folderly_data}/FOLDERLY_13.HLP ${_folderly_data}/ALLPROGS.HLP
        DESTINATION ${CMAKE_INSTALL_DATADIR}/folderly)
# Lets the desktop open the .HLP documents as the plain text they are, once
# the MIME database is rebuilt (update-mime-database, as packages do).
install(FILES ${_folderly_data}/folderly-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME folderly.xml)
# What software centres show of the program.
install(FILES ${_folderly_data}/com.vantrel.folderly.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The manual page, compressed as manual pages are installed.
set(_folderly_manual ${CMAKE_CURRENT_BINARY_DIR}/folderly.1.gz)
add_custom_command(OUTPUT ${_folderly_manual}
  COMMAND ${CMAKE_COMMAND} -E copy ${_folderly_data}/folderly.1 ${CMAKE_CURRENT_BINARY_DIR}/folderly.1
  COMMAND gzip -9nf ${CMAKE_CURRENT_BINARY_DIR}/folderly.1
  DEPENDS ${_folderly_data}/folderly.1
  VERBATIM)
add_custom_target(folderly_manual ALL DEPENDS ${_folderly_manual})
install(FILES ${_folderly_manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The copyright (in Debian's machine-readable format) and the changes, in the
# program's documentation folder, the changelogs compressed as Debian has them.
set(_folderly_doc ${CMAKE_INSTALL_DATADIR}/doc/folderly)
set(_folderly_changelogs)
foreach(_log changelog changelog.Debian)
  set(_gz ${CMAKE_CURRENT_BINARY_DIR}/${_log}.gz)
  add_custom_command(OUTPUT ${_gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${_folderly_data}/${_log} ${CMAKE_CURRENT_BINARY_DIR}/${_log}
    COMMAND gzip -9nf ${CMAKE_CURRENT_BINARY_DIR}/${_log}
    DEPENDS ${_folderly_data}/${_log}
    VERBATIM)
  list(APPEND _folderly_changelogs ${_gz})
endforeach()
add_custom_target(folderly_changelogs ALL DEPENDS ${_folderly_changelogs})
install(FILES ${_folderly_data}/copyright ${_folderly_changelogs} DESTINATION ${_folderly_doc})
