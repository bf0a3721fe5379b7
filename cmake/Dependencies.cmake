# Boost.Thread and Boost.Date_Time. Natively they come from the system's
# packages; the Windows cross builds point VANDREL_BOOST_ROOT at the static
# Boost.Thread that scripts/build-boost-mingw.sh compiles.
add_library(vandrel::boost_thread INTERFACE IMPORTED)
if(WIN32)
    if(NOT VANDREL_BOOST_ROOT)
        message(FATAL_ERROR "VANDREL_BOOST_ROOT must name the mingw Boost build (scripts/build-boost-mingw.sh)")
    endif()
    target_include_directories(vandrel::boost_thread INTERFACE ${VANDREL_BOOST_ROOT}/include)
    target_link_libraries(vandrel::boost_thread INTERFACE ${VANDREL_BOOST_ROOT}/lib/libboost_thread.a)
    target_compile_definitions(vandrel::boost_thread INTERFACE BOOST_THREAD_USE_LIB BOOST_ALL_NO_LIB)
else()
    find_package(Boost 1.74 REQUIRED COMPONENTS thread date_time)
    find_package(Threads REQUIRED)
    target_link_libraries(vandrel::boost_thread INTERFACE Boost::thread Boost::date_time Threads::Threads)
endif()
