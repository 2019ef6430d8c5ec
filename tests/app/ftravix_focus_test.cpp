// Leaving a path box validates it, by click, Tab or an access key, for any control but Cancel,
// which ends the program without a probe.
#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "window_driver.h"

namespace travix_test {
namespace {

TEST_F(WindowDriver, LeavingAPathBoxValidatesItUnlessTheFocusGoesToCancel) {
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
        // Alt+H presses Help with the focus still in the box.
        {"txtSource", kAccessKey, "cmdHelp", true},
        {"txtDestination", kAccessKey, "cmdHelp", true},
    };
    BuildProjectFile(Path("Anlage.kxs"), false);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.box << " -> " << c.target << " by " << c.how);
        auto* box = Find<QLineEdit>(c.box);
        TypePath(box, Text(Path("Anlage.kxs")));
        exits_.clear();
        validated_.clear();
        refreshes_ = 0;
        int refreshesWhenPressed = -1;
        QMetaObject::Connection pressed;
        if (c.how == kAccessKey) {
            pressed = QObject::connect(Find<QPushButton>(c.target), &QPushButton::pressed,
                                       [&] { refreshesWhenPressed = refreshes_; });
        }
        if (c.how == kTab) QTest::keyClick(box, Qt::Key_Tab);
        if (c.how == kClick) Click(c.target);
        if (c.how == kAccessKey) {
            QTest::keyClick(box, Qt::Key_H, Qt::AltModifier);
            QTest::qWait(200);  // the button's animated click
        }
        QObject::disconnect(pressed);
        EXPECT_EQ(validated_, c.validates ? QStringList{c.box} : QStringList{});
        EXPECT_EQ(refreshes_, c.validates ? 1 : 0);
        EXPECT_EQ(exits_, c.validates ? std::vector<int>{} : std::vector<int>{0});
        // The refresh ran before the button acted.
        EXPECT_EQ(refreshesWhenPressed, c.how == kAccessKey ? 1 : -1);
        box->clear();
    }
}

}  // namespace
}  // namespace travix_test
