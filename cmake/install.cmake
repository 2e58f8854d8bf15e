# Installation and packaging rules.
#
# "cmake --install" lays out, under the GNU directories of CMAKE_INSTALL_PREFIX: the program,
# its art, the desktop entry, the AppStream metadata, the icons, the manual page and the systemd
# user units. CPack turns the same files into two Debian packages (cpack -G DEB): "feedquill",
# the command line (component cli), which needs no window library, and "feedquill-gtk", the
# window (component gtk).
#
# The program looks for its art and its window module beside itself, then relative to its own
# folder, then at the paths compiled into it (FEEDQUILL_INSTALLED_ART_DIR, under
# CMAKE_INSTALL_PREFIX), so a package must install under the same prefix: configure with
# -DCMAKE_INSTALL_PREFIX=/usr for a Debian package (scripts/setup does).

set(feedquill_dist ${CMAKE_CURRENT_SOURCE_DIR}/dist)
# The installation's components and the Debian packages made of them, pair by pair.
set(FEEDQUILL_COMPONENTS cli gtk)
set(FEEDQUILL_PACKAGES feedquill feedquill-gtk)
# The program and the module, pair by pair with their components.
set(FEEDQUILL_BINARIES ${CMAKE_INSTALL_BINDIR}/feedquill
    ${FEEDQUILL_WINDOW_MODULE_DIR}/feedquill-window.so)

install(TARGETS feedquill RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)

# Everything only a window uses: the module, the about box's art, and what makes the program
# appear in the desktop's menus and software centres.
install(TARGETS feedquill_window LIBRARY DESTINATION ${FEEDQUILL_WINDOW_MODULE_DIR} COMPONENT gtk)

# A stripped install (the packages') also drops the compiler's version notes (.comment), as
# Debian's own stripping does.
find_program(FEEDQUILL_OBJCOPY NAMES objcopy ${CMAKE_OBJCOPY})
mark_as_advanced(FEEDQUILL_OBJCOPY)
if(FEEDQUILL_OBJCOPY)
    foreach(component file IN ZIP_LISTS FEEDQUILL_COMPONENTS FEEDQUILL_BINARIES)
        install(CODE "
            if(CMAKE_INSTALL_DO_STRIP)
                execute_process(COMMAND \"${FEEDQUILL_OBJCOPY}\" --remove-section=.comment
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${file}\"
                                RESULT_VARIABLE status)
                if(NOT status EQUAL 0)
                    message(FATAL_ERROR \"objcopy failed on ${file}: \${status}\")
                endif()
            endif()" COMPONENT ${component})
    endforeach()
endif()

install(DIRECTORY art/ DESTINATION ${CMAKE_INSTALL_DATADIR}/feedquill/art COMPONENT gtk)
foreach(lang IN LISTS FEEDQUILL_LANGUAGES)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/locale/${lang}/LC_MESSAGES/feedquill.mo
            DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${lang}/LC_MESSAGES COMPONENT gtk)
endforeach()
install(FILES ${feedquill_dist}/feedquill.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT gtk)
install(FILES ${feedquill_dist}/feedquill.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME example.feedquill.Feedquill.metainfo.xml COMPONENT gtk)
foreach(size IN LISTS FEEDQUILL_ICON_SIZES)
    install(FILES resources/feedquill-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME feedquill.png COMPONENT gtk)
endforeach()
install(FILES resources/feedquill.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT gtk)

# The manual page and the release notes (in Debian's changelog form), compressed as Debian wants
# them (-n: no name or time stamp inside, so the same file gives the same bytes).
find_program(FEEDQUILL_GZIP gzip REQUIRED)
mark_as_advanced(FEEDQUILL_GZIP)
set(compressed "")
foreach(page IN ITEMS feedquill.1 changelog)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/compressed/${page})
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${feedquill_dist}/${page} ${copy}
        COMMAND ${FEEDQUILL_GZIP} -9nf ${copy}
        DEPENDS ${feedquill_dist}/${page}
        COMMENT "Compressing ${page}"
        VERBATIM)
    list(APPEND compressed ${copy}.gz)
endforeach()
add_custom_target(feedquill_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/compressed/feedquill.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)

# Every Debian package carries its own copyright file (machine-readable, the source package's)
# and changelog, and lintian's overrides for it, with their reasons. The Debian build
# (debian/rules) installs its own in their place.
foreach(component package IN ZIP_LISTS FEEDQUILL_COMPONENTS FEEDQUILL_PACKAGES)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/compressed/changelog.gz
                  ${CMAKE_CURRENT_SOURCE_DIR}/debian/copyright
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
    if(EXISTS ${feedquill_dist}/lintian/${package})
        install(FILES ${feedquill_dist}/lintian/${package}
                DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
                COMPONENT ${component})
    endif()
endforeach()

