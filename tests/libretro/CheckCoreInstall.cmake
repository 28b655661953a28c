# Installs the build into a scratch prefix and checks that the core and its
# description land in <libdir>/libretro/, where a front end is pointed at
# them, and the description also in share/libretro/info/, where Debian's
# RetroArch reads descriptions.
#   cmake -DBUILD_DIR=... -DPREFIX=... -DLIBDIR=... -DVERSION=... -P CheckCoreInstall.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file ${LIBDIR}/libretro/tiravel_libretro.so ${LIBDIR}/libretro/tiravel_libretro.info
             share/libretro/info/tiravel_libretro.info)
    if(NOT EXISTS ${PREFIX}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
file(READ ${PREFIX}/${LIBDIR}/libretro/tiravel_libretro.info info)
foreach(line "corename = \"Tiravel\"" "supported_extensions = \"sms|gg|bin|zip|7z|gz\"" "display_version = \"${VERSION}\""
             "firmware0_path = \"tiravel/American.bin\"" "firmware1_path = \"tiravel/Japanese.bin\""
             "firmware2_path = \"tiravel/GameGear.bin\"" "systemname = \"Master System / Game Gear\"")
    string(FIND "${info}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "tiravel_libretro.info lacks '${line}'")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
