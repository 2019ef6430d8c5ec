// The window's state, as one table per moment: right after start-up, in German (LCID 1031) and
// in English (LCID 1033); then the refresh on real files: the probe of the source text as typed,
// the password presets, the levels and languages loaded from the file, a report when a readable
// file cannot be loaded, and the options and OK unlocked exactly when the source is loaded and the
// copy path text differs from it. Then the "..." buttons, which refresh at once on a confirmed path
// only, and leaving a path box, which validates it by click, Tab or an access key unless the focus
// goes to Cancel, which ends the program without a probe.
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "window_driver.h"

namespace travix_test {
namespace {

// A control, the property that shows its caption, and the caption in German and in English.
const std::tuple<const char*, const char*, const char*, const char*> kCaptions[] = {
    {"FTravix", "windowTitle", "KorvexStudio Projektdatenbank Im-/ExportTool",
     "KorvexStudio Project Database Im-/ExportTool"},
    {"fraPassword", "title", "Datenbankpasswort", "Database password"},
    {"lblEditorComponent_7", "text", "Rechte", "Rights"},
    {"cmdHelp", "text", "&Hilfe", "&Help"},
    {"cmdChoosePathSource", "text", "...", "..."},  // no Tag: the layout's text in both languages
};
// Each level list's entries as "text:level"; the OPC editor (index 2) offers no level 2.
const char* const kLevelEntries[] = {
    "Nicht anzeigen:0|anzeigen:1|Indextexte bearbeiten:2|Objekte bearbeiten:3|"
    "Objekte hinzufügen:4|Alle Rechte:5",
    "Don't Show:0|Show:1|Edit Texts:2|Edit objects:3|Add Objects:4|All Rights:5"};
const QStringList kFocusOrder =
    QStringLiteral(
        "txtSource cmdChoosePathSource txtDestination cmdChoosePathDestination optPasswordSet "
        "OptPasswordClear cmdOK cmdCancel cmdHelp cmbEditorComponent_0 cmbEditorComponent_1 "
        "cmbEditorComponent_3 lstLockLanguages cmbEditorComponent_2 cmbEditorComponent_4 "
        "cmbEditorComponent_5 cmbEditorComponent_6 cmbEditorComponent_7")
        .split(' ');

class FTravixAfterLoad : public WindowDriver, public ::testing::WithParamInterface<int> {
  protected:
    FTravixAfterLoad() { hive_ = LcidHive(GetParam() ? "1033" : "1031"); }
};

TEST_P(FTravixAfterLoad, CaptionsLevelListsFocusOrderAndInitialStates) {
    for (const auto& [name, property, german, english] : kCaptions) {
        QWidget* widget = *name == 'F' ? window_.get() : Find(name);
        EXPECT_EQ(widget->property(property).toString(), GetParam() ? english : german) << name;
    }
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        QComboBox* list = window_->cmbEditorComponent(i);
        QStringList entries, expected = QString::fromUtf8(kLevelEntries[GetParam()]).split('|');
        if (i == 2) expected.removeAt(2);
        for (int row = 0; row < list->count(); ++row)
            entries << list->itemText(row) + ':' + list->itemData(row).toString();
        EXPECT_EQ(entries, expected) << "component " << i;
        EXPECT_TRUE(list->currentIndex() == -1 && list->currentText().isEmpty()) << i;
    }
    EXPECT_EQ(Unlocked(), false);
    EXPECT_TRUE(Find<QRadioButton>("optPasswordSet")->isChecked());
    EXPECT_TRUE(LanguageEntries().isEmpty());
    for (QPushButton* button : window_->findChildren<QPushButton*>())
        EXPECT_FALSE(button->isDefault() || button->autoDefault())
            << qPrintable(button->objectName());
    QStringList chain;
    for (QWidget* next = Source(); chain.size() <= kFocusOrder.size();) {
        if (kFocusOrder.contains(next->objectName())) chain << next->objectName();
        if ((next = next->nextInFocusChain()) == Source()) break;
    }
    EXPECT_EQ(chain, kFocusOrder);
}

// German is also the default for an absent LCID, which tests/i18n checks.
INSTANTIATE_TEST_SUITE_P(Languages, FTravixAfterLoad, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param ? "English" : "German"; });

