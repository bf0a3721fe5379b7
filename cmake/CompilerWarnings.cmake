# The presets (and so CI) make warnings errors in the project's own code;
# third-party headers come in as system headers (Boost, GoogleTest, libpng,
# libtiff) and are not held to them. A plain configure leaves warnings as
# warnings: someone building a release with another compiler should get a
# build, not a stop at that compiler's new (or false) warnings.
option(VANDREL_WERROR "Treat warnings in the project's own code as errors" OFF)

function(vandrel_set_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
        if(VANDREL_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()
