// Runs of the program, driven as a user does: a start-up that fails, a project named on the
// command line, the typical export and an in-place run ended by OK, and the Help button. What an
// export wrote is read back by mdb-reader, mdb-export and mdb-prop; the steps' outcomes on every
// kind of file are checked in tests/apply, here only what the window makes of them.
#include <QDir>
#include <QTextBrowser>
#include <QTimer>

#include "window_driver.h"

namespace travix_test {
namespace {

namespace fs = std::filesystem;

// Runs the program's start-up and event loop; `whileRunning` sees the shown window, then the loop
// ends. Returns the exit status.
int RunProgram(RecordingMessageSink& messages, const QString& projectPath,
               const std::function<void(app::FTravix&)>& whileRunning) {
    // A start-up that fails never runs the loop; the timer must die with this call, not fire in
    // the next test's loop with references into a finished frame.
    QObject scope;
    QTimer::singleShot(0, &scope, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<app::FTravix*>(widget)) whileRunning(*window);
        }
        QApplication::exit(0);
    });
    return app::RunTravix(*qApp, {&messages}, projectPath);
}

// A start-up that fails shows the reason and ends with a non-zero status (which values and stores
// the registry refuses is checked in tests/platform). A file manager's "open with": a relative
// path lands in the source box in full, as if chosen through "...", and is refreshed.
TEST(StartUp, FailsWithTheReasonOrShowsTheProjectNamedOnTheCommandLine) {
    kQt->registry.WriteHive(LcidHive("abc"));
    RecordingMessageSink failed, messages;
    EXPECT_EQ(RunProgram(failed, {}, [](app::FTravix&) { ADD_FAILURE() << "a window showed"; }),
              app::kStartupFailureStatus);
    EXPECT_EQ(failed.errors.size(), 1);
    EXPECT_TRUE(failed.errors.value(0).contains("LCID") && failed.errors.value(0).contains("abc"));

    kQt->registry.WriteHive(LcidHive("1031"));
    fixture::TempDir dir;
    BuildProjectFile(dir.path() / "Anlage.kxs", false, {0, 1, 3});
    const QString full = QString::fromStdString((dir.path() / "Anlage.kxs").string());
    const auto check = [&](app::FTravix& window) {
        EXPECT_EQ(window.findChild<QLineEdit*>("txtSource")->selectedText(), full);
        EXPECT_EQ(window.cmbEditorComponent(2)->currentData(), QVariant(3));
    };
    EXPECT_EQ(RunProgram(messages, QDir::current().relativeFilePath(full), check), 0);
    EXPECT_TRUE(messages.messages.isEmpty() && messages.errors.isEmpty());
}

class FTravixApply : public WindowDriver {
  protected:
    // The user's way to a ready window: both paths typed.
    void ChooseSourceAndCopy(const QString& copy) {
        BuildProjectFile(source_, false);
        TypePath(Source(), Text(source_));
        TypePath(Destination(), copy);
        LeaveBox();
        Find("lstLockLanguages")->setFocus();  // out of the path boxes: the last validation
        ASSERT_TRUE(Find("cmdOK")->isEnabled());
    }
    const fs::path source_ = Path("Anlage.kxs");
};

// The typical export. Typed text in a level list is no selection, even when it spells an entry
// or starts one ("a" once completed to "anzeigen"): OK fails and the window stays, until the user
// picks an entry; then the copy gets the standard password, the levels and the releases.
TEST_F(FTravixApply, TheTypicalExportRefusesTypedLevelsThenCopiesEverythingChosen) {
    ChooseSourceAndCopy(Text(Path("Export.kxs")));
    ChooseLevel(0, 1);  // alarm editor: show only
    ChooseLevel(3, 2);  // index text editor: edit texts
    // English and French released instead of German.
    auto* languages = Find<QListWidget>("lstLockLanguages");
    for (int row = 0; row < languages->count(); ++row)
        languages->item(row)->setCheckState(row == 0 ? Qt::Unchecked : Qt::Checked);
    QLineEdit* recipe = window_->cmbEditorComponent(5)->lineEdit();
    for (const char* typed : {"a", "Alle Rechte"}) {
        QTest::mouseClick(recipe, Qt::LeftButton);
        recipe->selectAll();
        QTest::keyClicks(recipe, QString::fromUtf8(typed));
        QTest::keyClick(recipe, Qt::Key_Tab);
        EXPECT_EQ(recipe->text(), QString::fromUtf8(typed));
        Click("cmdOK");
        EXPECT_EQ(std::exchange(messages_.messages, {}),
                  QStringList{"Die Änderungen am Passwort konnten nicht durchgeführt werden"});
        EXPECT_TRUE(exits_.empty() && window_->isVisible()) << typed;
    }
    ChooseLevel(5, 4);
    Click("cmdOK");
    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
    EXPECT_EQ(exits_, std::vector<int>{0});
    const logic_test::OracleView copy = logic_test::ReadWithOracles(Path("Export.kxs"), true);
    EXPECT_EQ(copy.password, projectdb::GetStandardPassword());
    EXPECT_EQ(copy.marks,
              (std::map<std::string, std::string>{{"1031", "0"}, {"1033", "1"}, {"1036", "1"}}));
    logic_test::ExpectLevels(Path("Export.kxs"), true, {"1", "5", "5", "2", "5", "4", "5", "5"});
}

