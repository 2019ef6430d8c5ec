// The "..." buttons and the validation of the path boxes: the dialog always starts in the
// program's folder with the project pattern and filter, a confirmed path lands in its box selected
// and focused and refreshes at once, a cancelled dialog changes nothing; leaving a box refreshes
// for every control but Cancel, also when the text did not change.
#include <QApplication>
#include <QCoreApplication>
#include <QTest>

#include "window_driver.h"

namespace travix_test {
namespace {

namespace fs = std::filesystem;

struct Button {
    const char* button;
    const char* box;
    bool save;
};

const Button kButtons[] = {{"cmdChoosePathSource", "txtSource", false},
                           {"cmdChoosePathDestination", "txtDestination", true}};

class FTravixPaths : public WindowDriver {
  protected:
    void SetUp() override {
        WindowDriver::SetUp();
        project_ = dir_.path() / "Anlage.kxs";
        BuildProjectFile(project_, false, {0, 1, 3, 2, 4, 0, 1, 2});
    }

    // Puts the focus on a "..." button without counting the refresh that leaving a box causes.
    void FocusButton(const char* name) {
        Find(name)->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), Find(name));
        refreshes_ = 0;
    }

    fs::path project_;
};

TEST_F(FTravixPaths, AConfirmedPathIsShownSelectedFocusedAndRefreshedAtOnce) {
    for (const Button& b : kButtons) {
        SCOPED_TRACE(b.button);
        dialog_.requests.clear();
        dialog_.parents.clear();
        // Whatever the box holds, the dialog starts in the program's folder.
        Find<QLineEdit>(b.box)->setText(QStringLiteral("/elsewhere/Alt.kxs"));
        const QString chosen = Text(b.save ? dir_.path() / "Kopie" : project_);
        dialog_.answers.push_back(chosen);
        FocusButton(b.button);

        Click(b.button);

        ASSERT_EQ(dialog_.requests.size(), 1u);
        const app::FileDialogRequest& request = dialog_.requests[0];
        EXPECT_EQ(request.fileName,
                  QCoreApplication::applicationDirPath() + QStringLiteral("\\*.kxs"));
        EXPECT_EQ(request.filter, QStringLiteral("KorvexStudio Projekt (*.kxs)|*.kxs"));
        EXPECT_EQ(request.save, b.save);
        EXPECT_EQ(dialog_.parents[0], window_.get());

        auto* box = Find<QLineEdit>(b.box);
        EXPECT_EQ(box->text(), chosen);  // a name without extension stays without
        EXPECT_EQ(box->selectedText(), chosen);
        EXPECT_EQ(box->cursorPosition(), 0);
        EXPECT_EQ(QApplication::focusWidget(), box);
        EXPECT_EQ(refreshes_, 1);

        // Leaving the box afterwards refreshes once more.
        LeaveBox();
        EXPECT_EQ(refreshes_, 2);
    }
    // The source was loaded in place first, then the copy path proposes the standard password.
    EXPECT_EQ(SelectedLevels(), (std::vector<int>{0, 1, 3, 2, 4, 0, 1, 2}));
    EXPECT_TRUE(PasswordSetChosen());
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));
    EXPECT_TRUE(messages_.messages.isEmpty());
}

TEST_F(FTravixPaths, ACancelledDialogKeepsTheTextAndDoesNotRefresh) {
    Source()->setText(Text(project_));
    Source()->setFocus();
    LeaveBox();
    ASSERT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));
    for (const Button& b : kButtons) {
        SCOPED_TRACE(b.button);
        const QString before = Find<QLineEdit>(b.box)->text();
        dialog_.answers.push_back(std::nullopt);
        FocusButton(b.button);

        Click(b.button);

        EXPECT_TRUE(dialog_.answers.empty());
        EXPECT_EQ(Find<QLineEdit>(b.box)->text(), before);
        EXPECT_EQ(refreshes_, 0);
        EXPECT_EQ(QApplication::focusWidget(), Find(b.button));
    }
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));
    EXPECT_TRUE(messages_.messages.isEmpty());
}

// A real dialog is a window of its own; when it closes, the main window must be active again, or
// Qt reports no focus change and leaving a path box would not validate it.
TEST_F(FTravixPaths, AfterTheDialogLeavingTheBoxStillValidates) {
    dialog_.answers.push_back(Text(project_));
    dialog_.whileShown = [] {
        QWidget dialogWindow;
        dialogWindow.show();
        dialogWindow.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialogWindow));
    };
    Click("cmdChoosePathSource");
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    EXPECT_EQ(QApplication::focusWidget(), Source());

    refreshes_ = 0;
    QTest::keyClick(Source(), Qt::Key_Tab);
    EXPECT_EQ(refreshes_, 1);
}

TEST_F(FTravixPaths, TabbingToTheButtonRefreshesClickingCancelDoesNot) {
    TypePath(Source(), Text(project_));
    refreshes_ = 0;
    QTest::keyClick(Source(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Find("cmdChoosePathSource"));
    EXPECT_EQ(refreshes_, 1);
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));

    TypePath(Destination(), Text(dir_.path() / "Kopie.kxs"));
    refreshes_ = 0;
    Click("cmdCancel");
    EXPECT_EQ(refreshes_, 0);
    EXPECT_EQ(exits_, std::vector<int>{0});
    EXPECT_FALSE(PasswordSetChosen());  // the copy path typed last was never looked at
}

TEST_F(FTravixPaths, LeavingABoxRefreshesAlsoWhenItsTextDidNotChange) {
    TypePath(Source(), Text(project_));
    LeaveBox();
    ASSERT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));

    // Same text, but the file went away in between: the next leave sees it.
    fs::rename(project_, dir_.path() / "moved.kxs");
    Source()->setFocus();
    refreshes_ = 0;
    LeaveBox();
    EXPECT_EQ(refreshes_, 1);
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, false));

    fs::rename(dir_.path() / "moved.kxs", project_);
    refreshes_ = 0;
    LeaveBox();  // now from the copy box, still empty
    EXPECT_EQ(refreshes_, 1);
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));
}

}  // namespace
}  // namespace travix_test
