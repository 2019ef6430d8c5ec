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

struct Request {
    std::string helpFile;
    std::string topicPath;
    std::int32_t contextId;
    std::uintptr_t ownerWindow;
    std::string html;  // the topic as the viewer can read it
};

class RecordingViewer : public help::HelpViewer {
  public:
    void show(const help::ResolvedTopic& topic) override {
        ASSERT_NE(topic.file, nullptr);
        requests.push_back({topic.helpFile, topic.topicPath, topic.contextId, topic.ownerWindow,
                            topic.file->Read(topic.topicPath).value_or("<unreadable>")});
    }
    std::vector<Request> requests;
};

class ThrowingViewer : public help::HelpViewer {
  public:
    void show(const help::ResolvedTopic&) override { throw std::runtime_error("no display"); }
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
    void InstallHelpFile(const fs::path& chm) {
        fs::create_directories(common_.path() / "helpfiles");
        fs::copy_file(chm, common_.path() / "helpfiles" / "Toolbox.chm",
                      fs::copy_options::overwrite_existing);
    }
    void SetCommon(const std::string& folder) {
        registry_.WriteHive("[SOFTWARE\\BRENLAK GmbH]\nCommon=" + folder + "\n");
        help::SetHelpFile();
    }
    std::string HelpFileNativePath() const {
        return (common_.path() / "helpfiles" / "Toolbox.chm").string();
    }

    travix_test::TempRegistry registry_;
    fixture::TempDir common_;
    RecordingViewer viewer_;
};

TEST_F(ShowHelpContext, ShowsTheTopicOfTheIdWithoutOwnerEachTimeItIsAsked) {
    InstallHelpFile(TRAVIX_TEST_HELP_FILE);
    SetCommon(common_.path().string());
    ASSERT_EQ(help::ApplicationHelpFile(), common_.path().string() + "\\helpfiles\\Toolbox.chm");

    help::ShowHelpContext(0, help::kMainWindowHelpContext, viewer_);
    help::ShowHelpContext(0, help::kMainWindowHelpContext, viewer_);
    help::ShowHelpContext(0, 60012, viewer_);

    ASSERT_EQ(viewer_.requests.size(), 3u);
    for (std::size_t i = 0; i < 2; ++i) {
        const Request& request = viewer_.requests[i];
        EXPECT_EQ(request.helpFile, HelpFileNativePath());
        EXPECT_EQ(request.topicPath, "/topics/main.htm");
        EXPECT_EQ(request.contextId, 60011);
        EXPECT_EQ(request.ownerWindow, 0u);
        EXPECT_NE(request.html.find("Main window topic"), std::string::npos);
    }
    EXPECT_EQ(viewer_.requests[2].topicPath, "/topics/second.htm");
}

TEST_F(ShowHelpContext, AFolderEndingInASeparatorStillFindsTheFile) {
    InstallHelpFile(TRAVIX_TEST_HELP_FILE);
    SetCommon(common_.path().string() + "\\");
    help::ShowHelpContext(0, help::kMainWindowHelpContext, viewer_);
    ASSERT_EQ(viewer_.requests.size(), 1u);
    EXPECT_EQ(viewer_.requests[0].topicPath, "/topics/main.htm");
}

TEST_F(ShowHelpContext, ShowsNothingWithoutAFileOrATopicForTheId) {
    struct Case {
        const char* name;
        const char* chm;  // installed as Toolbox.chm, or nullptr for none
        std::int32_t contextId;
    };
    const Case cases[] = {
        {"no help file", nullptr, 60011},
        {"file without the id", TRAVIX_TEST_HELP_FILE_OTHER_IDS, 60011},
        {"id nobody maps", TRAVIX_TEST_HELP_FILE, 4711},
        {"negative id", TRAVIX_TEST_HELP_FILE, -60011},
        {"id zero", TRAVIX_TEST_HELP_FILE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(common_.path() / "helpfiles");
        if (c.chm != nullptr) InstallHelpFile(c.chm);
        SetCommon(common_.path().string());
        help::ShowHelpContext(0, c.contextId, viewer_);
        EXPECT_TRUE(viewer_.requests.empty());
    }
}

TEST_F(ShowHelpContext, ShowsNothingWhenTheFolderIsUnsetOrTheFileIsNoHelpFile) {
    SetCommon("");  // the path is then "\helpfiles\Toolbox.chm": the root folder
    help::ShowHelpContext(0, help::kMainWindowHelpContext, viewer_);

    fs::create_directories(common_.path() / "helpfiles" / "Toolbox.chm");
    SetCommon(common_.path().string());
    help::ShowHelpContext(0, help::kMainWindowHelpContext, viewer_);
    EXPECT_TRUE(viewer_.requests.empty());
}

TEST_F(ShowHelpContext, AFailingViewerDoesNotReachTheCaller) {
    InstallHelpFile(TRAVIX_TEST_HELP_FILE);
    SetCommon(common_.path().string());
    ThrowingViewer viewer;
    EXPECT_NO_THROW(help::ShowHelpContext(0, help::kMainWindowHelpContext, viewer));
}

}  // namespace
