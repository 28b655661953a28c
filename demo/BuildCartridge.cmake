# Banks 0-1 of the demo with the header's checksum, and the joined image.
#
# Run with -P and PASMO, SOURCE_DIR, WORK_DIR (holding bank2.bin to
# bank7.bin) and OUTPUT. The checksum is the 16-bit sum of every byte of the
# 128 KB image except the 16-byte header at 0x7FF0: banks 0-1 are assembled
# once with a checksum of 0 to sum them, then again with the sum.

set(bank_size 16384)

function(assemble output checksum)
    execute_process(
        COMMAND ${PASMO} --equ CHECKSUM=${checksum} --bin main.asm ${output}
        WORKING_DIRECTORY ${SOURCE_DIR}
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "pasmo failed on main.asm")
    endif()
endfunction()

# Adds the bytes of FILE (LIMIT bytes from its start) to the variable OUT_VAR.
function(add_bytes out_var file limit)
    file(READ ${file} hex LIMIT ${limit} HEX)
    string(LENGTH "${hex}" length)
    set(total ${${out_var}})
    set(offset 0)
    while(offset LESS length)
        string(SUBSTRING "${hex}" ${offset} 1024 chunk)
        string(REGEX REPLACE "(..)" "+0x\\1" terms "${chunk}")
        math(EXPR total "${total}${terms}")
        math(EXPR offset "${offset} + 1024")
    endwhile()
    set(${out_var} ${total} PARENT_SCOPE)
endfunction()

function(expect_size file size)
    file(SIZE ${file} actual)
    if(NOT actual EQUAL size)
        message(FATAL_ERROR "${file} has ${actual} bytes, not ${size}")
    endif()
endfunction()

set(first ${WORK_DIR}/banks01.bin)
assemble(${first} 0)
expect_size(${first} 32768)
set(sum 0)
add_bytes(sum ${first} 32752)
set(banks ${WORK_DIR}/banks01.bin)
foreach(bank RANGE 2 7)
    expect_size(${WORK_DIR}/bank${bank}.bin ${bank_size})
    add_bytes(sum ${WORK_DIR}/bank${bank}.bin ${bank_size})
    list(APPEND banks ${WORK_DIR}/bank${bank}.bin)
endforeach()
math(EXPR checksum "${sum} % 65536")
assemble(${first} ${checksum})
execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${banks} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not join the demo's banks")
endif()
expect_size(${OUTPUT} 131072)
