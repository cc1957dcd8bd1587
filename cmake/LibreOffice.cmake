# Locates LibreOffice's C++ UNO SDK and generates, at build time, the C++ headers of the UNO types the office
# layer uses. Debian ships no generated headers, so cppumaker writes them into the build folder.
#
# Result: the INTERFACE target vantrel_libreoffice (include folders, defines, UNO libraries, run path to the office's
# program folder) plus vantrel_uno_headers(<target> <types...>). Without the SDK the configuration stops.

set(VANTREL_LO_PROGRAM_DIR "/usr/lib/libreoffice/program" CACHE PATH "LibreOffice program folder (holds soffice, types.rdb)")
set(VANTREL_LO_SDK_DIR "/usr/lib/libreoffice/sdk" CACHE PATH "LibreOffice SDK folder (holds bin/cppumaker, include, lib)")

find_program(VANTREL_CPPUMAKER cppumaker HINTS ${VANTREL_LO_SDK_DIR}/bin NO_DEFAULT_PATH)
set(_lo_rdbs ${VANTREL_LO_PROGRAM_DIR}/types.rdb ${VANTREL_LO_PROGRAM_DIR}/types/offapi.rdb)
if(NOT (VANTREL_CPPUMAKER
        AND EXISTS ${VANTREL_LO_PROGRAM_DIR}/types.rdb
        AND EXISTS ${VANTREL_LO_PROGRAM_DIR}/types/offapi.rdb
        AND EXISTS ${VANTREL_LO_SDK_DIR}/include/cppuhelper/bootstrap.hxx
        AND EXISTS ${VANTREL_LO_SDK_DIR}/lib/libuno_cppu.so))
  message(FATAL_ERROR "LibreOffice's C++ UNO SDK was not found (cppumaker in ${VANTREL_LO_SDK_DIR}/bin, types.rdb in "
                      "${VANTREL_LO_PROGRAM_DIR}). Install it with ./scripts/install-deps.sh (Debian: libreoffice-dev, "
                      "libreoffice-writer, libreoffice-calc) or set VANTREL_LO_SDK_DIR and VANTREL_LO_PROGRAM_DIR.")
endif()

message(STATUS "LibreOffice UNO SDK: ${VANTREL_LO_SDK_DIR}")
set(VANTREL_UNO_INCLUDE_DIR ${CMAKE_BINARY_DIR}/uno-headers)
file(MAKE_DIRECTORY ${VANTREL_UNO_INCLUDE_DIR})

add_library(vantrel_libreoffice INTERFACE)
# The SDK headers are system headers: their warnings are not ours to fix.
target_include_directories(vantrel_libreoffice SYSTEM INTERFACE ${VANTREL_UNO_INCLUDE_DIR} ${VANTREL_LO_SDK_DIR}/include)
target_compile_definitions(vantrel_libreoffice INTERFACE LINUX UNX GCC CPPU_ENV=gcc3
                           VANTREL_LO_PROGRAM_DIR="${VANTREL_LO_PROGRAM_DIR}")
foreach(lib uno_sal uno_cppu uno_cppuhelpergcc3 uno_salhelpergcc3)
  target_link_libraries(vantrel_libreoffice INTERFACE ${VANTREL_LO_SDK_DIR}/lib/lib${lib}.so)
endforeach()

# cppumaker -T also writes every type the listed ones depend on; -Gc leaves unchanged headers untouched so a
# regeneration does not rebuild everything.
function(vantrel_uno_headers target)
  list(JOIN ARGN ";" types)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_uno_headers.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${VANTREL_CPPUMAKER} -Gc -O${VANTREL_UNO_INCLUDE_DIR} "-T${types}" ${_lo_rdbs}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${_lo_rdbs}
    COMMENT "Generating C++ UNO headers for ${target}"
    VERBATIM)
  add_custom_target(${target}_uno_headers DEPENDS ${stamp})
  add_dependencies(${target} ${target}_uno_headers)
endfunction()

# Every executable that links the office layer loads the UNO libraries (and, through them, libreglo and friends)
# from the office's program folder; old-style RPATH reaches those indirect dependencies too.
function(vantrel_office_link_options target)
  target_link_options(${target} INTERFACE "LINKER:--disable-new-dtags" "LINKER:-rpath,${VANTREL_LO_PROGRAM_DIR}"
                      "LINKER:-rpath-link,${VANTREL_LO_PROGRAM_DIR}")
endfunction()
