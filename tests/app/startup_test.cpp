// A start-up that cannot read its configuration tells the user why and ends with a non-zero status,
// without showing the window.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <filesystem>

#include "app/FTravix.h"
#include "app_test_support.h"

namespace travix_test {
namespace {

TEST(FailedStartup, ShowsTheReasonAndEndsWithANonZeroStatus) {
    const std::pair<const char*, const char*> cases[] = {
        // The LCID written (nullptr: an unreadable registry file) and what the user must see.
        {"abc", "abc"},
        {"4294967296", "4294967296"},
        {nullptr, "HKEY_LOCAL_MACHINE.ini"},
    };
    for (const auto& [lcid, mentions] : cases) {
        SCOPED_TRACE(mentions);
        ScratchRegistry registry;
        if (lcid != nullptr) {
            registry.WriteHive(HiveWithLcid(lcid));
        } else {
            std::filesystem::create_directory(registry.HiveFile());
        }
        RecordingMessageSink messages;
        app::WindowServices services;
        services.messages = &messages;
        services.exitProgram = [](int) { ADD_FAILURE() << "nothing may end the program here"; };
        // Should start-up wrongly succeed, leave the event loop at once instead of hanging.
        QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });

        EXPECT_EQ(app::RunTravix(*qApp, services), app::kStartupFailureStatus);
        EXPECT_NE(app::kStartupFailureStatus, 0);
        ASSERT_EQ(messages.errors.size(), 1);
        EXPECT_TRUE(messages.errors[0].contains("LCID")) << messages.errors[0].toStdString();
        EXPECT_TRUE(messages.errors[0].contains(mentions)) << messages.errors[0].toStdString();
        for (QWidget* widget : QApplication::topLevelWidgets()) EXPECT_FALSE(widget->isVisible());
    }
}

}  // namespace
}  // namespace travix_test
