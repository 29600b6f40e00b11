# The programs beside korvane.exe that show no window (the companion and the
# command line): the system side of the platform seam over kvcore, the same
# Windows settings as korvane.exe, and the lean build with its size budget.
function(kv_headless_program target budget_kib)
    target_sources(${target} PRIVATE
        ${PROJECT_SOURCE_DIR}/src/platform/win32/access.cpp
        ${PROJECT_SOURCE_DIR}/src/platform/win32/ask_within.cpp
        ${PROJECT_SOURCE_DIR}/src/platform/win32/task_scheduler.cpp
        ${PROJECT_SOURCE_DIR}/src/platform/win32/text.cpp
        ${PROJECT_SOURCE_DIR}/src/platform/win32/win32_os.cpp)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/src)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
    target_compile_definitions(${target} PRIVATE
        UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0600 WINVER=0x0600 _WIN32_IE=0x0600)
    target_link_libraries(${target} PRIVATE kvcore kernel32 advapi32)
    # The Task Scheduler's COM is for some commands only.
    kv_delay_load(${target} ole32 oleaut32)
    kv_lean_program(${target} ${budget_kib})
endfunction()
