# System DLLs that a program needs for some of its work only, loaded on the
# first call of one of their functions instead of by the loader before
# WinMain. Each costs start time and memory (ole32 brings combase and rpcrt4,
# shell32 brings shlwapi and shcore), and the splash needs none of them.
#
# kv_delay_load(target dll...) links, for each DLL, a delay-load import
# library made from cmake/delay/<dll>.def. The first call of one of its
# functions goes through the runtime's __delayLoadHelper2, which loads the DLL
# by name with LoadLibrary. The programs limit the DLL search to the system
# folder before anything else runs (LoadDllsFromSystemFolderOnly), so that
# load finds the system's copy only, never one another user could plant.
# A DLL that does not load ends the program with an SEH exception; these are
# DLLs every Windows has.
#
# The .def files list only the functions the programs call. One called and not
# listed there would be taken from the plain import library that every link
# gets anyway (CMake's standard libraries and GCC's own list shell32, ole32
# and oleaut32), and the DLL would be loaded at start again without a word:
# so each link is checked, and the build fails when a delayed DLL is in the
# program's import table.
#
# The 32-bit build, the product, only; the 64-bit one links plainly.

set(KV_DELAY_DIR ${CMAKE_CURRENT_LIST_DIR})

function(kv_delay_load target)
    if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_link_libraries(${target} PRIVATE ${ARGN})
        return()
    endif()
    foreach(dll IN LISTS ARGN)
        set(def ${KV_DELAY_DIR}/delay/${dll}.def)
        set(lib ${PROJECT_BINARY_DIR}/delay/lib${dll}_delay.a)
        # One library per DLL for every program that delays it.
        if(NOT TARGET kv_delay_${dll})
            add_custom_command(OUTPUT ${lib}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/delay
                COMMAND ${CMAKE_DLLTOOL} -k --input-def ${def} --dllname ${dll}.dll --output-delaylib ${lib}
                DEPENDS ${def}
                VERBATIM)
            add_custom_target(kv_delay_${dll} DEPENDS ${lib})
        endif()
        add_dependencies(${target} kv_delay_${dll})
        target_link_libraries(${target} PRIVATE ${lib})
        # The headers declare these functions dllimport, so the code calls
        # through the IAT entry and never names the stub; ld then drops the
        # stub's code as it does for a plain import, but a delay-load entry
        # starts out pointing at that code (the first call jumped to 0). Each
        # listed function's stub is kept by asking for it.
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
        file(STRINGS ${def} functions REGEX "^[A-Za-z_0-9]+@[0-9]+$")
        foreach(function IN LISTS functions)
            target_link_options(${target} PRIVATE "LINKER:-u,_${function}")
        endforeach()
    endforeach()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -DOBJDUMP=${CMAKE_OBJDUMP} "-DDELAYED=${ARGN}"
                -P ${KV_DELAY_DIR}/check_delay_load.cmake
        VERBATIM)
endfunction()