enum class Copy { Empty, Same, Other, Blanks, OtherCase, TrailingBlanks };
enum class Preset { Kept, Set, Clear };
// What the level lists show: what the first refresh loaded, the file's own levels, or the levels
// of the file with stray values (no selection where a value names no entry).
enum class Shown { Earlier, Levels, Stray };

struct StateRow {
    const char* source;  // a file in the test folder, "" for an empty box
    bool heldOpen;       // another program has the source open
    Copy copy;
    Preset preset;
    Shown shown;
    bool unlocked;
    const char* message = "";  // the start of the one message shown, "" for none
};

void PrintTo(const StateRow& row, std::ostream* out) {
    const char* copies[] = {"none", "same", "other", "blanks", "other case", "trailing blanks"};
    *out << "source '" << row.source << (row.heldOpen ? "' held open" : "'") << ", copy "
         << copies[static_cast<int>(row.copy)];
}

const std::vector<int> kLevels = {0, 1, 3, 2, 4, 0, 1, 2};
const std::vector<int> kEarlier = {5, 5, 5, 5, 5, 5, 5, 5};  // never written: "All Rights"
// Alarm editor 9 and OPC editor 2 name no entry; the archive editor was never written.
const std::vector<int> kStrayStored = {9, -1, 2, 3, 4, 0, 1, 2};
const std::vector<int> kStrayShown = {-1, 5, -1, 3, 4, 0, 1, 2};

class FTravixRefresh : public WindowDriver, public ::testing::WithParamInterface<StateRow> {
  protected:
    void SetUp() override {
        WindowDriver::SetUp();
        BuildProjectFile(Path("earlier.kxs"), false);
        BuildProjectFile(Path("plain.kxs"), false, kLevels);
        BuildProjectFile(Path("protected.kxs"), true, kLevels);
        BuildProjectFile(Path("stray.kxs"), false, kStrayStored);
        // Blanks belong to a file name: the probe and the languages take the text as typed, the
        // project settings component (the levels) the trimmed one.
        std::filesystem::copy_file(Path("stray.kxs"), Path("plain.kxs  "));
        // Made by Access: readable, but without TcfgLanguages it fails after the levels.
        fixture::CopyReal(dir_.path(), "jet4/testV2003.mdb", "access.mdb");
    }
};

