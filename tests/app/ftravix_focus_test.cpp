// Leaving a path box validates it, by click, Tab or an access key, for any control but Cancel,
// which ends the program at once without a probe.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "window_driver.h"

namespace travix_test {
namespace {

using FTravixFocus = WindowDriver;

TEST_F(FTravixFocus, LeavingAPathBoxValidatesItUnlessTheFocusGoesToCancel) {
    enum How { kClick, kTab, kAccessKey };
    const struct {
        const char* box;
        How how;
        const char* target;  // the control that takes the focus or is pressed
        bool validates;
    } cases[] = {
        {"txtSource", kClick, "cmdCancel", false},
        {"txtDestination", kClick, "cmdCancel", false},
        {"txtSource", kTab, "cmdChoosePathSource", true},
        {"txtSource", kClick, "txtDestination", true},
        {"txtDestination", kClick, "cmdHelp", true},
        {"txtDestination", kClick, "txtSource", true},
        // Alt+H presses Help with the focus still in the box.
        {"txtSource", kAccessKey, "cmdHelp", true},
        {"txtDestination", kAccessKey, "cmdHelp", true},
    };
    const QString path = Text(Path("Anlage.kxs"));
    BuildProjectFile(Path("Anlage.kxs"), false);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.box << " -> " << c.target << " by " << c.how);
        auto* box = Find<QLineEdit>(c.box);
        TypePath(box, path);
        exits_.clear();
        validated_.clear();
        refreshes_ = 0;
        int refreshesWhenPressed = -1;
        QMetaObject::Connection connection;
        if (c.how == kAccessKey) {
            connection = QObject::connect(Find<QPushButton>(c.target), &QPushButton::pressed,
                                          [&] { refreshesWhenPressed = refreshes_; });
        }

        if (c.how == kTab) QTest::keyClick(box, Qt::Key_Tab);
        if (c.how == kClick) Click(c.target);
        if (c.how == kAccessKey) {
            QTest::keyClick(box, Qt::Key_H, Qt::AltModifier);
            QTest::qWait(300);  // the button's animated click
        }
        QObject::disconnect(connection);
        EXPECT_EQ(validated_, c.validates ? QStringList{c.box} : QStringList{});
        EXPECT_EQ(refreshes_, c.validates ? 1 : 0);
        EXPECT_EQ(exits_, c.validates ? std::vector<int>{} : std::vector<int>{0});
        // The refresh ran before the button acted.
        if (c.how == kAccessKey) {
            EXPECT_EQ(refreshesWhenPressed, 1);
        }
        box->clear();
        Source()->setFocus();
        QTest::keyClick(Source(), Qt::Key_Tab);  // back to a locked window for the next case
    }
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
            QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdCancel")),
                              Qt::LeftButton);
            std::fputs("the program went on after Cancel", stderr);
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace travix_test
