// The Linux plug-in offers its host exactly what the Windows one does: the
// entry point and nothing else, whatever the static layers inside it mark
// as visible.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> DefinedDynamicSymbols(const std::string& library) {
    const std::string command = "nm -D --defined-only '" + library + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return {"<nm could not run>"};
    std::vector<std::string> names;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe.get())) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        names.push_back(name.empty() ? address : name);
    }
    return names;
}

}  // namespace

TEST(LinuxPluginExports, OnlyPluginMain) {
    const char* plugin = std::getenv("VANDREL_PLUGIN");
    ASSERT_NE(plugin, nullptr) << "VANDREL_PLUGIN names the plug-in under test";
    EXPECT_EQ(DefinedDynamicSymbols(plugin), std::vector<std::string>{"PluginMain"});
}

TEST(LinuxPluginExports, AutoFlatsModuleOffersOnlyPluginMainToo) {
    const char* plugin = std::getenv("VANDREL_PLUGIN");
    ASSERT_NE(plugin, nullptr);
    const std::string folder = std::string(plugin).substr(0, std::string(plugin).find_last_of('/') + 1);
    EXPECT_EQ(DefinedDynamicSymbols(folder + "vandrel_autoflats.so"), std::vector<std::string>{"PluginMain"});
}