TEST_P(FTravixRefresh, PresetsLoadsAndUnlocksByTheSourceStateAndTheTexts) {
    const StateRow& row = GetParam();
    // Start from a loaded, unlocked window: another file edited in place.
    TypePath(Source(), Text(Path("earlier.kxs")));
    LeaveBox();
    ASSERT_EQ(Unlocked(), true);
    // The user's marks, so that languages loaded again show.
    auto* languages = Find<QListWidget>("lstLockLanguages");
    for (int i = 0; i < languages->count(); ++i) languages->item(i)->setCheckState(Qt::Unchecked);
    const QString source = *row.source ? Text(Path(row.source)) : QString();
    std::optional<projectdb::ProjectSettings> holder;
    if (row.heldOpen) holder.emplace().OpenProject(Path(row.source).string());
    const QString copies[] = {"",    source,           Text(Path("copy.kxs")),
                              "   ", source.toUpper(), source + "  "};
    Source()->setText(source);
    Destination()->setText(copies[static_cast<int>(row.copy)]);
    // The opposite of the expected preset, so that a preset that did not happen shows.
    Find<QRadioButton>(row.preset == Preset::Set ? "OptPasswordClear" : "optPasswordSet")
        ->setChecked(true);
    refreshes_ = 0;
    // A message box takes the activation; the window must get it back to go on validating.
    messages_.whileShown = WithAnotherWindowActive;

    LeaveBox();

    EXPECT_EQ(refreshes_, 1);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    EXPECT_EQ(messages_.messages.size(), *row.message ? 1 : 0);
    EXPECT_EQ(messages_.messages.value(0).left(qstrlen(row.message)), row.message);
    EXPECT_EQ(Find<QRadioButton>("optPasswordSet")->isChecked(), row.preset != Preset::Clear);
    const std::vector<int>* shown[] = {&kEarlier, &kLevels, &kStrayShown};
    EXPECT_EQ(SelectedLevels(), *shown[static_cast<int>(row.shown)]);
    const char* marks =
        row.shown == Shown::Earlier ? "1031:0 1033:0 1036:0" : "1031:1 1033:0 1036:0";
    EXPECT_EQ(LanguageEntries().join(' '), *row.message ? "" : marks);
    EXPECT_EQ(Unlocked(), row.unlocked);
    EXPECT_EQ(Find("lstLockLanguages")->isEnabled(), row.unlocked);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, FTravixRefresh,
    ::testing::Values(
        // state 0 or 3: nothing loaded, the earlier presets and lists stay, all locked (which
        // files probe as 0 or 3 is checked in tests/cli)
        StateRow{"", false, Copy::Empty, Preset::Kept, Shown::Earlier, false},
        StateRow{"plain.kxs", true, Copy::Other, Preset::Kept, Shown::Earlier, false},
        // state 1: "Nein" in place, "Ja" for a copy
        StateRow{"plain.kxs", false, Copy::Empty, Preset::Clear, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::Other, Preset::Set, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::Same, Preset::Set, Shown::Levels, false},
        StateRow{"plain.kxs", false, Copy::Blanks, Preset::Clear, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::OtherCase, Preset::Set, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::TrailingBlanks, Preset::Set, Shown::Levels, true},
        StateRow{"plain.kxs  ", false, Copy::Other, Preset::Set, Shown::Levels, true},
        // state 2: "Ja" in place, "Nein" for a copy
        StateRow{"protected.kxs", false, Copy::Empty, Preset::Set, Shown::Levels, true},
        StateRow{"protected.kxs", false, Copy::Other, Preset::Clear, Shown::Levels, true},
        StateRow{"protected.kxs", false, Copy::Same, Preset::Clear, Shown::Levels, false},
        // stored levels that name no entry show none, not the earlier file's
        StateRow{"stray.kxs", false, Copy::Other, Preset::Set, Shown::Stray, true},
        // readable but not loadable: the engine's number and description, everything locked
        StateRow{"access.mdb", false, Copy::Other, Preset::Set, Shown::Earlier, false, "3265"}));

// Runs `open`, which shows Qt's file dialog, and `answer` on the dialog once it shows; `answer`
// must close it. Any other window meanwhile (an overwrite question) fails the test; a dialog still
// open after some seconds is rejected, so that a fault fails the test instead of hanging it.
void AnswerFileDialog(const std::function<void()>& open,
                      const std::function<void(QFileDialog&)>& answer) {
    int ticks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ADD_FAILURE() << "a question: " << box->text().toStdString();
            box->reject();
        }
        // Qt's dialog may still be reading the folder and ignore an early answer. The answer runs
        // outside this slot: Qt fires no timer again while its slot runs, so a question that the
        // answer brings up would otherwise never be seen.
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog != nullptr && ++ticks % 20 == 1)
            QTimer::singleShot(0, dialog,
                               [&, dialog] { ticks > 500 ? dialog->reject() : answer(*dialog); });
    });
    poll.start(10);
    open();
    EXPECT_TRUE(ticks > 0 && ticks <= 500) << "the file dialog never showed or stayed open";
}

