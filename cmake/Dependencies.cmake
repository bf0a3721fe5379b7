# Boost.Thread and Boost.Date_Time. Natively they come from the system's
# packages; the Windows cross builds point VANDREL_BOOST_ROOT at the static
# Boost.Thread that scripts/build-boost-mingw.sh compiles.
add_library(vandrel::boost_thread INTERFACE IMPORTED)
if(WIN32)
    if(NOT VANDREL_BOOST_ROOT)
        message(FATAL_ERROR "VANDREL_BOOST_ROOT must name the mingw Boost build (scripts/build-boost-mingw.sh)")
    endif()
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(vandrel_boost_arch x86_64)
    else()
        set(vandrel_boost_arch i686)
    endif()
    # Built beforehand by its script, never here: a configure step that
    # fetches and compiles a library would hide a slow, networked step
    # inside every fresh build directory.
    set(vandrel_boost_lib ${VANDREL_BOOST_ROOT}/lib/libboost_thread.a)
    if(NOT EXISTS ${vandrel_boost_lib})
        message(FATAL_ERROR "Boost.Thread for ${vandrel_boost_arch} is missing (${vandrel_boost_lib}).\n"
                            "Build it first: scripts/build-boost-mingw.sh ${vandrel_boost_arch}")
    endif()
    target_include_directories(vandrel::boost_thread SYSTEM INTERFACE ${VANDREL_BOOST_ROOT}/include)
    target_link_libraries(vandrel::boost_thread INTERFACE ${vandrel_boost_lib})
    # The library was compiled with the same definitions; Chrono and
    # Date_Time stay header-only, and nothing asks for auto-linking.
    target_compile_definitions(vandrel::boost_thread INTERFACE
        BOOST_THREAD_USE_LIB BOOST_ALL_NO_LIB BOOST_CHRONO_HEADER_ONLY)
else()
    find_package(Boost 1.74 REQUIRED COMPONENTS thread date_time)
    find_package(Threads REQUIRED)
    target_link_libraries(vandrel::boost_thread INTERFACE Boost::thread Boost::date_time Threads::Threads)
endif()
