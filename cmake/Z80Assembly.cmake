# Z80 assembly at build time (pasmo), and embedding of binaries into C++.

find_program(PASMO_EXECUTABLE pasmo REQUIRED)

# tiravel_assemble(<target> SOURCE <file.asm> OUTPUT <file.bin> [DEPENDS ...])
# Assembles SOURCE into a raw binary; <target> is a custom target that builds
# it. Includes are resolved relative to the source's folder.
function(tiravel_assemble target)
    cmake_parse_arguments(A "" "SOURCE;OUTPUT" "DEPENDS" ${ARGN})
    get_filename_component(src "${A_SOURCE}" ABSOLUTE)
    get_filename_component(srcdir "${src}" DIRECTORY)
    add_custom_command(
        OUTPUT "${A_OUTPUT}"
        COMMAND ${PASMO_EXECUTABLE} --bin "${src}" "${A_OUTPUT}"
        WORKING_DIRECTORY "${srcdir}"
        DEPENDS "${src}" ${A_DEPENDS}
        COMMENT "Assembling ${A_SOURCE}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS "${A_OUTPUT}")
endfunction()

# tiravel_embed(<output.cpp> <symbol> <input.bin> [SIZE <n>])
# Generates a C++ file defining `extern const unsigned char <symbol>[]` and
# `extern const unsigned long <symbol>_size`. With SIZE, the build fails
# unless the binary has exactly that many bytes.
function(tiravel_embed output symbol input)
    cmake_parse_arguments(E "" "SIZE" "" ${ARGN})
    set(size_arg "")
    if(E_SIZE)
        set(size_arg "-DEXPECT_SIZE=${E_SIZE}")
    endif()
    add_custom_command(
        OUTPUT "${output}"
        COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${symbol} ${size_arg}
                -P "${PROJECT_SOURCE_DIR}/cmake/EmbedBinary.cmake"
        DEPENDS "${input}" "${PROJECT_SOURCE_DIR}/cmake/EmbedBinary.cmake"
        COMMENT "Embedding ${input} as ${symbol}"
        VERBATIM)
endfunction()
