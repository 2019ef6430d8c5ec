// SetHelpFile and ShowHelpContext away from Windows: the help file path built from the registry's
// Common folder, made native, the context resolved inside the file, and the viewer asked only for
// a topic that exists, each time it is asked.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "help/MHelp.h"
#include "platform/registry.h"
#include "tests/platform/temp_registry.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct RecordingViewer : help::HelpViewer {
    void show(const help::ResolvedTopic& topic) override {
        if (throws) throw std::runtime_error("no display");
        // What the viewer was given and the topic's text as it can read it.
        shown.push_back(topic.helpFile + "|" + topic.topicPath + "|" +
                        std::to_string(topic.contextId) + "|" +
                        topic.file->Read(topic.topicPath).value_or("<unreadable>"));
    }
    bool throws = false;
    std::vector<std::string> shown;
};

TEST(ShowHelpContext, ShowsATopicOnlyWhenFileAndIdAreThere) {
    travix_test::TempRegistry registry;
    fixture::TempDir common;
    const fs::path helpFile = common.path() / "helpfiles" / "Toolbox.chm";
    const std::string folder = common.path().string();
    const std::string main = helpFile.string() + "|/topics/main.htm|60011|";
    const struct {
        const char* name;
        const char* chm;  // nullptr: none; "folder": a folder in its place
        std::string common;
        std::int32_t contextId;
        std::string shown;  // "" for nothing shown
    } cases[] = {
        {"main window", TRAVIX_TEST_HELP_FILE, folder, 60011, main},
        {"second topic", TRAVIX_TEST_HELP_FILE, folder + "\\", 60012,
         helpFile.string() + "|/topics/second.htm|60012|"},
        {"no help file", nullptr, folder, 60011, ""},
        {"a folder as help file", "folder", folder, 60011, ""},
        {"unset folder: the root's helpfiles", TRAVIX_TEST_HELP_FILE, "", 60011, ""},
        {"negative id", TRAVIX_TEST_HELP_FILE, folder, -60011, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(helpFile.parent_path());
        fs::create_directories(helpFile.parent_path());
        if (c.chm != nullptr && std::string(c.chm) == "folder") fs::create_directory(helpFile);
        if (c.chm != nullptr && std::string(c.chm) != "folder") fs::copy_file(c.chm, helpFile);
        registry.WriteHive("[SOFTWARE\\BRENLAK GmbH]\nCommon=" + c.common + "\n");
        help::SetHelpFile();
        RecordingViewer viewer;
        help::ShowHelpContext(0, c.contextId, viewer);
        help::ShowHelpContext(0, c.contextId, viewer);
        ASSERT_EQ(viewer.shown.size(), c.shown.empty() ? 0u : 2u);
        for (const std::string& shown : viewer.shown) {
            EXPECT_EQ(shown.substr(0, c.shown.size()), c.shown);
            EXPECT_NE(shown.find("topic", c.shown.size()), std::string::npos) << shown;
        }
    }
    // A viewer that fails reaches nobody (the last case's registry names the folder).
    RecordingViewer failing;
    failing.throws = true;
    fs::copy_file(TRAVIX_TEST_HELP_FILE, helpFile, fs::copy_options::overwrite_existing);
    EXPECT_NO_THROW(help::ShowHelpContext(0, help::kMainWindowHelpContext, failing));
    // A registry that cannot be read reaches SetHelpFile's caller and leaves the path as it was.
    const std::string before = help::ApplicationHelpFile();
    fs::remove(registry.HiveFile());
    fs::create_directory(registry.HiveFile());
    EXPECT_THROW(help::SetHelpFile(), platform::RegistryError);
    EXPECT_EQ(help::ApplicationHelpFile(), before);
}

}  // namespace
