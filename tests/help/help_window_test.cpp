// The Help button of the real window, offscreen: the topic of context 60011 in a viewer window of
// its own, the main window left usable and unchanged, and nothing at all without a help file or a
// topic for the ID. Each case starts the window as the program does.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app/startup.h"
#include "tests/app/app_test_support.h"
#include "tests/support/temp_dir.h"

namespace travix_test {
namespace {

namespace fs = std::filesystem;

// What the user can see and use of a window: every control's state, text, selection and place.
QStringList Snapshot(const QWidget* window) {
    QStringList lines;
    auto describe = [&lines](const QWidget* widget) {
        QString line = QStringLiteral("%1 enabled=%2 visible=%3 geometry=%4,%5,%6,%7")
                           .arg(widget->objectName())
                           .arg(widget->isEnabled())
                           .arg(widget->isVisible())
                           .arg(widget->x())
                           .arg(widget->y())
                           .arg(widget->width())
                           .arg(widget->height());
        if (auto* edit = qobject_cast<const QLineEdit*>(widget)) line += " text=" + edit->text();
        if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            line += QStringLiteral(" caption=%1 checked=%2")
                        .arg(button->text())
                        .arg(button->isChecked());
        }
        if (auto* combo = qobject_cast<const QComboBox*>(widget)) {
            line += QStringLiteral(" index=%1 count=%2 text=%3")
                        .arg(combo->currentIndex())
                        .arg(combo->count())
                        .arg(combo->currentText());
        }
        if (auto* list = qobject_cast<const QListWidget*>(widget)) {
            for (int i = 0; i < list->count(); ++i) {
                line += QStringLiteral(" [%1:%2]")
                            .arg(list->item(i)->text())
                            .arg(static_cast<int>(list->item(i)->checkState()));
            }
        }
        lines << line;
    };
    lines << QStringLiteral("title=") + window->windowTitle();
    describe(window);
    for (const QWidget* child : window->findChildren<QWidget*>()) describe(child);
    return lines;
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
        ASSERT_NE(window_, nullptr) << messages_.errors.join(QStringLiteral("\n")).toStdString();
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        before_ = TopLevels();
        snapshot_ = Snapshot(window_.get());
    }

    QPushButton* Button(const char* name) const {
        return window_->findChild<QPushButton*>(QLatin1String(name));
    }

    void PressHelp() {
        QPushButton* help = Button("cmdHelp");
        ASSERT_NE(help, nullptr);
        QTest::mouseClick(help, Qt::LeftButton);
    }

    // The windows that appeared since Start.
    QList<QWidget*> NewTopLevels() const {
        QList<QWidget*> added;
        for (QWidget* widget : TopLevels()) {
            if (!before_.contains(widget)) added << widget;
        }
        return added;
    }

    QTextBrowser* OnlyViewer() const {
        const QList<QWidget*> added = NewTopLevels();
        if (added.size() != 1) {
            ADD_FAILURE() << added.size() << " new windows, expected the one viewer";
            return nullptr;
        }
        EXPECT_TRUE(added.front()->isVisible());
        EXPECT_EQ(added.front()->parentWidget(), nullptr);
        auto* browser = added.front()->findChild<QTextBrowser*>();
        EXPECT_NE(browser, nullptr);
        return browser;
    }

    void ExpectWindowAsBefore() const {
        EXPECT_EQ(Snapshot(window_.get()).join('\n').toStdString(),
                  snapshot_.join('\n').toStdString());
        EXPECT_TRUE(window_->isVisible());
        EXPECT_TRUE(window_->isEnabled());
        EXPECT_TRUE(messages_.errors.isEmpty());
        EXPECT_TRUE(messages_.messages.isEmpty());
    }

    ScratchRegistry registry_;
    fixture::TempDir common_;
    RecordingMessageSink messages_;
    app::WindowServices services_;
    std::unique_ptr<app::FTravix> window_;
    QSet<QWidget*> before_;
    QStringList snapshot_;
};

