// A start-up that cannot read its configuration tells the user why and ends with a non-zero status,
// without showing the window.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <filesystem>

#include "app_test_support.h"

namespace travix_test {
namespace {

struct BrokenStart {
    const char* name;
    const char* lcid;      // the LCID value written, or nullptr for an unreadable registry file
    const char* mentions;  // part of the reason the user must see
};

void PrintTo(const BrokenStart& start, std::ostream* out) {
    *out << start.name;
}

class FailedStartup : public ::testing::TestWithParam<BrokenStart> {};

TEST_P(FailedStartup, ShowsTheReasonAndEndsWithANonZeroStatus) {
    ScratchRegistry registry;
    if (GetParam().lcid != nullptr) {
        registry.WriteHive(HiveWithLcid(GetParam().lcid));
    } else {
        std::filesystem::create_directory(registry.HiveFile());
    }
    RecordingMessageSink messages;
    app::WindowServices services;
    services.messages = &messages;
    services.exitProgram = [](int) { ADD_FAILURE() << "nothing may end the program here"; };

    // Should start-up wrongly succeed, leave the event loop at once instead of hanging the test.
    QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
    const int status = app::RunTravix(*qApp, services);

    EXPECT_EQ(status, app::kStartupFailureStatus);
    EXPECT_NE(status, 0);
    ASSERT_EQ(messages.errors.size(), 1);
    const QString& text = messages.errors.front();
    EXPECT_TRUE(text.contains(QStringLiteral("LCID"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8(GetParam().mentions))) << text.toStdString();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(widget->isVisible()) << widget->objectName().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Registry, FailedStartup,
    ::testing::Values(BrokenStart{"LcidThatIsNoNumber", "abc", "abc"},
                      BrokenStart{"LcidBeyond32Bits", "4294967296", "4294967296"},
                      BrokenStart{"RegistryFileUnreadable", nullptr, "HKEY_LOCAL_MACHINE.ini"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace travix_test
