// SetHelpFile and ShowHelpContext away from Windows: the help file path built from the registry's
// Common folder, made native, the context resolved inside the file, and the viewer asked only for
// a topic that exists, each time it is asked. The main window's topic in the real viewer is
// checked through the window's Help button in tests/app.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "help/MHelp.h"
#include "platform/registry.h"
#include "tests/platform/temp_registry.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct RecordingViewer : help::HelpViewer {
    // What the viewer was given, and whether the topic reads from the open file it was handed.
    void show(const help::ResolvedTopic& topic) override {
        if (throws) throw std::runtime_error("no display");
        shown.push_back(fs::path(topic.helpFile).lexically_normal().string() + "|" +
                        topic.topicPath + "|" + std::to_string(topic.contextId) + "|" +
                        std::to_string(topic.file->Read(topic.topicPath).has_value()));
    }
    bool throws = false;
    std::vector<std::string> shown;
};

TEST(ShowHelpContext, ShowsATopicOnlyWhenFileAndIdAreThere) {
    travix_test::TempRegistry registry;
    fixture::TempDir common;
    const fs::path helpFile = common.path() / "helpfiles" / "Toolbox.chm";
    const std::string folder = common.path().string();
    const struct {
        const char* name;
        bool chm;  // the compiled help file in place; without it a folder of that name
        std::string common;
        std::int32_t contextId;
        std::string shown;  // "" for nothing shown
    } cases[] = {
        {"second topic", true, folder + "\\", 60012,
         helpFile.string() + "|/topics/second.htm|60012|1"},
        {"a folder as help file", false, folder, 60011, ""},
        {"unset folder: the root's helpfiles", true, "", 60011, ""},
        {"negative id", true, folder, -60011, ""},
        {"main topic", true, folder, 60011, helpFile.string() + "|/topics/main.htm|60011|1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(helpFile.parent_path());
        fs::create_directories(c.chm ? helpFile.parent_path() : helpFile);
        if (c.chm) fs::copy_file(TRAVIX_TEST_HELP_FILE, helpFile);
        registry.WriteHive("[SOFTWARE\\BRENLAK GmbH]\nCommon=" + c.common + "\n");
        help::SetHelpFile();
        RecordingViewer viewer;
        help::ShowHelpContext(0, c.contextId, viewer);
        help::ShowHelpContext(0, c.contextId, viewer);
        EXPECT_EQ(viewer.shown, c.shown.empty() ? std::vector<std::string>()
                                                : std::vector<std::string>(2, c.shown));
    }
    // A viewer that fails reaches nobody (the last case shows a topic).
    RecordingViewer failing;
    failing.throws = true;
    EXPECT_NO_THROW(help::ShowHelpContext(0, help::kMainWindowHelpContext, failing));
    // A registry that cannot be read reaches SetHelpFile's caller and leaves the path as it was.
    const std::string before = help::ApplicationHelpFile();
    fs::remove(registry.HiveFile());
    fs::create_directory(registry.HiveFile());
    EXPECT_THROW(help::SetHelpFile(), platform::RegistryError);
    EXPECT_EQ(help::ApplicationHelpFile(), before);
}

}  // namespace