TEST_F(HelpButton, ShowsTheMainWindowTopicInAWindowOfItsOwn) {
    Start(TRAVIX_TEST_HELP_FILE);
    PressHelp();
    QTextBrowser* browser = OnlyViewer();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Main window topic")));
    EXPECT_EQ(browser->documentTitle(), QStringLiteral("Projektdatenbank Im-/Export"));
    EXPECT_EQ(browser->window()->windowTitle(), QStringLiteral("Projektdatenbank Im-/Export"));
    ExpectWindowAsBefore();
    // The main window takes input beside the viewer: the user can go on typing a path.
    EXPECT_FALSE(browser->window()->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(HelpButton, ThePageGetsItsPictureAndStyleSheetFromTheHelpFileOnly) {
    Start(TRAVIX_TEST_HELP_FILE);
    PressHelp();
    QTextBrowser* browser = OnlyViewer();
    ASSERT_NE(browser, nullptr);
    const QUrl page = browser->source();
    const QVariant picture = browser->loadResource(QTextDocument::ImageResource,
                                                   page.resolved(QUrl("../images/marker.png")));
    ASSERT_EQ(picture.typeId(), QMetaType::QByteArray);
    EXPECT_TRUE(picture.toByteArray().startsWith("\x89PNG"));
    const QVariant style = browser->loadResource(QTextDocument::StyleSheetResource,
                                                 page.resolved(QUrl("../styles/help.css")));
    EXPECT_TRUE(style.toByteArray().contains("#204080"));
    // Nothing outside the help file, however a page names it.
    const fs::path outside = common_.path() / "outside.png";
    fs::copy_file(fs::path(TRAVIX_TEST_HELP_DATA_DIR) / "images/marker.png", outside);
    EXPECT_FALSE(browser
                     ->loadResource(QTextDocument::ImageResource,
                                    QUrl::fromLocalFile(QString::fromStdString(outside.string())))
                     .isValid());
    EXPECT_FALSE(browser->loadResource(QTextDocument::ImageResource, QUrl("chm:/images/none.png"))
                     .isValid());
}

TEST_F(HelpButton, ALinkLeadsToTheOtherTopicAndTheNextPressBringsTheMainTopicBack) {
    Start(TRAVIX_TEST_HELP_FILE);
    PressHelp();
    QTextBrowser* browser = OnlyViewer();
    ASSERT_NE(browser, nullptr);
    QWidget* viewer = browser->window();

    // Follow the link with the keyboard, as a user without a mouse would.
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Second topic text")))
        << browser->toPlainText().toStdString();
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Second topic"));

    PressHelp();
    EXPECT_EQ(OnlyViewer(), browser);  // the one viewer window, raised and loaded again
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Main window topic")));
    EXPECT_TRUE(viewer->isVisible());
    ExpectWindowAsBefore();
}

TEST_F(HelpButton, APressAfterTheViewerWasClosedOpensItAgain) {
    Start(TRAVIX_TEST_HELP_FILE);
    PressHelp();
    QTextBrowser* browser = OnlyViewer();
    ASSERT_NE(browser, nullptr);
    browser->window()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(NewTopLevels().isEmpty());

    PressHelp();
    browser = OnlyViewer();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Main window topic")));
}

TEST_F(HelpButton, WorksRightAfterStartWhileEverythingElseIsDisabled) {
    Start(TRAVIX_TEST_HELP_FILE);
    for (const char* name : {"cmdOK", "fraPassword", "fraEditorComponent"}) {
        QWidget* widget = window_->findChild<QWidget*>(QLatin1String(name));
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_FALSE(widget->isEnabled()) << name;
    }
    EXPECT_TRUE(Button("cmdHelp")->isEnabled());
    PressHelp();
    QTextBrowser* browser = OnlyViewer();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Main window topic")));
    ExpectWindowAsBefore();
}

TEST_F(HelpButton, ClosingTheMainWindowEndsTheProgramWhileTheViewerIsOpen) {
    Start(TRAVIX_TEST_HELP_FILE);
    PressHelp();
    ASSERT_NE(OnlyViewer(), nullptr);
    ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
    constexpr int kStillRunning = 7;
    QTimer stillRunning;
    stillRunning.setSingleShot(true);
    QObject::connect(&stillRunning, &QTimer::timeout, [] { QApplication::exit(kStillRunning); });
    stillRunning.start(3000);
    QTimer::singleShot(0, window_.get(), [this] { window_->close(); });
    EXPECT_EQ(QApplication::exec(), 0);
}

struct Unhelpful {
    const char* name;
    const char* chm;  // the shared folder's help file, or nullptr for none
};

void PrintTo(const Unhelpful& c, std::ostream* out) {
    *out << c.name;
}

class HelpButtonWithoutTopic : public HelpButton,
                               public ::testing::WithParamInterface<Unhelpful> {};

TEST_P(HelpButtonWithoutTopic, LeavesTheWindowAsItWasAndOpensNothing) {
    Start(GetParam().chm);
    PressHelp();
    PressHelp();
    EXPECT_TRUE(NewTopLevels().isEmpty());
    EXPECT_EQ(TopLevels(), before_);
    ExpectWindowAsBefore();
}

INSTANTIATE_TEST_SUITE_P(HelpFile, HelpButtonWithoutTopic,
                         ::testing::Values(Unhelpful{"Missing", nullptr},
                                           Unhelpful{"WithoutTheMainWindowId",
                                                     TRAVIX_TEST_HELP_FILE_OTHER_IDS}),
                         [](const auto& info) { return std::string(info.param.name); });

// An injected viewer sees each press as a request of its own, for context 60011 without owner.
class RecordingViewer : public help::HelpViewer {
  public:
    void show(const help::ResolvedTopic& topic) override {
        requests.push_back({topic.contextId, topic.ownerWindow, topic.topicPath});
    }
    struct Request {
        std::int32_t contextId;
        std::uintptr_t ownerWindow;
        std::string topicPath;
    };
    std::vector<Request> requests;
};

TEST_F(HelpButton, EachPressIsANewRequestForTheMainWindowTopic) {
    RecordingViewer viewer;
    services_.helpViewer = &viewer;
    Start(TRAVIX_TEST_HELP_FILE);
    PressHelp();
    PressHelp();
    ASSERT_EQ(viewer.requests.size(), 2u);
    for (const RecordingViewer::Request& request : viewer.requests) {
        EXPECT_EQ(request.contextId, 60011);
        EXPECT_EQ(request.ownerWindow, 0u);
        EXPECT_EQ(request.topicPath, "/topics/main.htm");
    }
    EXPECT_TRUE(NewTopLevels().isEmpty());
    ExpectWindowAsBefore();
}

}  // namespace
}  // namespace travix_test
