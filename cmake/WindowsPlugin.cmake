# The Windows plug-in: "Vandrel Pro.8bf", the file a user drops into the
# host's Plug-ins folder. Included by host/CMakeLists.txt for vandrel_plugin.
enable_language(RC)

get_property(vandrel_resource_data_dir GLOBAL PROPERTY VANDREL_RESOURCE_DATA_DIR)
set(vandrel_rc ${PROJECT_SOURCE_DIR}/resources/VandrelPro.rc)

target_sources(vandrel_plugin PRIVATE
    ${PROJECT_SOURCE_DIR}/host/DllMain_win.cpp
    ${PROJECT_SOURCE_DIR}/host/exports.def
    ${vandrel_rc})

# windres looks for the generated PiPL and terminology files on its include
# path; it does not see their dependency on its own.
target_include_directories(vandrel_plugin PRIVATE ${vandrel_resource_data_dir})
add_dependencies(vandrel_plugin vandrel_resource_data)
set_source_files_properties(${vandrel_rc} PROPERTIES OBJECT_DEPENDS
    "${vandrel_resource_data_dir}/pipl.bin;${vandrel_resource_data_dir}/aete.bin;${PROJECT_SOURCE_DIR}/resources/Dialogs.rc;${PROJECT_SOURCE_DIR}/resources/PluginInfo.h")

set_target_properties(vandrel_plugin PROPERTIES
    OUTPUT_NAME "Vandrel Pro"
    PREFIX ""
    SUFFIX ".8bf")

# Whatever the toolchain file says, the plug-in imports nothing but
# Windows' own DLLs; a release file also loses its symbol table, which no
# host reads.
target_link_options(vandrel_plugin PRIVATE -static -static-libgcc -static-libstdc++
    $<$<CONFIG:Release,MinSizeRel>:-s>)