// The "..." buttons with Qt's dialog: it starts in the program's folder with the project filter
// whatever the box holds; a cancel changes nothing; a confirmed path, an existing copy target
// taken without a question, lands in the box selected and focused, and is refreshed at once. The
// dialog's history goes nowhere near the user's configuration.
TEST_F(WindowDriver, TheDialogButtonsFillTheirBoxAndRefreshOnlyOnAConfirmedPath) {
    BuildProjectFile(Path("plain.kxs"), false);
    BuildProjectFile(Path("Kopie.kxs"), false);
    for (const auto& row : {std::tuple{"cmdChoosePathSource", Source(), false},
                            {"cmdChoosePathDestination", Destination(), true}}) {
        // Not a structured binding: clang 14 cannot capture one in the lambdas below.
        const char* const button = std::get<0>(row);
        QLineEdit* const box = std::get<1>(row);
        const bool save = std::get<2>(row);
        SCOPED_TRACE(button);
        const QString chosen = Text(Path(save ? "Kopie.kxs" : "plain.kxs"));
        box->setText(QStringLiteral("/elsewhere/Alt.kxs"));
        Find(button)->setFocus();
        for (const bool confirm : {false, true}) {
            refreshes_ = 0;
            AnswerFileDialog(
                [&] { Click(button); },
                [&](QFileDialog& dialog) {
                    EXPECT_EQ(dialog.directory().canonicalPath(),
                              QDir(QCoreApplication::applicationDirPath()).canonicalPath());
                    EXPECT_EQ(dialog.nameFilters(), QStringList{"KorvexStudio Projekt (*.kxs)"});
                    EXPECT_EQ(dialog.fileMode(),
                              save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
                    EXPECT_EQ(dialog.acceptMode() == QFileDialog::AcceptSave, save);
                    if (!confirm) return dialog.reject();
                    // As the user types the path and presses Enter.
                    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                    ASSERT_NE(name, nullptr);
                    name->setText(chosen);
                    QTest::keyClick(name, Qt::Key_Return);
                });
            EXPECT_EQ(box->text(), confirm ? chosen : QStringLiteral("/elsewhere/Alt.kxs"));
            EXPECT_EQ(refreshes_, confirm ? 1 : 0);
        }
        // The window takes the activation back from the closed dialog.
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        EXPECT_EQ(box->selectedText(), chosen);
        EXPECT_EQ(box->cursorPosition(), 0);
        EXPECT_EQ(QApplication::focusWidget(), box);
    }
    const QDir home(QString::fromStdString(kQt->home.path().string()));
    EXPECT_EQ(home.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
}

TEST_F(WindowDriver, LeavingAPathBoxValidatesItUnlessTheFocusGoesToCancel) {
    enum How { kClick, kTab, kAccessKey };
    // The box left, how, the control that takes the focus or is pressed, whether it validates.
    const std::tuple<const char*, How, const char*, bool> cases[] = {
        {"txtSource", kClick, "cmdCancel", false},
        {"txtDestination", kClick, "cmdCancel", false},
        {"txtSource", kTab, "cmdChoosePathSource", true},
        {"txtDestination", kClick, "cmdHelp", true},
        // Alt+H presses Help with the focus still in the box.
        {"txtSource", kAccessKey, "cmdHelp", true},
        {"txtDestination", kAccessKey, "cmdHelp", true},
    };
    BuildProjectFile(Path("Anlage.kxs"), false);
    for (const auto& [name, how, target, validates] : cases) {
        SCOPED_TRACE(testing::Message() << name << " -> " << target << " by " << how);
        auto* box = Find<QLineEdit>(name);
        TypePath(box, Text(Path("Anlage.kxs")));
        exits_.clear();
        refreshes_ = 0;
        // The refresh runs before the button acts; Tab presses nothing.
        int refreshesWhenPressed = -1;
        const auto pressed = QObject::connect(Find<QPushButton>(target), &QPushButton::pressed,
                                              [&] { refreshesWhenPressed = refreshes_; });
        if (how == kTab) QTest::keyClick(box, Qt::Key_Tab);
        if (how == kClick) Click(target);
        if (how == kAccessKey) QTest::keyClick(box, Qt::Key_H, Qt::AltModifier);
        QTest::qWait(how == kAccessKey ? 200 : 0);  // the button's animated click
        QObject::disconnect(pressed);
        EXPECT_EQ(refreshes_, validates ? 1 : 0);
        EXPECT_EQ(exits_, validates ? std::vector<int>{} : std::vector<int>{0});
        EXPECT_EQ(refreshesWhenPressed, how == kTab ? -1 : refreshes_);
        box->clear();
    }
}

}  // namespace
}  // namespace travix_test
