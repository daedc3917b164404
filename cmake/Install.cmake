# Install rules and the help file beside the built window program.
#
# `cmake --install <build> --prefix P` gives P/bin/vidbrisk-convert and, with the window
# build, P/bin/vidbrisk, its help in P/share/vidbrisk (where the help viewer looks when the
# file is not beside the program), its desktop entry and its icon (SVG, and PNGs drawn
# from it), the manual pages, the converter's bash completion and the AppStream metainfo.
# The media libraries are bound at run time by their sonames, so nothing else is installed
# for them; the Debian package declares them (cmake/Package.cmake).
#
# The folders are fixed to bin/ and share/: the help viewer finds the installed help as
# <program folder>/../share/vidbrisk/help.html.

set(VIDBRISK_SHARE_DIR ${CMAKE_SOURCE_DIR}/share)

install(TARGETS vidbrisk-convert RUNTIME DESTINATION bin)
install(FILES ${VIDBRISK_SHARE_DIR}/man/vidbrisk-convert.1 DESTINATION share/man/man1)
install(FILES ${VIDBRISK_SHARE_DIR}/bash-completion/vidbrisk-convert
        DESTINATION share/bash-completion/completions)

if(TARGET vidbrisk)
    install(TARGETS vidbrisk RUNTIME DESTINATION bin)
    install(FILES ${VIDBRISK_SHARE_DIR}/help.html DESTINATION share/vidbrisk)
    # The program reads that page itself (F1), so it is data, not documentation that a
    # system may leave out (/usr/share/doc): lintian is told why.
    install(FILES ${VIDBRISK_SHARE_DIR}/debian/lintian-overrides
            DESTINATION share/lintian/overrides RENAME vidbrisk)
    install(FILES ${VIDBRISK_SHARE_DIR}/vidbrisk.desktop DESTINATION share/applications)
    install(FILES ${VIDBRISK_SHARE_DIR}/icons/vidbrisk.svg
            DESTINATION share/icons/hicolor/scalable/apps)
    # Desktops that show no SVG icons take a PNG of their size, drawn from the SVG at
    # build time (rsvg-convert, Debian's librsvg2-bin).
    find_program(VIDBRISK_RSVG_CONVERT rsvg-convert)
    if(VIDBRISK_RSVG_CONVERT)
        set(icon_pngs "")
        foreach(size IN LISTS VIDBRISK_ICON_SIZES)
            # Drawn into the build tree as the theme lays them out, so that the window
            # started from the build tree finds them as <program folder>/../share/icons.
            set(png_dir ${CMAKE_BINARY_DIR}/share/icons/hicolor/${size}x${size}/apps)
            set(png ${png_dir}/vidbrisk.png)
            add_custom_command(
                OUTPUT ${png}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${png_dir}
                COMMAND ${VIDBRISK_RSVG_CONVERT} --width ${size} --height ${size} --output ${png}
                        ${VIDBRISK_SHARE_DIR}/icons/vidbrisk.svg
                DEPENDS ${VIDBRISK_SHARE_DIR}/icons/vidbrisk.svg
                COMMENT "Drawing the ${size}x${size} icon"
                VERBATIM)
            list(APPEND icon_pngs ${png})
            install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
        endforeach()
        add_custom_target(vidbrisk_icons ALL DEPENDS ${icon_pngs})
    else()
        message(WARNING "rsvg-convert not found (package librsvg2-bin): only the scalable "
                        "icon is installed")
    endif()
    install(FILES ${VIDBRISK_SHARE_DIR}/man/vidbrisk.1 DESTINATION share/man/man1)
    install(FILES ${VIDBRISK_SHARE_DIR}/metainfo/org.morvane.Vidbrisk.metainfo.xml
            DESTINATION share/metainfo)

    # A program started from the build tree (./run.sh) finds its help beside itself. The
    # program's folder is worked out here: a custom command's output may not name another
    # folder's target.
    get_target_property(program_dir vidbrisk RUNTIME_OUTPUT_DIRECTORY)
    if(NOT program_dir)
        get_target_property(program_dir vidbrisk BINARY_DIR)
    endif()
    set(help_beside_program ${program_dir}/help.html)
    add_custom_command(
        OUTPUT ${help_beside_program}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VIDBRISK_SHARE_DIR}/help.html
                ${help_beside_program}
        DEPENDS ${VIDBRISK_SHARE_DIR}/help.html
        COMMENT "Copying the help beside the window program"
        VERBATIM)
    add_custom_target(vidbrisk_help_beside_program DEPENDS ${help_beside_program})
    add_dependencies(vidbrisk vidbrisk_help_beside_program)
endif()

# The install test installs this build tree into a scratch prefix: it needs the programs
# built, the cmake that configured the tree, and whether the window parts are expected.
if(TARGET install_test)
    add_dependencies(install_test vidbrisk-convert)
    if(TARGET vidbrisk)
        add_dependencies(install_test vidbrisk)
        target_compile_definitions(install_test PRIVATE VIDBRISK_INSTALLS_WINDOW=1)
    else()
        target_compile_definitions(install_test PRIVATE VIDBRISK_INSTALLS_WINDOW=0)
    endif()
    target_compile_definitions(install_test PRIVATE VIDBRISK_CMAKE_COMMAND="${CMAKE_COMMAND}")
endif()
