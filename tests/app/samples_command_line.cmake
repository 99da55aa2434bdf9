# SPDX-License-Identifier: GPL-3.0-or-later
# Runs vestra2007-samples (PROGRAM) in an empty folder (WORK) with options it must not take for
# a folder: --help prints the usage and succeeds, an unknown option fails; neither writes.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
foreach(row "--help;0;out" "-h;0;out" "--bogus;2;err" "--video;2;err")
    list(GET row 0 option)
    list(GET row 1 expected)
    list(GET row 2 stream)
    execute_process(COMMAND ${PROGRAM} ${option} WORKING_DIRECTORY ${WORK}
                    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT code EQUAL expected)
        message(FATAL_ERROR "${option}: exit code ${code}, expected ${expected}")
    endif()
    if(NOT "${${stream}}" MATCHES "^usage: .*vestra2007-samples <folder> \\[count\\]")
        message(FATAL_ERROR "${option}: no usage on std${stream}: '${out}' '${err}'")
    endif()
    file(GLOB written ${WORK}/*)
    if(written)
        message(FATAL_ERROR "${option} wrote ${written}")
    endif()
endforeach()
