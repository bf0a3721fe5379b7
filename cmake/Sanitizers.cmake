# VANDREL_SANITIZE: empty, "address" (with undefined behaviour) or "thread".
set(VANDREL_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
if(VANDREL_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(VANDREL_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
