# What `cmake --install` puts where, and the Debian package `make package` builds from it.
include(GNUInstallDirs)

install(TARGETS ruvaso RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian keeps a package's licence and history beside its documentation, compressed without a
# time stamp so that two builds of one source give the same package.
set(RUVASO_CHANGELOG_GZ ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${RUVASO_CHANGELOG_GZ}
    COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog > ${RUVASO_CHANGELOG_GZ}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(ruvaso_changelog ALL DEPENDS ${RUVASO_CHANGELOG_GZ})
install(FILES ${RUVASO_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ruvaso)
set(CPACK_PACKAGE_VENDOR Ruvaso)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ruvaso <support@ruvaso.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries come from the binary itself. What it loads at run time is named by hand: the
# SQLite driver of Qt's SQL module, and the two fonts whose PDFs keep the text searchable.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, fonts-wqy-microhei, fonts-arphic-uming")
# pg_dump and pg_restore back up a shop on a server; Qt's own dialogs speak Chinese with the
# translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "postgresql-client, qt6-translations-l10n, cups")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "car repair and maintenance shop management")
# CPack takes the synopsis from the summary and indents the extended text itself; an empty line
# becomes Debian's paragraph separator.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Ruvaso keeps one record per vehicle for a car repair and maintenance shop,
reminds the staff whom to call for a follow-up and records each call,
records repair orders with priced lines and prints the customer's slip,
totals the business by date, item and technician in printable reports,
imports customers from spreadsheets, and keeps the price list,
technicians, operators and daily backups.

The shop's data lives in one SQLite file in the user's data folder, or on
a PostgreSQL server shared by several workstations. The screens are in
Simplified Chinese.")
include(CPack)
