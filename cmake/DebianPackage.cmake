# `cmake --build build --target package` makes the Debian package from the install rules.

# The programs read files from anywhere, so they are built with the hardening Debian expects
# of them: dpkg-buildflags with every hardening feature (_FORTIFY_SOURCE, the strong stack
# protector, format checks, full RELRO with immediate binding). Only what the hardening adds
# is taken, so the build type still chooses optimisation and debug information. The
# sanitizers bring checks of their own, which _FORTIFY_SOURCE would get in the way of.
option(TUNEVALE_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ON)
find_program(DPKG_BUILDFLAGS_PROGRAM dpkg-buildflags)

# The flags of one dpkg-buildflags kind (CPPFLAGS, CXXFLAGS, LDFLAGS) that the hardening adds.
function(tunevale_hardening_flags kind result)
    foreach(setting IN ITEMS +all -all)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=${setting}
                    ${DPKG_BUILDFLAGS_PROGRAM} --get ${kind}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        if(setting STREQUAL "+all")
            set(hardened ${flags})
        else()
            set(plain ${flags})
        endif()
    endforeach()
    if(plain)
        list(REMOVE_ITEM hardened ${plain})
    endif()
    set(${result} ${hardened} PARENT_SCOPE)
endfunction()

if(TUNEVALE_HARDENING AND DPKG_BUILDFLAGS_PROGRAM AND NOT TUNEVALE_SANITIZE AND NOT TUNEVALE_FUZZ)
    tunevale_hardening_flags(CPPFLAGS hardening_cppflags)
    tunevale_hardening_flags(CXXFLAGS hardening_cxxflags)
    tunevale_hardening_flags(LDFLAGS hardening_ldflags)
    message(STATUS "Hardening: ${hardening_cppflags} ${hardening_cxxflags} ${hardening_ldflags}")
    # _FORTIFY_SOURCE needs an optimised build; without one glibc only warns.
    target_compile_options(tunevale_common_cfg INTERFACE
        "$<$<NOT:$<CONFIG:Debug>>:${hardening_cppflags}>" ${hardening_cxxflags})
    target_link_options(tunevale_common_cfg INTERFACE ${hardening_ldflags})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tunevale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tunevale developers")
set(CPACK_PACKAGE_CONTACT "The Tunevale developers <tunevale@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch audio converter with a small player")
set(CPACK_PACKAGE_DESCRIPTION "Tunevale collects audio files in a list and converts the whole list\n\
in one batch to MP3, WMA, OGG Vorbis or WAV, with settings of its own\n\
for each format. It copies each file's tags into its output, never\n\
overwrites an existing file, and plays files in a small player.\n\
tunevale-cli runs the same conversions from a terminal.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tunevale)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tunevale.example.com/")
# The libraries the programs link come from dpkg-shlibdeps, not from a list kept by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Qt's own dialogs and buttons speak the desktop's language only with Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
include(CPack)