// In place, the copy box shows the database path before a later step speaks: the language save's
// message (testV2003.mdb, put in place of the source after the refresh, has no TcfgLanguages)
// already sees it there, and the run goes on to its end.
TEST_F(FTravixApply, InPlaceTheCopyBoxShowsTheSourceBeforeTheLanguageMessage) {
    ChooseSourceAndCopy(QStringLiteral("  "));
    fixture::CopyReal(dir_.path(), "jet4/testV2003.mdb", "Anlage.kxs");
    QString boxWhileShown;
    messages_.whileShown = [&] { boxWhileShown = Destination()->text(); };
    Click("cmdOK");
    ASSERT_EQ(messages_.messages.size(), 1);
    EXPECT_TRUE(messages_.messages[0].startsWith(QStringLiteral("3265")));
    EXPECT_EQ(boxWhileShown, Text(source_));
    EXPECT_EQ(exits_, std::vector<int>{0});
}

// The Help button: the topic of context 60011 from the help file that tests/help compiles, in one
// modeless viewer of its own that reads only from that file (whether a topic exists at all is
// ShowHelpContext's, in tests/help).
class HelpButton : public WindowDriver {
  protected:
    HelpButton() {
        fs::create_directories(Path("helpfiles"));
        fs::copy_file(TRAVIX_TEST_HELP_FILE, Path("helpfiles") / "Toolbox.chm");
        hive_ += "[SOFTWARE\\BRENLAK GmbH]\nCommon=" + dir_.path().string() + "\n";
    }
};

TEST_F(HelpButton, ShowsTheMainTopicInOneModelessViewerThatReadsOnlyTheHelpFile) {
    const QWidgetList before = QApplication::topLevelWidgets();
    Click("cmdHelp");
    Click("cmdHelp");
    EXPECT_TRUE(messages_.errors.isEmpty() && messages_.messages.isEmpty());
    QWidgetList added = QApplication::topLevelWidgets();
    added.removeIf([&](QWidget* widget) { return before.contains(widget); });
    ASSERT_EQ(added.size(), 1) << "both presses show the one viewer";
    EXPECT_TRUE(added[0]->isVisible() && !added[0]->isModal() && !added[0]->parentWidget());
    EXPECT_EQ(added[0]->windowTitle(), "Projektdatenbank Im-/Export");
    auto* browser = added[0]->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains("Main window topic"));
    const auto load = [&](int type, const QUrl& url) {
        return browser->loadResource(type, browser->source().resolved(url)).toByteArray();
    };
    EXPECT_TRUE(
        load(QTextDocument::ImageResource, QUrl("../images/marker.png")).startsWith("\x89PNG"));
    EXPECT_TRUE(
        load(QTextDocument::StyleSheetResource, QUrl("../styles/help.css")).contains("#204080"));
    // A page must not pull in local files, even one that exists.
    fs::copy_file(fs::path(TRAVIX_TEST_HELP_DATA_DIR) / "images/marker.png", Path("outside.png"));
    for (const QUrl& url : {QUrl::fromLocalFile(Text(Path("outside.png"))), QUrl("chm:/none.png")})
        EXPECT_TRUE(load(QTextDocument::ImageResource, url).isEmpty())
            << url.toString().toStdString();

    // Closing the main window ends the program although the viewer is still open.
    QObject guard;
    QTimer::singleShot(3000, &guard, [] { QApplication::exit(7); });  // 7: still running
    QTimer::singleShot(0, window_.get(), [this] { window_->close(); });
    EXPECT_EQ(QApplication::exec(), 0);
}

}  // namespace
}  // namespace travix_test
