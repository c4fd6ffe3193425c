# The Debian package (cpack, or the build's `package` target): what `cmake --install` installs,
# under /usr, with the runtime libraries it links as dependencies.
if(NOT TARGET brightowl)
    return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brightowl)
set(CPACK_PACKAGE_VENDOR Quillmoor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "webcam server for the Linux desktop")
set(CPACK_PACKAGE_DESCRIPTION
    "Brightowl shows the live picture of a V4L2 camera in its window and streams it as JPEG pictures "
    "over a small built-in HTTP server, so that anyone on the network can watch it in a web browser. "
    "A first-run wizard writes a home page that points at this computer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillmoor <brightowl@quillmoor.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Help -> Readme, View Log and the wizard's links open files and addresses with xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)

# dpkg-shlibdeps (dpkg-dev) finds the packages of the libraries the program links, with their
# versions; without it, the same packages as Debian 12 names them.
find_program(BRIGHTOWL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(BRIGHTOWL_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6, libstdc++6, libgcc-s1, libqt6core6, libqt6gui6, libqt6widgets6, libjpeg62-turbo, libv4lconvert0")
endif()

include(CPack)
