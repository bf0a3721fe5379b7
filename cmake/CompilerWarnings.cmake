# Warnings are errors in the project's own code; third-party headers come in
# as system headers (Boost, GoogleTest, libpng, libtiff) and are not held to
# them. VANDREL_WERROR=OFF turns a new compiler's new warnings back into
# warnings while they are looked at.
option(VANDREL_WERROR "Treat warnings in the project's own code as errors" ON)

function(vandrel_set_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
        if(VANDREL_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()
