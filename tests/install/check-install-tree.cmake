# Installs the build into a scratch DESTDIR and checks the tree: exactly the expected files,
# programs that run, and a desktop entry whose program and icon are among them.
# Run with -DBUILD_DIR=... -DEXPECTED=... -DSCRATCH=...
file(REMOVE_RECURSE ${SCRATCH})
set(ENV{DESTDIR} ${SCRATCH})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
    RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${SCRATCH} ${SCRATCH}/*)
list(SORT installed)
file(STRINGS ${EXPECTED} expected)
list(SORT expected)
set(missing ${expected})
list(REMOVE_ITEM missing ${installed})
set(unexpected ${installed})
list(REMOVE_ITEM unexpected ${expected})
if(missing OR unexpected)
    message(FATAL_ERROR "installed tree differs\n missing: ${missing}\n unexpected: ${unexpected}")
endif()

foreach(program tunevale tunevale-cli)
    execute_process(COMMAND ${SCRATCH}/usr/bin/${program} --version
        RESULT_VARIABLE status OUTPUT_VARIABLE version)
    if(NOT status EQUAL 0 OR NOT version MATCHES "^${program} [0-9]")
        message(FATAL_ERROR "usr/bin/${program} --version: ${status} ${version}")
    endif()
endforeach()

file(STRINGS ${SCRATCH}/usr/share/applications/com.example.tunevale.desktop entry)
list(FILTER entry INCLUDE REGEX "^(Exec|Icon)=")
foreach(line ${entry})
    # ${CMAKE_MATCH_1} is expanded before MATCHES runs, so each test gets an if of its own.
    if(line MATCHES "^Exec=([^ ]+)")
        set(wanted ${SCRATCH}/usr/bin/${CMAKE_MATCH_1})
    elseif(line MATCHES "^Icon=(.+)$")
        set(wanted ${SCRATCH}/usr/share/icons/hicolor/scalable/apps/${CMAKE_MATCH_1}.svg)
    endif()
    if(NOT EXISTS ${wanted})
        message(FATAL_ERROR "${line}: ${wanted} is not installed")
    endif()
endforeach()
file(REMOVE_RECURSE ${SCRATCH})
