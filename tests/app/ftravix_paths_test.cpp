// The "..." buttons: the dialog always starts in the program's folder with the project pattern and
// filter, a cancelled dialog changes nothing, a confirmed path lands in its box selected and
// focused and refreshes at once. Leaving a box refreshes also when its text did not change.
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
const std::vector<int> kLevels = {0, 1, 3, 2, 4, 0, 1, 2};

class FTravixPaths : public WindowDriver {
  protected:
    void SetUp() override {
        WindowDriver::SetUp();
        BuildProjectFile(project_, false, kLevels);
    }
    // Puts the focus on a "..." button without counting the refresh that leaving a box causes.
    void FocusButton(const char* name) {
        Find(name)->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), Find(name));
        refreshes_ = 0;
    }
    const fs::path project_ = dir_.path() / "Anlage.kxs";
};

TEST_F(FTravixPaths, ACancelledDialogChangesNothingAConfirmedPathIsShownAndRefreshed) {
    for (const Button& b : kButtons) {
        SCOPED_TRACE(b.button);
        auto* box = Find<QLineEdit>(b.box);
        // Whatever the box holds, the dialog starts in the program's folder.
        box->setText(QStringLiteral("/elsewhere/Alt.kxs"));
        dialog_.answers.push_back(std::nullopt);
        FocusButton(b.button);
        Click(b.button);
        EXPECT_EQ(box->text(), QStringLiteral("/elsewhere/Alt.kxs"));
        EXPECT_EQ(refreshes_, 0);
        EXPECT_EQ(QApplication::focusWidget(), Find(b.button));

        const QString chosen = Text(b.save ? dir_.path() / "Kopie" : project_);
        dialog_.answers.push_back(chosen);
        Click(b.button);
        ASSERT_EQ(dialog_.requests.size(), 2u);
        for (const app::FileDialogRequest& request : dialog_.requests) {
            EXPECT_EQ(request.fileName,
                      QCoreApplication::applicationDirPath() + QStringLiteral("\\*.kxs"));
            EXPECT_EQ(request.filter, QStringLiteral("KorvexStudio Projekt (*.kxs)|*.kxs"));
            EXPECT_EQ(request.save, b.save);
        }
        dialog_.requests.clear();
        EXPECT_EQ(dialog_.parent, window_.get());
        EXPECT_EQ(box->text(), chosen);  // a name without extension stays without
        EXPECT_EQ(box->selectedText(), chosen);
        EXPECT_EQ(box->cursorPosition(), 0);
        EXPECT_EQ(QApplication::focusWidget(), box);
        EXPECT_EQ(refreshes_, 1);
        LeaveBox();
        EXPECT_EQ(refreshes_, 2);
    }
    // The source was loaded in place first, then the copy path proposes the standard password.
    EXPECT_EQ(SelectedLevels(), kLevels);
    EXPECT_TRUE(PasswordSetChosen());
    EXPECT_EQ(EnabledStates(), All(true));
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

TEST_F(FTravixPaths, LeavingABoxRefreshesAlsoWhenItsTextDidNotChange) {
    TypePath(Source(), Text(project_));
    LeaveBox();
    ASSERT_EQ(EnabledStates(), All(true));
    // Same text, but the file went away in between: the next leave sees it, and its return.
    fs::rename(project_, dir_.path() / "moved.kxs");
    Source()->setFocus();
    LeaveBox();
    EXPECT_EQ(EnabledStates(), All(false));
    fs::rename(dir_.path() / "moved.kxs", project_);
    LeaveBox();  // now from the copy box, still empty
    EXPECT_EQ(EnabledStates(), All(true));
}

}  // namespace
}  // namespace travix_test
