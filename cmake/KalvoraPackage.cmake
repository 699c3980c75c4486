# The Debian package, made by CPack from the install rules: `scripts/package` runs it on a built
# tree. Its dependencies are the shared libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Kalvora developers")
set(CPACK_PACKAGE_CONTACT "Kalvora developers <${KALVORA_MAINTAINER_MAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workbench for nonlinear dynamical systems")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kalvora studies discrete maps and systems of ordinary differential equations,
defined in a few lines of Lua, with time series, phase, delay and cobweb
plots, bifurcation diagrams, Lyapunov exponents, basins of attraction and
data tools. The batch tool kalvora-cli runs the same computations without
windows.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# EPS pictures are drawn by gnuplot; everything else works without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnuplot-nox | gnuplot")
set(CPACK_STRIP_FILES ON)
# Permissions as Debian's tools set them, whatever the umask of the machine that builds.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
