# Installation as a desktop application and the Debian package.
# The program itself is installed by src/CMakeLists.txt. Nothing here installs a "config" folder
# beside the program: an installed copy finds none there and so keeps its files in the XDG folder.

set(LANZO_APP_ID jp.lanzo.Lanzo)
# The day the release named by the project's VERSION was made; move it with the version.
set(LANZO_RELEASE_DATE 2026-12-07)

set(lanzo_pkg_src ${CMAKE_CURRENT_LIST_DIR})
set(lanzo_pkg_bin ${CMAKE_BINARY_DIR}/packaging)
set(lanzo_icon_svg ${CMAKE_SOURCE_DIR}/resources/icons/lanzo.svg)
set(lanzo_icon_sizes 16 24 32 48 64 128 256)

# The man page, compressed as Debian expects (-n: no name or time stamp, so builds repeat).
configure_file(${lanzo_pkg_src}/lanzo.1.in ${lanzo_pkg_bin}/lanzo.1 @ONLY)
find_program(LANZO_GZIP gzip)
if(LANZO_GZIP)
    add_custom_command(OUTPUT ${lanzo_pkg_bin}/lanzo.1.gz
        COMMAND ${LANZO_GZIP} -9 -n -k -f ${lanzo_pkg_bin}/lanzo.1
        DEPENDS ${lanzo_pkg_bin}/lanzo.1
        COMMENT "Compressing the man page" VERBATIM)
    set(lanzo_man_page ${lanzo_pkg_bin}/lanzo.1.gz)
else()
    set(lanzo_man_page ${lanzo_pkg_bin}/lanzo.1)
endif()
install(FILES ${lanzo_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(lanzo_generated ${lanzo_man_page})

# The desktop entry, the icons and the metainfo only make sense for a program with windows.
if(LANZO_GUI)
    configure_file(${lanzo_pkg_src}/${LANZO_APP_ID}.metainfo.xml.in ${lanzo_pkg_bin}/${LANZO_APP_ID}.metainfo.xml
        @ONLY)
    install(FILES ${lanzo_pkg_src}/${LANZO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${lanzo_pkg_bin}/${LANZO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${lanzo_icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${LANZO_APP_ID}.svg)

    # Fixed-size icons for menus and panels that do not draw SVG, rendered from the one drawing.
    find_program(LANZO_RSVG_CONVERT rsvg-convert)
    if(LANZO_RSVG_CONVERT)
        foreach(size IN LISTS lanzo_icon_sizes)
            set(dir ${lanzo_pkg_bin}/icons/${size}x${size})
            add_custom_command(OUTPUT ${dir}/${LANZO_APP_ID}.png
                COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
                COMMAND ${LANZO_RSVG_CONVERT} --width=${size} --height=${size} --format=png
                        --output=${dir}/${LANZO_APP_ID}.png ${lanzo_icon_svg}
                DEPENDS ${lanzo_icon_svg}
                COMMENT "Rendering the ${size}x${size} icon" VERBATIM)
            install(FILES ${dir}/${LANZO_APP_ID}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
            list(APPEND lanzo_generated ${dir}/${LANZO_APP_ID}.png)
        endforeach()
    else()
        message(WARNING "rsvg-convert not found (Debian package librsvg2-bin): "
            "only the scalable icon will be installed")
    endif()
endif()
add_custom_target(lanzo_desktop_files ALL DEPENDS ${lanzo_generated})

# The Debian package: cpack -G DEB in the build folder.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lanzo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lanzo")
set(LANZO_PACKAGE_MAINTAINER "Lanzo maintainers <maintainers@lanzo.jp>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${LANZO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "collect URLs out of web pages and text")
set(CPACK_PACKAGE_DESCRIPTION
    "Lanzo is a workbench for collecting URLs out of text. Paste, open or download
a page into the source pane, extract the addresses you want into the URL list
beside it by prefix, middle and suffix conditions or from the links of its HTML
tags, then correct, expand, sort, de-duplicate, copy or publish them as a link
page. Conversion tables, URL encoding and Shift_JIS, EUC-JP and UTF-8
conversion work on the text. The window is in Japanese; the same commands also
run on the command line, for scripts and pipes.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LANZO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends comes from the libraries the program links (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(LANZO_GUI)
    # Qt draws the SVG window icon only through the plugin in this package; a missing one costs the icon.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libqt6svg6)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# A source package made by "package_source" must not sweep up build folders or the repository.
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/" "/bench/out/" "/fuzz/out/" "\\.swp$")
include(CPack)

# Tests of the installed tree and of the package: slow, and the package test installs and removes
# the package when run as root, so they run only when asked for.
option(LANZO_PACKAGING_TESTS "Test the installed tree and the Debian package (installs it when root)" OFF)
if(LANZO_PACKAGING_TESTS AND LANZO_TESTS AND (NOT DEFINED BUILD_TESTING OR BUILD_TESTING))
    set(lanzo_pkg_tests ${CMAKE_SOURCE_DIR}/tests/packaging)
    add_test(NAME packaging_install COMMAND bash ${lanzo_pkg_tests}/install_tree.sh ${CMAKE_BINARY_DIR})
    add_test(NAME packaging_deb COMMAND bash ${lanzo_pkg_tests}/deb.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(packaging_install packaging_deb PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77)
    # The package test installs into the system: keep everything else away while it does.
    set_tests_properties(packaging_deb PROPERTIES RUN_SERIAL TRUE)
endif()
