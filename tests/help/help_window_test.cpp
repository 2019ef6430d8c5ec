// The Help button of the real window, offscreen, started as the program starts it: the topic of
// context 60011 in a modeless viewer of its own that reads only from the help file, and nothing at
// all without a help file (the cases without a topic are ShowHelpContext's).
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app/FTravix.h"
#include "app/startup.h"
#include "tests/app/window_driver.h"
#include "tests/support/temp_dir.h"

namespace travix_test {
namespace {

namespace fs = std::filesystem;

QSet<QWidget*> TopLevels() {
    const QWidgetList widgets = QApplication::topLevelWidgets();
    return {widgets.begin(), widgets.end()};
}

class HelpButton : public ::testing::Test {
  protected:
    // Lays out the shared folder with chm as its help file (nullptr: none), starts the window on
    // it and presses Help twice; the new top-level windows.
    QList<QWidget*> StartAndPressHelp(const char* chm) {
        if (chm != nullptr) {
            fs::create_directories(common_.path() / "helpfiles");
            fs::copy_file(chm, common_.path() / "helpfiles" / "Toolbox.chm");
        }
        WriteHive("[SOFTWARE\\BRENLAK GmbH]\nCommon=" + common_.path().string() + "\n");
        services_.messages = &messages_;
        window_ = app::StartTravix(services_);
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        const QSet<QWidget*> before = TopLevels();
        for (int press = 0; press < 2; ++press)
            QTest::mouseClick(window_->findChild<QPushButton*>("cmdHelp"), Qt::LeftButton);
        EXPECT_TRUE(window_->isVisible() && window_->isEnabled());
        EXPECT_TRUE(messages_.errors.isEmpty() && messages_.messages.isEmpty());
        return (TopLevels() - before).values();
    }

    fixture::TempDir common_;
    RecordingMessageSink messages_;
    app::WindowServices services_;
    std::unique_ptr<app::FTravix> window_;
};

TEST_F(HelpButton, ShowsTheMainTopicInOneModelessViewerThatReadsOnlyTheHelpFile) {
    const QList<QWidget*> added = StartAndPressHelp(TRAVIX_TEST_HELP_FILE);
    ASSERT_EQ(added.size(), 1) << "both presses show the one viewer";
    EXPECT_TRUE(added.front()->isVisible());
    EXPECT_EQ(added.front()->parentWidget(), nullptr);
    EXPECT_FALSE(added.front()->isModal());
    auto* browser = added.front()->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains("Main window topic"));
    EXPECT_EQ(added.front()->windowTitle(), "Projektdatenbank Im-/Export");
    const QUrl page = browser->source();
    EXPECT_TRUE(browser
                    ->loadResource(QTextDocument::ImageResource,
                                   page.resolved(QUrl("../images/marker.png")))
                    .toByteArray()
                    .startsWith("\x89PNG"));
    EXPECT_TRUE(browser
                    ->loadResource(QTextDocument::StyleSheetResource,
                                   page.resolved(QUrl("../styles/help.css")))
                    .toByteArray()
                    .contains("#204080"));
    const fs::path outside = common_.path() / "outside.png";
    fs::copy_file(fs::path(TRAVIX_TEST_HELP_DATA_DIR) / "images/marker.png", outside);
    for (const QUrl& url : {QUrl::fromLocalFile(QString::fromStdString(outside.string())),
                            QUrl("chm:/images/none.png")})
        EXPECT_FALSE(browser->loadResource(QTextDocument::ImageResource, url).isValid())
            << url.toString().toStdString();

    // Closing the main window ends the program although the viewer is still open.
    QObject guard;
    QTimer::singleShot(3000, &guard, [] { QApplication::exit(7); });  // 7: still running
    QTimer::singleShot(0, window_.get(), [this] { window_->close(); });
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST_F(HelpButton, WithoutAHelpFileNothingOpens) {
    EXPECT_TRUE(StartAndPressHelp(nullptr).isEmpty());
}

}  // namespace
}  // namespace travix_test
