# The Debian package of the programs, built by CPack's DEB generator (`make deb`, which
# configures a build of its own for the prefix /usr). It holds what the install rules install,
# with the man pages compressed and the copyright and changelog that Debian asks for.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mapconv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "mapconv developers <mapconv@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Fourier map of a crystal structure to a whole-cell grid and a CCP4/MRC map")
# The extended description; CPack puts the summary before it as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "mapconv takes the Fourier map computed for one phase of an experiment of a
crystallographic structure-analysis suite, stored as an asymmetric block, and
writes the map value at every point of its grid over the whole unit cell as a
plain-text grid file, rebuilding the cell through the space group's symmetry.
grd2ccp4 turns that grid file into a CCP4/MRC map, the form that map viewers
open, grdpeaks lists its peaks and holes, each once under the space group, and
grdsection draws a section through the map as contours in an SVG picture.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The run-time dependencies come from the libraries the binaries load.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Debian keeps man pages and changelogs compressed and wants the copyright beside the changelog;
# `make install` keeps the pages as they are, so the package's staging tree is finished by a
# script of its own. Every CPACK_ variable reaches that script.
set(CPACK_MAPCONV_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_MAPCONV_MAN_DIR ${CMAKE_INSTALL_MANDIR}/man1)
set(CPACK_MAPCONV_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/mapconv)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/FinishDebianTree.cmake)

include(CPack)
