// Leaving a path box validates it, except for Cancel, which ends the program at once; closing the
// window through its title bar runs nothing and writes nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/focus_validation.h"
#include "app/startup.h"
#include "app_test_support.h"

namespace travix_test {
namespace {

class FTravixFocus : public ::testing::Test {
  protected:
    void SetUp() override {
        registry_.WriteHive(HiveWithLcid("1031"));
        services_.messages = &messages_;
        services_.exitProgram = [this](int status) { exits_.push_back(status); };
        window_ = app::StartTravix(services_);
        ASSERT_NE(window_, nullptr);
        QObject::connect(window_.get(), &app::FTravix::pathValidated,
                         [this](QWidget* box) { validated_ << box->objectName(); });
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }

    template <typename T = QWidget>
    T* Find(const char* name) const {
        auto* widget = window_->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Puts the focus into a path box and types a path there, as a user would.
    void TypePath(const char* box, const QString& path) {
        QTest::mouseClick(Find(box), Qt::LeftButton);
        ASSERT_EQ(QApplication::focusWidget(), Find(box));
        QTest::keyClicks(Find(box), path);
    }

    ScratchRegistry registry_;
    RecordingMessageSink messages_;
    app::WindowServices services_;
    std::vector<int> exits_;
    QStringList validated_;
    std::unique_ptr<app::FTravix> window_;
};

enum class Move { Click, Tab };

struct FocusCase {
    const char* box;
    Move move;
    const char* target;
    const char* validates;  // the box whose validation runs, nullptr for none
    bool exits;
};

TEST_F(FTravixFocus, LeavingAPathBoxValidatesItUnlessTheFocusGoesToCancel) {
    const FocusCase cases[] = {
        {"txtSource", Move::Click, "cmdCancel", nullptr, true},
        {"txtDestination", Move::Click, "cmdCancel", nullptr, true},
        {"txtSource", Move::Tab, "cmdChoosePathSource", "txtSource", false},
        {"txtSource", Move::Click, "txtDestination", "txtSource", false},
        {"txtDestination", Move::Click, "cmdHelp", "txtDestination", false},
        {"txtDestination", Move::Click, "txtSource", "txtDestination", false},
    };
    for (const FocusCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.box << " -> " << c.target);
        exits_.clear();
        validated_.clear();
        // Park the focus on a box the case does not involve without counting that move.
        QWidget* elsewhere =
            Find(c.box) == Find("txtSource") ? Find("txtDestination") : Find("txtSource");
        elsewhere->setFocus();
        TypePath(c.box, QStringLiteral("/tmp/nowhere/Projekt.kxs"));
        validated_.clear();

        if (c.move == Move::Tab) {
            QTest::keyClick(Find(c.box), Qt::Key_Tab);
        } else {
            QTest::mouseClick(Find(c.target), Qt::LeftButton);
        }
        EXPECT_EQ(QApplication::focusWidget(), Find(c.target));
        EXPECT_EQ(validated_,
                  c.validates ? QStringList{QString::fromLatin1(c.validates)} : QStringList{});
        EXPECT_EQ(exits_, c.exits ? std::vector<int>{0} : std::vector<int>{});
        EXPECT_EQ(Find<QLineEdit>(c.box)->text(), QStringLiteral("/tmp/nowhere/Projekt.kxs"));
        Find<QLineEdit>(c.box)->clear();
    }
}

TEST_F(FTravixFocus, OnlyCancelIsExemptFromValidation) {
    for (QWidget* widget : window_->findChildren<QWidget*>()) {
        if (!(widget->focusPolicy() & Qt::TabFocus)) continue;
        EXPECT_EQ(app::CausesValidation(widget), widget != Find("cmdCancel"))
            << widget->objectName().toStdString();
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

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

TEST_F(FTravixFocus, ClosingThroughTheTitleBarRunsNoHandlerAndWritesNothing) {
    const std::string hiveBefore = ReadAll(registry_.HiveFile());
    TypePath("txtSource", QStringLiteral("/tmp/nowhere/Projekt.kxs"));
    validated_.clear();

    ASSERT_TRUE(window_->windowHandle()->close());
    QApplication::processEvents();

    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(validated_.isEmpty());
    EXPECT_TRUE(exits_.empty());
    EXPECT_TRUE(messages_.errors.isEmpty());
    EXPECT_EQ(ReadAll(registry_.HiveFile()), hiveBefore);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(registry_.dir())) {
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

}  // namespace
}  // namespace travix_test
