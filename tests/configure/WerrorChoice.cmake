# cmake -DSOURCE=<tree> -DSCRATCH=<folder> -P WerrorChoice.cmake
# A plain configure of the warning rules leaves -Werror off; every
# configure preset that builds the project's code turns it on.
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH}/src)
file(WRITE ${SCRATCH}/src/CMakeLists.txt
     "cmake_minimum_required(VERSION 3.25)\nproject(probe NONE)\n"
     "include(${SOURCE}/cmake/CompilerWarnings.cmake)\n"
     "message(STATUS \"werror=\${VANDREL_WERROR}\")\n")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SCRATCH}/src -B ${SCRATCH}/build
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the probe did not configure: ${err}")
endif()
if(NOT out MATCHES "werror=OFF")
    message(FATAL_ERROR "a plain configure turns warnings into errors:\n${out}")
endif()

file(READ ${SOURCE}/CMakePresets.json presets)
string(JSON count LENGTH "${presets}" configurePresets)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    string(JSON name GET "${presets}" configurePresets ${i} name)
    string(JSON parent ERROR_VARIABLE none GET "${presets}" configurePresets ${i} inherits)
    string(JSON werror ERROR_VARIABLE missing GET "${presets}" configurePresets ${i} cacheVariables VANDREL_WERROR)
    # A preset that inherits takes its parent's choice.
    if(missing AND parent)
        continue()
    endif()
    if(NOT werror STREQUAL "ON")
        message(FATAL_ERROR "the preset ${name} does not turn warnings into errors")
    endif()
endforeach()
