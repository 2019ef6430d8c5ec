// SetHelpFile and ShowHelpContext away from Windows: the help file path built from the registry's
// Common folder, made native, the context resolved inside the file, and the viewer asked only for
// a topic that exists.
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

class RecordingViewer : public help::HelpViewer {
  public:
    void show(const help::ResolvedTopic& topic) override {
        requests.push_back(topic);
        html.push_back(topic.file->Read(topic.topicPath).value_or("<unreadable>"));
    }
    std::vector<help::ResolvedTopic> requests;
    std::vector<std::string> html;  // each topic as the viewer can read it
};

TEST(ShowHelpContext, ShowsATopicOnlyWhenFileAndIdAreThere) {
    travix_test::TempRegistry registry;
    fixture::TempDir common;
    const fs::path helpFile = common.path() / "helpfiles" / "Toolbox.chm";
    const std::string folder = common.path().string();
    const struct {
        const char* name;
        const char* chm;  // nullptr: none; "folder": a folder in its place
        std::string common;
        std::int32_t contextId;
        const char* topic;  // nullptr: nothing shown
    } cases[] = {
        {"main window", TRAVIX_TEST_HELP_FILE, folder, 60011, "/topics/main.htm"},
        {"second topic", TRAVIX_TEST_HELP_FILE, folder + "\\", 60012, "/topics/second.htm"},
        {"no help file", nullptr, folder, 60011, nullptr},
        {"a folder as help file", "folder", folder, 60011, nullptr},
        {"unset folder: the root's helpfiles", TRAVIX_TEST_HELP_FILE, "", 60011, nullptr},
        {"negative id", TRAVIX_TEST_HELP_FILE, folder, -60011, nullptr},
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
        help::ShowHelpContext(0, c.contextId, viewer);  // each time it is asked
        ASSERT_EQ(viewer.requests.size(), c.topic ? 2u : 0u);
        for (std::size_t i = 0; c.topic && i < 2; ++i) {
            EXPECT_EQ(fs::path(viewer.requests[i].helpFile), helpFile);
            EXPECT_EQ(viewer.requests[i].topicPath, c.topic);
            EXPECT_EQ(viewer.requests[i].contextId, c.contextId);
            EXPECT_NE(viewer.html[i].find("topic"), std::string::npos);
        }
    }
    struct ThrowingViewer : help::HelpViewer {
        void show(const help::ResolvedTopic&) override { throw std::runtime_error("no display"); }
    } failing;
    fs::copy_file(TRAVIX_TEST_HELP_FILE, helpFile, fs::copy_options::overwrite_existing);
    registry.WriteHive("[SOFTWARE\\BRENLAK GmbH]\nCommon=" + folder + "\n");
    help::SetHelpFile();
    EXPECT_NO_THROW(help::ShowHelpContext(0, help::kMainWindowHelpContext, failing));
    // A registry that cannot be read reaches SetHelpFile's caller and leaves the path as it was.
    const std::string before = help::ApplicationHelpFile();
    fs::remove(registry.HiveFile());
    fs::create_directory(registry.HiveFile());
    EXPECT_THROW(help::SetHelpFile(), platform::RegistryError);
    EXPECT_EQ(help::ApplicationHelpFile(), before);
}

}  // namespace
