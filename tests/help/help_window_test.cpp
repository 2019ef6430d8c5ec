// The Help button of the real window, offscreen: the topic of context 60011 in a viewer window of
// its own, the main window left usable and unchanged, and nothing at all without a help file or a
// topic for the ID. Each case starts the window as the program does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDebug>
#include <QListWidget>
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

// What the user can see and use of a window: every control's state, text, selection and place.
QString Snapshot(const QWidget* window) {
    QString out;
    {
        QDebug debug(&out);
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets.prepend(const_cast<QWidget*>(window));
        for (const QWidget* w : widgets) {
            debug << "\n" << w->objectName();
            for (const char* name : {"windowTitle", "enabled", "visible", "geometry", "text",
                                     "title", "checked", "currentIndex", "currentText", "count"})
                debug << w->property(name);
            if (auto* list = qobject_cast<const QListWidget*>(w))
                for (int i = 0; i < list->count(); ++i)
                    debug << list->item(i)->text() << list->item(i)->checkState();
        }
    }
    return out;
}

QSet<QWidget*> TopLevels() {
    const QWidgetList widgets = QApplication::topLevelWidgets();
    return {widgets.begin(), widgets.end()};
}

class HelpButton : public ::testing::Test {
  protected:
    // Lays out the product's shared folder with chm as its help file (nullptr: none) and starts
    // the window on it.
    void Start(const char* chm) {
        if (chm != nullptr) {
            fs::create_directories(common_.path() / "helpfiles");
            fs::copy_file(chm, common_.path() / "helpfiles" / "Toolbox.chm");
        }
        registry_.WriteHive("[SOFTWARE\\BRENLAK GmbH]\nCommon=" + common_.path().string() + "\n");
        services_.messages = &messages_;
        services_.exitProgram = [](int) { ADD_FAILURE() << "Help must not end the program"; };
        window_ = app::StartTravix(services_);
        ASSERT_NE(window_, nullptr) << messages_.errors.join('\n').toStdString();
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        before_ = TopLevels();
        snapshot_ = Snapshot(window_.get());
    }

    void PressHelp() {
        auto* help = window_->findChild<QPushButton*>("cmdHelp");
        ASSERT_NE(help, nullptr);
        QTest::mouseClick(help, Qt::LeftButton);
    }

    QList<QWidget*> NewTopLevels() const {
        QList<QWidget*> added;
        for (QWidget* widget : TopLevels())
            if (!before_.contains(widget)) added << widget;
        return added;
    }

    // The one new window, a visible unowned viewer showing the main window topic.
    QTextBrowser* MainTopicViewer() const {
        const QList<QWidget*> added = NewTopLevels();
        if (added.size() != 1) {
            ADD_FAILURE() << added.size() << " new windows, expected the one viewer";
            return nullptr;
        }
        EXPECT_TRUE(added.front()->isVisible());
        EXPECT_EQ(added.front()->parentWidget(), nullptr);
        auto* browser = added.front()->findChild<QTextBrowser*>();
        if (browser == nullptr) {
            ADD_FAILURE() << "the viewer has no text browser";
            return nullptr;
        }
        EXPECT_TRUE(browser->toPlainText().contains("Main window topic"));
        return browser;
    }

    void ExpectWindowAsBefore() const {
        EXPECT_EQ(Snapshot(window_.get()).toStdString(), snapshot_.toStdString());
        EXPECT_TRUE(window_->isVisible());
        EXPECT_TRUE(window_->isEnabled());
        EXPECT_TRUE(messages_.errors.isEmpty());
        EXPECT_TRUE(messages_.messages.isEmpty());
    }

    void ExpectTwoPressesChangeNothing() {
        PressHelp();
        PressHelp();
        EXPECT_EQ(TopLevels(), before_);
        ExpectWindowAsBefore();
    }

    ScratchRegistry registry_;
    fixture::TempDir common_;
    RecordingMessageSink messages_;
    app::WindowServices services_;
    std::unique_ptr<app::FTravix> window_;
    QSet<QWidget*> before_;
    QString snapshot_;
};

