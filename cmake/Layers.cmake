# The plug-in is built as one library per layer, and each layer compiles
# against a view of the source tree that holds only what it may use: the
# folders and headers of the layers above it are not there, so an include
# in the wrong direction fails to build.
#
#   engine     engine/     nothing else (its threaded part adds Boost.Thread)
#   hostapi    hostapi/    nothing: the types of the host's published API,
#                          which every layer above the engine speaks
#   resources  resources/  the host's interface
#   params     params/     resources and the host's interface
#   ui         ui/         params, resources and the host's interface
#   host       host/       everything above; the plug-in module too
#   layered    layered/    nothing: layered files from rows the tools hand it
#
# The tools and tests on top see the whole tree.
set(VANDREL_HOST_API hostapi)

# The tree's root, also when another project (fuzz/) builds the layers.
get_filename_component(VANDREL_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# vandrel_layer_view(<target> <path>...): <target> finds "<path>/..." (a
# folder) or "<path>" (a header) and nothing else of the project.
function(vandrel_layer_view target)
    set(view ${CMAKE_BINARY_DIR}/layers/${target})
    set(wanted)
    foreach(path IN LISTS ARGN)
        get_filename_component(parent ${view}/${path} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${VANDREL_ROOT}/${path} ${view}/${path} SYMBOLIC)
        list(APPEND wanted ${view}/${path})
    endforeach()
    # A path dropped from the list must not stay visible from an older
    # configuration. Only links are removed, never what they point to.
    file(GLOB_RECURSE present LIST_DIRECTORIES true ${view}/*)
    foreach(entry IN LISTS present)
        if(IS_SYMLINK ${entry} AND NOT entry IN_LIST wanted)
            file(REMOVE ${entry})
        endif()
    endforeach()
    target_include_directories(${target} PRIVATE ${view})
    set_property(TARGET ${target} PROPERTY VANDREL_LAYER_VIEW ${view})
endfunction()
