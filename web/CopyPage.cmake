# Script mode (-P) with SOURCE (web/) and TARGET (build-web/): copies the
# page's files (*.html, *.js, *.mjs, *.css) into TARGET, and each line of
# SOURCE/vendor.list, "node_modules/<path> <target name>" relative to
# SOURCE, to TARGET/vendor/<target name>. A listed file that is missing
# (npm ci not run) stops the build with its name.
file(GLOB page_files LIST_DIRECTORIES false
    ${SOURCE}/*.html ${SOURCE}/*.js ${SOURCE}/*.mjs ${SOURCE}/*.css)
foreach(file ${page_files})
    file(COPY ${file} DESTINATION ${TARGET})
endforeach()

if(EXISTS ${SOURCE}/vendor.list)
    file(STRINGS ${SOURCE}/vendor.list lines)
    foreach(line ${lines})
        string(STRIP "${line}" line)
        if(line STREQUAL "" OR line MATCHES "^#")
            continue()
        endif()
        separate_arguments(parts UNIX_COMMAND "${line}")
        list(LENGTH parts count)
        if(NOT count EQUAL 2)
            message(FATAL_ERROR "web/vendor.list: \"${line}\" is not \"<path> <target name>\"")
        endif()
        list(GET parts 0 from)
        list(GET parts 1 to)
        if(NOT EXISTS ${SOURCE}/${from})
            message(FATAL_ERROR "web/vendor.list: ${SOURCE}/${from} is missing (run npm ci in web/)")
        endif()
        get_filename_component(to_dir ${TARGET}/vendor/${to} DIRECTORY)
        file(MAKE_DIRECTORY ${to_dir})
        file(COPY_FILE ${SOURCE}/${from} ${TARGET}/vendor/${to} ONLY_IF_DIFFERENT)
    endforeach()
endif()
