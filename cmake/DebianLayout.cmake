# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the staged tree just before the Debian package
# is packed: the conventions of a Debian package that a plain `cmake --install` does not
# want. Programs lose their symbols and notes, manual pages are compressed as man-db reads
# them, the changelog and the copyright file go to /usr/share/doc/vidbrisk (a package whose
# version has no Debian revision keeps its changelog as changelog.gz).
set(root ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
if(NOT IS_DIRECTORY ${root}/bin)
    message(FATAL_ERROR "no staged tree at ${root}")
endif()

# -n: no name and no time stamp inside, so the same sources give the same package.
function(vidbrisk_gzip file)
    execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "gzip ${file} failed: ${status}")
    endif()
endfunction()

# The programs are stripped as Debian strips them: also without the compiler's notes.
file(GLOB programs ${root}/bin/*)
foreach(program IN LISTS programs)
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note
                            --strip-unneeded ${program}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "strip ${program} failed: ${status}")
    endif()
endforeach()

file(GLOB pages ${root}/share/man/man*/*.[1-9])
foreach(page IN LISTS pages)
    vidbrisk_gzip(${page})
endforeach()

set(doc ${root}/share/doc/vidbrisk)
set(readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(MAKE_DIRECTORY ${doc})
file(COPY ${CPACK_VIDBRISK_COPYRIGHT} DESTINATION ${doc} FILE_PERMISSIONS ${readable})
file(COPY ${CPACK_VIDBRISK_CHANGELOG} DESTINATION ${doc} FILE_PERMISSIONS ${readable})
vidbrisk_gzip(${doc}/changelog)
