# The Debian package: `cpack -G DEB` in a build folder (`make package` makes
# one for /usr) packs what `cmake --install` installs. The program finds its
# help documents and names itself in the autostart entry by the install
# prefix it was built for, so the package installs to that same prefix.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME folderly)
set(CPACK_PACKAGE_VENDOR Vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Folderly maintainers <folderly@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps the files of folders in step")
set(CPACK_PACKAGE_DESCRIPTION "Folderly keeps two lists of folders and brings their files in step: a
synchronization run copies files between the folders of both lists by
their last-write times, by hand, from its tray icon, at an interval, or
from the command line (folderly --run).")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the program needs, as dpkg-shlibdeps reads them from the binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A Wayland session runs the program natively with it, else through XWayland;
# the help buttons open their documents through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
# Debian keeps a package's copyright and changelogs in /usr/share/doc/folderly
# whatever its prefix: a package for another prefix gets them there as well.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageDocuments.cmake)
  set(CPACK_FOLDERLY_DOCUMENTS ${CMAKE_INSTALL_DATADIR}/doc/folderly)
endif()
set(CPACK_STRIP_FILES ON)
include(CPack)
