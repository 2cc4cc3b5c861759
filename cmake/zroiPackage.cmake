# Packages of the install components: `cmake --build <build> --target package`
# writes into <build>
#   libzroi1_<version>-1_<arch>.deb     runtime: libzroi.so.1, libzrecs.so.1, zromsg
#   libzroi-dev_<version>-1_<arch>.deb  development: headers, the .so links, the
#                                       CMake package and zroi.pc
#   zroi-<version>-Linux.tar.gz         both, relative to any prefix
# The .deb files install under /usr. Their binaries are stripped; the
# runtime package's dependencies come from dpkg-shlibdeps (dpkg-dev) and it
# declares its libraries in a shlibs file; the development package depends
# on exactly its runtime package's version.
set(ZROI_PACKAGE_MAINTAINER "zroi developers <zroi@localhost>"
    CACHE STRING "Maintainer field of the Debian packages")

set(CPACK_PACKAGE_NAME zroi)
set(CPACK_PACKAGE_VENDOR zroi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Message, header and record classes for message-queueing applications")
set(CPACK_PACKAGE_CONTACT "${ZROI_PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)

# The text of a package's description (the synopsis line is the summary
# above); CPack indents it and writes an empty line as " .".
set(_zroi_what
    "zroi gives applications of a message-queueing middleware a counted string,\n"
    "a binary value, a message with its data buffer and descriptor, and one\n"
    "class per message header (dead-letter, two transaction bridges, reference,\n"
    "work information) and for the trigger message, each written into and read\n"
    "from a message in the middleware's byte layout. It makes no calls to a\n"
    "queue manager.\n\n")
string(CONCAT _zroi_what ${_zroi_what})
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "${_zroi_what}This package holds the shared libraries libzroi and libzrecs and the\nzromsg tool, which shows and builds message data.")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "${_zroi_what}This package holds the C++ headers, the links to the shared libraries,\nthe CMake package (find_package(zroi)) and zroi.pc for pkg-config.")

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZROI_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzroi1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# dpkg runs ldconfig once after all packages through this trigger.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_LIST_DIR}/debian/triggers")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzroi-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)

include(CPack)