// Right after start everything but Help and Cancel is disabled; Help still shows the topic, in a
// modeless window, and the main window takes input beside it.
TEST_F(HelpButton, ShowsTheMainWindowTopicWhileEverythingElseIsDisabled) {
    Start(TRAVIX_TEST_HELP_FILE);
    for (const char* name : {"cmdOK", "fraPassword", "fraEditorComponent"}) {
        QWidget* widget = window_->findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_FALSE(widget->isEnabled()) << name;
    }
    PressHelp();
    QTextBrowser* browser = MainTopicViewer();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->documentTitle(), "Projektdatenbank Im-/Export");
    EXPECT_EQ(browser->window()->windowTitle(), "Projektdatenbank Im-/Export");
    ExpectWindowAsBefore();
    EXPECT_FALSE(browser->window()->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// The page gets its picture and style sheet from the help file only.
TEST_F(HelpButton, ThePageGetsItsPictureAndStyleSheetFromTheHelpFileOnly) {
    Start(TRAVIX_TEST_HELP_FILE);
    PressHelp();
    QTextBrowser* browser = MainTopicViewer();
    ASSERT_NE(browser, nullptr);
    const QUrl page = browser->source();
    const QVariant picture = browser->loadResource(QTextDocument::ImageResource,
                                                   page.resolved(QUrl("../images/marker.png")));
    ASSERT_EQ(picture.typeId(), QMetaType::QByteArray);
    EXPECT_TRUE(picture.toByteArray().startsWith("\x89PNG"));
    EXPECT_TRUE(browser
                    ->loadResource(QTextDocument::StyleSheetResource,
                                   page.resolved(QUrl("../styles/help.css")))
                    .toByteArray()
                    .contains("#204080"));
    // Nothing outside the help file, however a page names it.
    const fs::path outside = common_.path() / "outside.png";
    fs::copy_file(fs::path(TRAVIX_TEST_HELP_DATA_DIR) / "images/marker.png", outside);
    for (const QUrl& url : {QUrl::fromLocalFile(QString::fromStdString(outside.string())),
                            QUrl("chm:/images/none.png")})
        EXPECT_FALSE(browser->loadResource(QTextDocument::ImageResource, url).isValid())
            << url.toString().toStdString();
}

// A link leads to the other topic; the next press brings the main topic back into the same
// viewer, and a press after the viewer was closed opens it again.
TEST_F(HelpButton, ALinkLeadsOnAndTheNextPressBringsTheMainTopicBack) {
    Start(TRAVIX_TEST_HELP_FILE);
    PressHelp();
    QTextBrowser* browser = MainTopicViewer();
    ASSERT_NE(browser, nullptr);
    // Follow the link with the keyboard, as a user without a mouse would.
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    EXPECT_TRUE(browser->toPlainText().contains("Second topic text"))
        << browser->toPlainText().toStdString();
    EXPECT_EQ(browser->window()->windowTitle(), "Second topic");

    PressHelp();
    EXPECT_EQ(MainTopicViewer(), browser);
    ExpectWindowAsBefore();

    browser->window()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(NewTopLevels().isEmpty());
    PressHelp();
    EXPECT_NE(MainTopicViewer(), nullptr);
}

TEST_F(HelpButton, ClosingTheMainWindowEndsTheProgramWhileTheViewerIsOpen) {
    Start(TRAVIX_TEST_HELP_FILE);
    PressHelp();
    ASSERT_NE(MainTopicViewer(), nullptr);
    ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
    QObject guard;
    QTimer::singleShot(3000, &guard, [] { QApplication::exit(7); });  // 7: still running
    QTimer::singleShot(0, window_.get(), [this] { window_->close(); });
    EXPECT_EQ(QApplication::exec(), 0);
}

// A missing help file and one without the main window's ID change nothing and open nothing.
TEST_F(HelpButton, WithoutFileLeavesTheWindowAsItWas) {
    Start(nullptr);
    ExpectTwoPressesChangeNothing();
}

TEST_F(HelpButton, WithoutTheIdLeavesTheWindowAsItWas) {
    Start(TRAVIX_TEST_HELP_FILE_OTHER_IDS);
    ExpectTwoPressesChangeNothing();
}

}  // namespace
}  // namespace travix_test
