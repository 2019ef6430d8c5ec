// Leaving a path box validates it, for any control but Cancel, which ends the program at once
// without a probe; closing the window through its title bar runs nothing and writes nothing.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

#include "app/focus_validation.h"
#include "app/startup.h"
#include "window_driver.h"

namespace travix_test {
namespace {

using FTravixFocus = WindowDriver;

TEST_F(FTravixFocus, LeavingAPathBoxValidatesItUnlessTheFocusGoesToCancel) {
    struct Case {
        const char* box;
        bool tab;  // Tab instead of a click on the target
        const char* target;
        bool validates;
    };
    const Case cases[] = {
        {"txtSource", false, "cmdCancel", false},
        {"txtDestination", false, "cmdCancel", false},
        {"txtSource", true, "cmdChoosePathSource", true},
        {"txtSource", false, "txtDestination", true},
        {"txtDestination", false, "cmdHelp", true},
        {"txtDestination", false, "txtSource", true},
    };
    const QString path = Text(dir_.path() / "Anlage.kxs");
    BuildProjectFile(dir_.path() / "Anlage.kxs", false);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.box << " -> " << c.target);
        auto* box = Find<QLineEdit>(c.box);
        TypePath(box, path);
        exits_.clear();
        validated_.clear();
        refreshes_ = 0;

        if (c.tab) {
            QTest::keyClick(box, Qt::Key_Tab);
        } else {
            Click(c.target);
        }
        EXPECT_EQ(QApplication::focusWidget(), Find(c.target));
        EXPECT_EQ(validated_, c.validates ? QStringList{c.box} : QStringList{});
        EXPECT_EQ(refreshes_, c.validates ? 1 : 0);
        EXPECT_EQ(exits_, c.validates ? std::vector<int>{} : std::vector<int>{0});
        EXPECT_EQ(box->text(), path);
        box->clear();
    }
}

TEST_F(FTravixFocus, OnlyCancelIsExemptFromValidation) {
    for (QWidget* widget : window_->findChildren<QWidget*>()) {
        if (!(widget->focusPolicy() & Qt::TabFocus)) continue;
        EXPECT_EQ(app::CausesValidation(widget), widget != Find("cmdCancel"))
            << qPrintable(widget->objectName());
    }
}

TEST_F(FTravixFocus, ClosingThroughTheTitleBarRunsNoHandlerAndWritesNothing) {
    const std::string hiveBefore = FileBytes(registry_.HiveFile());
    TypePath(Source(), QStringLiteral("/tmp/nowhere/Projekt.kxs"));
    validated_.clear();

    ASSERT_TRUE(window_->windowHandle()->close());
    QApplication::processEvents();

    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(validated_.isEmpty());
    EXPECT_TRUE(exits_.empty());
    EXPECT_TRUE(messages_.errors.isEmpty() && messages_.messages.isEmpty());
    EXPECT_EQ(FileBytes(registry_.HiveFile()), hiveBefore);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(registry_.dir()), {}), 1);
}

// The real exit, in a child process: Cancel ends it with status 0 before anything after the click
// runs.
TEST(FTravixCancel, EndsTheProgramAtOnceWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ScratchRegistry registry;
    EXPECT_EXIT(
        {
            RecordingMessageSink messages;
            app::WindowServices services;
            services.messages = &messages;
            std::unique_ptr<app::FTravix> window = app::StartTravix(services);
            if (!window) std::_Exit(2);
            window->show();
            if (!QTest::qWaitForWindowExposed(window.get())) std::_Exit(3);
            auto* source = window->findChild<QLineEdit*>(QStringLiteral("txtSource"));
            source->setFocus();
            QTest::keyClicks(source, QStringLiteral("/tmp/nowhere/Projekt.kxs"));
            QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdCancel")),
                              Qt::LeftButton);
            std::fputs("the program went on after Cancel", stderr);
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace travix_test
