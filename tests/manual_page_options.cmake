# Every long option that `vidbrisk-convert --help` lists appears in the manual page, and the
# manual page documents no long option that --help does not list.
# cmake -DCONVERTER=<program> -DMANUAL=<vidbrisk-convert.1> -P manual_page_options.cmake
cmake_minimum_required(VERSION 3.22)
execute_process(COMMAND ${CONVERTER} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CONVERTER} --help exited with ${status}")
endif()
file(READ ${MANUAL} manual)
string(REPLACE "\\-" "-" manual "${manual}")

string(REGEX MATCHALL "--[a-z][a-z-]*" helpOptions "${help}")
string(REGEX MATCHALL "--[a-z][a-z-]*" manualOptions "${manual}")
list(REMOVE_DUPLICATES helpOptions)
list(REMOVE_DUPLICATES manualOptions)
if(NOT helpOptions)
    message(FATAL_ERROR "--help lists no long options")
endif()

set(missing "")
foreach(option IN LISTS helpOptions)
    if(NOT option IN_LIST manualOptions)
        list(APPEND missing ${option})
    endif()
endforeach()
set(extra "")
foreach(option IN LISTS manualOptions)
    if(NOT option IN_LIST helpOptions)
        list(APPEND extra ${option})
    endif()
endforeach()
if(missing OR extra)
    message(FATAL_ERROR "Manual page and --help differ.\n"
                        "Listed by --help, not in the manual page: ${missing}\n"
                        "In the manual page, not listed by --help: ${extra}")
endif()
list(LENGTH helpOptions count)
message(STATUS "${count} long options documented alike")
