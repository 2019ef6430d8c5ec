// OK on real files, driven through the window as a user does: pick the source, type the copy path,
// leave the box, change levels and language marks, press OK. What the copy holds afterwards is
// read back by mdb-reader and mdb-prop. The steps' outcomes on every kind of file are checked in
// tests/apply; here, what the window makes of them.
#include <QListWidget>
#include <QTest>

#include "tests/projectdb_logic/logic_test_support.h"
#include "window_driver.h"

namespace travix_test {
namespace {

namespace fs = std::filesystem;

const QString kChangesFailed =
    QStringLiteral("Die Änderungen am Passwort konnten nicht durchgeführt werden");

class FTravixApply : public WindowDriver {
  protected:
    // The user's way to a ready window: the source through the dialog, the copy path typed.
    void ChooseSourceAndCopy(const QString& copy) {
        dialog_.answers.push_back(Text(source_));
        Click("cmdChoosePathSource");
        TypePath(Destination(), copy);
        LeaveBox();
    }
    // Restricts two editors and releases English and French instead of German.
    void ChangeSettings() {
        ChooseLevel(0, 1);  // alarm editor: show only
        ChooseLevel(3, 2);  // index text editor: edit texts
        auto* languages = Find<QListWidget>("lstLockLanguages");
        ASSERT_EQ(languages->count(), 3);
        for (int row = 0; row < 3; ++row)
            languages->item(row)->setCheckState(row == 0 ? Qt::Unchecked : Qt::Checked);
    }

    const fs::path source_ = dir_.path() / "Anlage.kxs";
    const fs::path copy_ = dir_.path() / "Export.kxs";
};

// The typical export. Typed text in a level list is no selection, even when it spells an entry
// or starts one ("a" once completed to "anzeigen"): OK fails at that list after the ones before
// it and the window stays, until the user picks an entry; then the copy gets the standard
// password, the levels and the releases.
TEST_F(FTravixApply, TheTypicalExportRefusesTypedLevelsThenCopiesEverythingChosen) {
    BuildProjectFile(source_, false);
    ChooseSourceAndCopy(Text(copy_));
    ChangeSettings();
    QComboBox* recipe = window_->cmbEditorComponent(5);
    for (const char* typed : {"a", "Alle Rechte"}) {
        SCOPED_TRACE(typed);
        QTest::mouseClick(recipe->lineEdit(), Qt::LeftButton);
        recipe->lineEdit()->selectAll();
        QTest::keyClicks(recipe->lineEdit(), QString::fromUtf8(typed));
        QTest::keyClick(recipe->lineEdit(), Qt::Key_Tab);
        EXPECT_EQ(recipe->currentText(), QString::fromUtf8(typed));
        PressOK();
        EXPECT_EQ(messages_.messages, QStringList{kChangesFailed});
        EXPECT_TRUE(exits_.empty() && window_->isVisible());
        messages_.messages.clear();
        logic_test::ExpectLevels(copy_, false, {"1", "5", "5", "2", "5", "", "", ""});
    }
    ChooseLevel(5, 4);
    PressOK();
    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
    EXPECT_EQ(exits_, std::vector<int>{0});
    const logic_test::OracleView copy = logic_test::ReadWithOracles(copy_, true);
    EXPECT_EQ(copy.password, projectdb::GetStandardPassword());
    EXPECT_EQ(copy.marks,
              (std::map<std::string, std::string>{{"1031", "0"}, {"1033", "1"}, {"1036", "1"}}));
    logic_test::ExpectLevels(copy_, true, {"1", "5", "5", "2", "5", "4", "5", "5"});
}

// In place, the copy box shows the database path before a later step speaks: the language save's
// message (testV2003.mdb, put in place of the source after the refresh, has no TcfgLanguages)
// already sees it there, and the run goes on to its end; what it wrote is checked in tests/apply.
TEST_F(FTravixApply, InPlaceTheCopyBoxShowsTheSourceBeforeTheLanguageMessage) {
    BuildProjectFile(source_, false);
    ChooseSourceAndCopy(QStringLiteral("  "));
    ChangeSettings();
    logic_test::CopyReal(dir_.path(), "jet4/testV2003.mdb", "Anlage.kxs");
    QString boxWhileShown;
    messages_.whileShown = [&] { boxWhileShown = Destination()->text(); };
    PressOK();

    ASSERT_EQ(messages_.messages.size(), 1);
    EXPECT_TRUE(messages_.messages[0].startsWith(QStringLiteral("3265")));
    EXPECT_EQ(boxWhileShown, Text(source_));
    EXPECT_EQ(exits_, std::vector<int>{0});
}

}  // namespace
}  // namespace travix_test
