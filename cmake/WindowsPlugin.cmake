# The Windows plug-ins: "<name>.8bf", the files a user drops into the host's
# Plug-ins folder. Included by host/CMakeLists.txt.
enable_language(RC)

get_property(vandrel_resource_data_dir GLOBAL PROPERTY VANDREL_RESOURCE_DATA_DIR)

# vandrel_windows_plugin(<target> <file name> <resource script>)
function(vandrel_windows_plugin target name rc)
    target_sources(${target} PRIVATE
        ${PROJECT_SOURCE_DIR}/host/DllMain_win.cpp
        ${PROJECT_SOURCE_DIR}/host/exports.def
        ${rc})

    # windres looks for the generated PiPL and terminology files on its
    # include path; it does not see their dependency on its own.
    target_include_directories(${target} PRIVATE ${vandrel_resource_data_dir})
    add_dependencies(${target} vandrel_resource_data)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
        "${vandrel_resource_data_dir}/pipl.bin;${vandrel_resource_data_dir}/aete.bin;${vandrel_resource_data_dir}/autoflats-pipl.bin;${vandrel_resource_data_dir}/autoflats-aete.bin;${PROJECT_SOURCE_DIR}/resources/Dialogs.rc;${PROJECT_SOURCE_DIR}/resources/PluginInfo.h;${PROJECT_SOURCE_DIR}/resources/AutoFlatsInfo.h")

    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME "${name}"
        PREFIX ""
        SUFFIX ".8bf")

    # Whatever the toolchain file says, the plug-in imports nothing but
    # Windows' own DLLs; a release file also loses its symbol table, which
    # no host reads.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
        $<$<CONFIG:Release,MinSizeRel>:-s>)
endfunction()
