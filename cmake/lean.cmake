# Size discipline for the shipped programs. Each has a budget in KiB that the
# stripped 32-bit executable must keep; the build fails when it does not.
#
# What keeps them small: code optimised for size with every function and
# datum in its own section, so that the linker drops what nothing calls; no
# exceptions and no run-time type information, which also spares the unwind
# tables; the runtime's throwing helpers and operator new replaced by ones
# that end the process (src/platform/win32/lean_runtime.cpp); and no iostream,
# locale or printf-style formatting in the programs' own code.

set(KV_LEAN_RUNTIME ${CMAKE_CURRENT_LIST_DIR}/../src/platform/win32/lean_runtime.cpp)
# Included from the top-level CMakeLists.txt, so that every program's folder
# sees these.
set(KV_LEAN_COMPILE_OPTIONS
    -Os -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-threadsafe-statics)

# The options for a library that goes into a lean program.
function(kv_lean_library target)
    target_compile_options(${target} PRIVATE ${KV_LEAN_COMPILE_OPTIONS})
endfunction()

# Makes `target` lean, stripped and static, and checks its size after every
# link. Only the 32-bit build is held to the budget: it is the product.
function(kv_lean_program target budget_kib)
    target_sources(${target} PRIVATE ${KV_LEAN_RUNTIME})
    target_compile_options(${target} PRIVATE ${KV_LEAN_COMPILE_OPTIONS})
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        math(EXPR budget_bytes "${budget_kib} * 1024")
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -DBUDGET=${budget_bytes}
                    -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check_size.cmake
            VERBATIM)
    endif()
endfunction()
