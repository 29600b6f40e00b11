# Fails when FILE loads one of the DELAYED DLLs at start: a function it calls
# is missing from cmake/delay/<dll>.def and came from the plain import
# library. The file is removed then, as by check_size.cmake, so that the next
# build links it again.
execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
get_filename_component(name "${FILE}" NAME)
string(FIND "${dump}" "The Import Tables" start)
if(failed OR start LESS 0)
    file(REMOVE "${FILE}")
    message(FATAL_ERROR "${name}: objdump -p found no import table")
endif()
# The table runs from its heading to the next line that starts with a letter.
string(SUBSTRING "${dump}" ${start} -1 imports)
string(REGEX REPLACE "\n[A-Za-z].*" "" imports "${imports}")
string(TOLOWER "${imports}" imports)
foreach(dll IN LISTS DELAYED)
    if(imports MATCHES "dll name: ${dll}\\.dll")
        file(REMOVE "${FILE}")
        message(FATAL_ERROR "${name} loads ${dll}.dll at start: a function it calls is missing from "
                            "cmake/delay/${dll}.def (objdump -p ${name} lists it)")
    endif()
endforeach()
