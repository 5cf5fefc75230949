# The Debian package, zorvane_<version>_amd64.deb, made by CPack from the
# install rules (scripts/package.sh). Its dependencies are the libraries the
# programs link, found by dpkg-shlibdeps, and ieee-data for the listing the
# launcher makes the user's database from.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Zorvane Project")
set(CPACK_PACKAGE_CONTACT "Zorvane Developers <zorvane@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ieee-data, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ethernet vendor code lookup
Zorvane looks up Ethernet vendor codes (OUIs), the first half of every
hardware address, by code or by vendor name, in a local Access 2000
database that its own engine reads and writes. Records can be added,
corrected and deleted.
.
The package holds the lookup window (zorvane, with zorvane-launch, which
makes the user's database from the IEEE listing on the first start), a
browser window on the IEEE listing (zorvane-listing), the Addresses window
that names the vendor and kind of every hardware address in a pasted text
(zorvane-addresses) and the command-line companion zorvane-db.")
# A package holds what the programs need, not every target built.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