# What a user reads first, a commented crontab line, and the completion of the switches in
# bash and zsh (Debian's zsh reads vendor-completions; elsewhere, site-functions).
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/feedquill COMPONENT cli)
install(FILES ${feedquill_dist}/crontab.example
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/feedquill/examples RENAME crontab
        COMPONENT cli)
install(FILES ${feedquill_dist}/completion/feedquill.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME feedquill
        COMPONENT cli)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(zsh_completions ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
else()
    set(zsh_completions ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
endif()
install(FILES ${feedquill_dist}/completion/_feedquill DESTINATION ${zsh_completions}
        COMPONENT cli)

# The systemd user units, with the program's installed path in ExecStart. They go to
# lib/systemd/user (not the multiarch library folder), where the user manager looks.
set(units_dir ${CMAKE_CURRENT_BINARY_DIR}/systemd)
foreach(unit feedquill.service feedquill.timer)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${feedquill_dist}/systemd/${unit})
    file(READ ${feedquill_dist}/systemd/${unit} text)
    string(REPLACE "/usr/bin/feedquill" "${CMAKE_INSTALL_FULL_BINDIR}/feedquill" text "${text}")
    file(CONFIGURE OUTPUT ${units_dir}/${unit} CONTENT "${text}" @ONLY)
    install(FILES ${units_dir}/${unit} DESTINATION lib/systemd/user COMPONENT cli)
endforeach()

# The server of the offline demonstration (scripts/demo): it serves dist/demo/blog-feed.xml
# from 127.0.0.1 with the tests' loopback server, which needs OpenSSL but not the test
# framework, so that scripts/run builds it without the tests. Not installed.
find_package(OpenSSL)
find_package(Threads)
if(OpenSSL_FOUND AND Threads_FOUND)
    add_executable(feedquill_demo_server ${feedquill_dist}/demo/demoserver.cpp
                   ${CMAKE_CURRENT_SOURCE_DIR}/tests/support/fixtureserver.cpp)
    target_include_directories(feedquill_demo_server PRIVATE
                               ${CMAKE_CURRENT_SOURCE_DIR}/tests/support)
    target_compile_definitions(feedquill_demo_server PRIVATE
                               FEEDQUILL_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests/data")
    target_link_libraries(feedquill_demo_server PRIVATE
                          OpenSSL::SSL OpenSSL::Crypto Threads::Threads)
endif()

# Debian packages made from this build tree (cpack -G DEB): feedquill_1.0_ARCH.deb and
# feedquill-gtk_1.0_ARCH.deb. The tests check them; the packages for users come from
# debian/ (dpkg-buildpackage).
set(CPACK_PACKAGE_NAME feedquill)
set(CPACK_PACKAGE_VENDOR "Tarnwick")
set(CPACK_PACKAGE_CONTACT "Feedquill maintainers <maintainers@feedquill.example>")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${FEEDQUILL_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${FEEDQUILL_SITE})
# dpkg-shlibdeps (package dpkg-dev) finds the libraries each package needs: the window
# libraries only for the module.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The first line of a description is the package's synopsis; the rest is wrapped for the
# control file.
set(CPACK_DEBIAN_CLI_PACKAGE_NAME feedquill)
set(CPACK_DEBIAN_CLI_DESCRIPTION [[
keeps your e-mail signature up to date with your blog
Feedquill reads your blog's RSS or Atom feed, takes the newest post's title
and link, fills them into a signature template and rewrites the signature
file that your mail program reads.

This package holds the command line, which needs no display, with a systemd
user timer for hourly updates. The window for setting it up is in the
package feedquill-gtk.]])
# https feeds need the system's certificate store.
# Kept the same as debian/control's.
set(CPACK_DEBIAN_CLI_PACKAGE_RECOMMENDS "ca-certificates")
set(CPACK_DEBIAN_CLI_PACKAGE_SUGGESTS "feedquill-gtk")

set(CPACK_DEBIAN_GTK_PACKAGE_NAME feedquill-gtk)
set(CPACK_DEBIAN_GTK_DESCRIPTION [[
window for Feedquill, the e-mail signature updater
Feedquill reads your blog's RSS or Atom feed, takes the newest post's title
and link, fills them into a signature template and rewrites the signature
file that your mail program reads.

This package holds its window (GTK), in which you choose the feed and the
signature file and edit the template, with the desktop entry and the icons.]])
# The module runs inside the program of the same build, so nothing but that one will do.
set(CPACK_COMPONENT_GTK_DEPENDS cli)
# xdg-open opens the signature file; wx3.2-i18n translates the toolkit's own dialogs.
set(CPACK_DEBIAN_GTK_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_GTK_PACKAGE_SUGGESTS "wx3.2-i18n")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
include(CPack)

if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    message(STATUS "Feedquill installs under ${CMAKE_INSTALL_PREFIX}, and so does its Debian "
                   "package; configure with -DCMAKE_INSTALL_PREFIX=/usr for a package that "
                   "installs under /usr")
endif()
