# VANDREL_SANITIZE: empty, "address" (with undefined behaviour) or "thread".
set(VANDREL_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
# Sanitizer builds keep their assertions (Debug) but are optimised a little:
# unoptimised code under ThreadSanitizer flats a page some fifty times slower
# than a release build, too slow for the threaded tests to finish in a CI
# run. -O1 keeps every report's stack readable; sibling calls stay frames.
if(VANDREL_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
                        -O1 -fno-optimize-sibling-calls)
    add_link_options(-fsanitize=address,undefined)
elseif(VANDREL_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -O1 -fno-optimize-sibling-calls)
    add_link_options(-fsanitize=thread)
endif()
