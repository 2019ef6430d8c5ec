// ShowHelpContext away from Windows: the stored help file path made native, the context resolved
// inside the file, and the viewer asked only for a topic that exists.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "help/MHelp.h"
#include "tests/platform/temp_registry.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class RecordingViewer : public help::HelpViewer {
  public:
    void show(const help::ResolvedTopic& topic) override {
        ASSERT_NE(topic.file, nullptr);
        requests.push_back(topic);
        html.push_back(topic.file->Read(topic.topicPath).value_or("<unreadable>"));
    }
    std::vector<help::ResolvedTopic> requests;
    std::vector<std::string> html;  // each topic as the viewer can read it
};

TEST(NativeHelpFilePath, TurnsTheStoredBackslashesIntoSlashes) {
    EXPECT_EQ(help::NativeHelpFilePath("/opt/x\\helpfiles\\Toolbox.chm"),
              "/opt/x/helpfiles/Toolbox.chm");
    EXPECT_EQ(help::NativeHelpFilePath("/opt/x/\\helpfiles\\Toolbox.chm"),
              "/opt/x//helpfiles/Toolbox.chm");
    EXPECT_EQ(help::NativeHelpFilePath("\\helpfiles\\Toolbox.chm"), "/helpfiles/Toolbox.chm");
    EXPECT_EQ(help::NativeHelpFilePath(""), "");
}

// A help folder as the product lays it out, and the registry value that points at it.
class ShowHelpContext : public ::testing::Test {
  protected:
    // Installs chm (nullptr: none; "folder": a folder in its place) and points Common at folder.
    void Install(const char* chm, const std::string& folder) {
        fs::remove_all(helpFile_);
        fs::create_directories(helpFile_.parent_path());
        if (chm != nullptr && std::string(chm) == "folder")
            fs::create_directory(helpFile_);
        else if (chm != nullptr)
            fs::copy_file(chm, helpFile_);
        registry_.WriteHive("[SOFTWARE\\BRENLAK GmbH]\nCommon=" + folder + "\n");
        help::SetHelpFile();
    }

    travix_test::TempRegistry registry_;
    fixture::TempDir common_;
    const fs::path helpFile_ = common_.path() / "helpfiles" / "Toolbox.chm";
};

TEST_F(ShowHelpContext, ShowsTheTopicOfTheIdWithoutOwnerEachTimeItIsAsked) {
    Install(TRAVIX_TEST_HELP_FILE, common_.path().string());
    ASSERT_EQ(help::ApplicationHelpFile(), common_.path().string() + "\\helpfiles\\Toolbox.chm");
    RecordingViewer viewer;
    help::ShowHelpContext(0, help::kMainWindowHelpContext, viewer);
    help::ShowHelpContext(0, help::kMainWindowHelpContext, viewer);
    help::ShowHelpContext(0, 60012, viewer);
    ASSERT_EQ(viewer.requests.size(), 3u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(viewer.requests[i].helpFile, helpFile_.string());
        EXPECT_EQ(viewer.requests[i].topicPath, "/topics/main.htm");
        EXPECT_EQ(viewer.requests[i].contextId, 60011);
        EXPECT_EQ(viewer.requests[i].ownerWindow, 0u);
        EXPECT_NE(viewer.html[i].find("Main window topic"), std::string::npos);
    }
    EXPECT_EQ(viewer.requests[2].topicPath, "/topics/second.htm");
}

TEST_F(ShowHelpContext, ShowsATopicOnlyWhenFileAndIdAreThere) {
    const std::string folder = common_.path().string();
    const struct {
        const char* name;
        const char* chm;
        std::string common;
        std::int32_t contextId;
        bool shown;
    } cases[] = {
        {"folder ending in a separator", TRAVIX_TEST_HELP_FILE, folder + "\\", 60011, true},
        {"no help file", nullptr, folder, 60011, false},
        {"a folder as help file", "folder", folder, 60011, false},
        {"unset folder: the root's helpfiles", TRAVIX_TEST_HELP_FILE, "", 60011, false},
        {"file without the id", TRAVIX_TEST_HELP_FILE_OTHER_IDS, folder, 60011, false},
        {"id nobody maps", TRAVIX_TEST_HELP_FILE, folder, 4711, false},
        {"negative id", TRAVIX_TEST_HELP_FILE, folder, -60011, false},
        {"id zero", TRAVIX_TEST_HELP_FILE, folder, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Install(c.chm, c.common);
        RecordingViewer viewer;
        help::ShowHelpContext(0, c.contextId, viewer);
        ASSERT_EQ(viewer.requests.size(), c.shown ? 1u : 0u);
        if (c.shown) {
            EXPECT_EQ(viewer.requests[0].topicPath, "/topics/main.htm");
        }
    }
}

TEST_F(ShowHelpContext, AFailingViewerDoesNotReachTheCaller) {
    Install(TRAVIX_TEST_HELP_FILE, common_.path().string());
    struct ThrowingViewer : help::HelpViewer {
        void show(const help::ResolvedTopic&) override { throw std::runtime_error("no display"); }
    } viewer;
    EXPECT_NO_THROW(help::ShowHelpContext(0, help::kMainWindowHelpContext, viewer));
}

}  // namespace
