# The manual pages format without a warning: groff's own checks (-ww), and
# man's as lintian runs it. Run as
#   cmake -DPAGES="a.6;b.6" -P CheckManPages.cmake
# Says "not checked" (the test's skip pattern) when groff is not installed.
find_program(GROFF groff)
if(NOT GROFF)
    message("groff is not installed (package groff-base): the manual pages are not checked")
    return()
endif()
find_program(MAN man)
foreach(page IN LISTS PAGES)
    if(NOT EXISTS ${page})
        message(FATAL_ERROR "${page} is missing")
    endif()
    execute_process(COMMAND ${GROFF} -man -Tutf8 -ww -z ${page}
                    RESULT_VARIABLE status ERROR_VARIABLE warnings)
    if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
        message(FATAL_ERROR "groff on ${page}:\n${warnings}")
    endif()
    if(MAN)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANROFFSEQ= MANWIDTH=80
                                ${MAN} --warnings -E UTF-8 -l -Tutf8 -Z ${page}
                        RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE warnings)
        if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
            message(FATAL_ERROR "man on ${page}:\n${warnings}")
        endif()
    endif()
endforeach()
