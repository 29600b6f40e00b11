# Fails when FILE is larger than BUDGET bytes. The file is removed then, so
# that the next build links it again and checks again instead of finding it
# up to date.
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
math(EXPR size_kib "(${size} + 1023) / 1024")
math(EXPR budget_kib "${BUDGET} / 1024")
if(size GREATER BUDGET)
    file(REMOVE "${FILE}")
    message(FATAL_ERROR "${name} is ${size} bytes (${size_kib} KiB), over its budget of ${budget_kib} KiB")
endif()
message(STATUS "${name}: ${size} bytes (${size_kib} KiB) of ${budget_kib} KiB")
