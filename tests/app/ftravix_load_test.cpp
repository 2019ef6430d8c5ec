// The window right after start-up, in German (no registry file, or LCID 1031) and in English (LCID
// 1033). Under CTest each case is a process of its own and starts like the program.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <array>
#include <vector>

#include "app/startup.h"
#include "app_test_support.h"

namespace travix_test {
namespace {

enum LanguageColumn { kGerman = 0, kEnglish = 1 };

struct Language {
    const char* name;
    const char* lcid;  // nullptr: no registry file at all
    LanguageColumn column;
};

// Names the case in test output instead of a byte dump.
void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}

struct Caption {
    const char* control;
    std::array<const char*, 2> text;  // German, English
};

const Caption kCaptions[] = {
    {"FTravix",
     {"KorvexStudio Projektdatenbank Im-/ExportTool",
      "KorvexStudio Project Database Im-/ExportTool"}},
    {"fraProjectFile", {"Projektdatenbank", "Project database"}},
    {"lblSource", {"Datenbankpfad", "Database path"}},
    {"lblDestPath", {"Kopierpfad", "Copy path"}},
    {"fraPassword", {"Datenbankpasswort", "Database password"}},
    {"optPasswordSet", {"Ja", "Yes"}},
    {"OptPasswordClear", {"Nein", "No"}},
    {"fraEditorComponent", {"Komponentenberechtigungen", "Component Authorization"}},
    {"fraAlarmeditor", {"Alarmeditor", "Alarm editor"}},
    {"fraArchivEditor", {"Archiveditor", "Archive editor"}},
    {"fraOPCEditor", {"OPC - Editor", "OPC editor"}},
    {"fraIndextextEditor", {"Indextexteditor", "Indextext editor"}},
    {"fraFormulaEditor", {"Formeleditor", "Formula Editor"}},
    {"fraRecipeEditor", {"Rezepteditor", "Recipe Editor"}},
    {"fraUserAdminEditor", {"Benutzerverwaltung", "User Administration"}},
    {"fraKX4VariableEditor", {"Variableneditor (alt)", "Variables editor (old)"}},
    {"lblEditorComponent_0", {"Rechte", "Rights"}},
    {"lblEditorComponent_1", {"Rechte", "Rights"}},
    {"lblEditorComponent_2", {"Rechte", "Rights"}},
    {"lblEditorComponent_3", {"Rechte", "Rights"}},
    {"lblEditorComponent_4", {"Rechte", "Rights"}},
    {"lblEditorComponent_5", {"Rechte", "Rights"}},
    {"lblEditorComponent_6", {"Rechte", "Rights"}},
    {"lblEditorComponent_7", {"Rechte", "Rights"}},
    {"lblEditorComponentLanguage", {"Sprachfreigaben", "Language authorization"}},
    {"cmdOK", {"OK", "OK"}},
    {"cmdCancel", {"Abbrechen", "Cancel"}},
    {"cmdHelp", {"&Hilfe", "&Help"}},
    // No Tag: the layout's text stays in both languages.
    {"cmdChoosePathSource", {"...", "..."}},
    {"cmdChoosePathDestination", {"...", "..."}},
};

const std::array<std::array<const char*, 2>, 6> kLevelNames = {{
    {"Nicht anzeigen", "Don't Show"},
    {"anzeigen", "Show"},
    {"Indextexte bearbeiten", "Edit Texts"},
    {"Objekte bearbeiten", "Edit objects"},
    {"Objekte hinzufügen", "Add Objects"},
    {"Alle Rechte", "All Rights"},
}};

// The sub-frame of each component index, in index order.
const std::array<const char*, 8> kSubFrames = {
    "fraAlarmeditor",   "fraArchivEditor", "fraOPCEditor",       "fraIndextextEditor",
    "fraFormulaEditor", "fraRecipeEditor", "fraUserAdminEditor", "fraKX4VariableEditor"};

class FTravixAfterLoad : public ::testing::TestWithParam<Language> {
  protected:
    void SetUp() override {
        if (GetParam().lcid != nullptr) registry_.WriteHive(HiveWithLcid(GetParam().lcid));
        services_.messages = &messages_;
        services_.exitProgram = [this](int status) { exits_.push_back(status); };
        window_ = app::StartTravix(services_);
        ASSERT_NE(window_, nullptr) << messages_.errors.join(QStringLiteral("\n")).toStdString();
        ASSERT_TRUE(messages_.errors.isEmpty());
    }

    QWidget* Widget(const char* name) const {
        if (window_->objectName() == QLatin1String(name)) return window_.get();
        auto* widget = window_->findChild<QWidget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Geometry in window coordinates, valid once the window is shown.
    QRect Box(const char* name) const {
        QWidget* widget = Widget(name);
        return QRect(widget->mapTo(window_.get(), QPoint(0, 0)), widget->size());
    }

    ScratchRegistry registry_;
    RecordingMessageSink messages_;
    app::WindowServices services_;
    std::vector<int> exits_;
    std::unique_ptr<app::FTravix> window_;
};

TEST_P(FTravixAfterLoad, EveryCaptionIsTheTextOfItsTagInTheChosenLanguage) {
    for (const Caption& caption : kCaptions) {
        QWidget* widget = Widget(caption.control);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(CaptionOf(widget), QString::fromUtf8(caption.text[GetParam().column]))
            << caption.control;
    }
    EXPECT_TRUE(Widget("cmdChoosePathSource")->font().bold());
    EXPECT_TRUE(Widget("cmdChoosePathDestination")->font().bold());
}

TEST_P(FTravixAfterLoad, LevelListsHoldTheLevelNamesWithTheirLevelsAndNothingSelected) {
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        SCOPED_TRACE(testing::Message() << "cmbEditorComponent(" << i << ")");
        QComboBox* list = window_->cmbEditorComponent(i);
        // The OPC editor (index 2) offers no level 2; its positions 2, 3, 4 carry levels 3, 4, 5.
        const std::vector<int> levels =
            i == 2 ? std::vector<int>{0, 1, 3, 4, 5} : std::vector<int>{0, 1, 2, 3, 4, 5};
        ASSERT_EQ(list->count(), static_cast<int>(levels.size()));
        for (int position = 0; position < list->count(); ++position) {
            const int level = levels[static_cast<std::size_t>(position)];
            EXPECT_EQ(list->itemText(position),
                      QString::fromUtf8(kLevelNames[level][GetParam().column]))
                << "position " << position;
            const QVariant data = list->itemData(position);
            EXPECT_EQ(data.typeId(), QMetaType::Int) << "position " << position;
            EXPECT_EQ(data.toInt(), level) << "position " << position;
        }
        EXPECT_TRUE(list->isEditable());
        EXPECT_EQ(list->insertPolicy(), QComboBox::NoInsert);
        EXPECT_EQ(list->currentIndex(), -1);
        EXPECT_TRUE(list->currentText().isEmpty());
        ASSERT_NE(list->lineEdit(), nullptr);
        EXPECT_TRUE(list->lineEdit()->text().isEmpty());
    }
}

TEST_P(FTravixAfterLoad, ControlArraysAndComponentKeysShareTheComponentIndex) {
    const std::vector<std::string> keys = {
        "KXAlarmeditor",   "KXArchiveditor", "KXOPCEditor",       "KXIndextexteditor",
        "KXFormulaEditor", "KXRecipeEditor", "KXUserAdminEditor", "KX4VariableEditor"};
    EXPECT_EQ(window_->ComponentKeys(), keys);
    ASSERT_EQ(window_->ComponentKeys().size(), 8u);
    EXPECT_EQ(window_->ComponentKeys()[7], "KX4VariableEditor");

    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        SCOPED_TRACE(testing::Message() << "index " << i);
        const QString suffix = QStringLiteral("_%1").arg(i);
        EXPECT_EQ(window_->cmbEditorComponent(i),
                  window_->findChild<QComboBox*>(QStringLiteral("cmbEditorComponent") + suffix));
        EXPECT_EQ(window_->lblEditorComponent(i),
                  window_->findChild<QLabel*>(QStringLiteral("lblEditorComponent") + suffix));
        QWidget* frame = Widget(kSubFrames[i]);
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(frame->isAncestorOf(window_->cmbEditorComponent(i)));
        EXPECT_TRUE(frame->isAncestorOf(window_->lblEditorComponent(i)));
        EXPECT_TRUE(Widget("fraEditorComponent")->isAncestorOf(frame));
    }
    EXPECT_TRUE(Widget("fraIndextextEditor")->isAncestorOf(Widget("lstLockLanguages")));
    EXPECT_TRUE(Widget("fraIndextextEditor")->isAncestorOf(Widget("lblEditorComponentLanguage")));
    EXPECT_TRUE(Widget("fraProjectFile")->isAncestorOf(Widget("fraPassword")));
    EXPECT_TRUE(Widget("fraPassword")->isAncestorOf(Widget("OptPasswordClear")));
}

struct InitialState {
    const char* control;
    bool ownEnabled;  // the control's own enabled property
    bool usable;      // enabled and inside enabled containers
};

TEST_P(FTravixAfterLoad, OnlyThePathsAndTheButtonsOutsideTheOptionsCanBeUsed) {
    std::vector<InitialState> states = {
        {"txtSource", true, true},
        {"cmdChoosePathSource", true, true},
        {"txtDestination", true, true},
        {"cmdChoosePathDestination", true, true},
        {"fraPassword", false, false},
        {"optPasswordSet", false, false},
        {"OptPasswordClear", false, false},
        {"fraEditorComponent", false, false},
        {"lblEditorComponentLanguage", false, false},
        // Locked by their container only, so that enabling the container frees them.
        {"lstLockLanguages", true, false},
        {"cmdOK", false, false},
        {"cmdCancel", true, true},
        {"cmdHelp", true, true},
    };
    for (const char* frame : kSubFrames) states.push_back({frame, true, false});
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        EXPECT_FALSE(window_->cmbEditorComponent(i)->isEnabled()) << i;
        EXPECT_TRUE(window_->cmbEditorComponent(i)->testAttribute(Qt::WA_ForceDisabled)) << i;
        EXPECT_TRUE(window_->lblEditorComponent(i)->testAttribute(Qt::WA_ForceDisabled)) << i;
    }
    for (const InitialState& state : states) {
        QWidget* widget = Widget(state.control);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(!widget->testAttribute(Qt::WA_ForceDisabled), state.ownEnabled) << state.control;
        EXPECT_EQ(widget->isEnabled(), state.usable) << state.control;
    }

    EXPECT_TRUE(qobject_cast<QRadioButton*>(Widget("optPasswordSet"))->isChecked());
    EXPECT_FALSE(qobject_cast<QRadioButton*>(Widget("OptPasswordClear"))->isChecked());
    EXPECT_TRUE(qobject_cast<QLineEdit*>(Widget("txtSource"))->text().isEmpty());
    EXPECT_TRUE(qobject_cast<QLineEdit*>(Widget("txtDestination"))->text().isEmpty());
    EXPECT_EQ(qobject_cast<QListWidget*>(Widget("lstLockLanguages"))->count(), 0);
    // Enter must not press a button: none is the window's default.
    for (QPushButton* button : window_->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault())
            << button->objectName().toStdString();
    }
    // The cancel button is the one control that does not validate the path box it takes focus from.
    EXPECT_EQ(Widget("cmdCancel")->property("causesValidation"), QVariant(false));
    EXPECT_TRUE(exits_.empty());
}

TEST_P(FTravixAfterLoad, TabMovesThroughTheControlsInTheWindowsFocusOrder) {
    const QStringList expected = {"txtSource",
                                  "cmdChoosePathSource",
                                  "txtDestination",
                                  "cmdChoosePathDestination",
                                  "optPasswordSet",
                                  "OptPasswordClear",
                                  "cmdOK",
                                  "cmdCancel",
                                  "cmdHelp",
                                  "cmbEditorComponent_0",
                                  "cmbEditorComponent_1",
                                  "cmbEditorComponent_3",
                                  "lstLockLanguages",
                                  "cmbEditorComponent_2",
                                  "cmbEditorComponent_4",
                                  "cmbEditorComponent_5",
                                  "cmbEditorComponent_6",
                                  "cmbEditorComponent_7"};
    QStringList chain;
    QWidget* start = Widget("txtSource");
    QWidget* widget = start;
    do {
        if (expected.contains(widget->objectName())) chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != start && chain.size() <= expected.size());
    EXPECT_EQ(chain, expected);
}

TEST_P(FTravixAfterLoad, ControlsStandWhereTheLayoutPutsThem) {
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));

    // The two path rows: label, wide box, small square "..." button; the source row on top.
    for (auto row : {std::array{"lblSource", "txtSource", "cmdChoosePathSource"},
                     std::array{"lblDestPath", "txtDestination", "cmdChoosePathDestination"}}) {
        EXPECT_LT(Box(row[0]).right(), Box(row[1]).left()) << row[0];
        EXPECT_LT(Box(row[1]).right(), Box(row[2]).left()) << row[1];
        EXPECT_GT(Box(row[1]).width(), 4 * Box(row[2]).width()) << row[1];
        EXPECT_EQ(Box(row[2]).width(), Box(row[2]).height()) << row[2];
    }
    EXPECT_LT(Box("txtSource").bottom(), Box("txtDestination").top());
    EXPECT_EQ(Box("txtSource").left(), Box("txtDestination").left());

    // The password frame right of both rows, "Ja" above "Nein".
    EXPECT_GT(Box("fraPassword").left(), Box("cmdChoosePathSource").right());
    EXPECT_LE(Box("fraPassword").top(), Box("txtSource").bottom());
    EXPECT_GE(Box("fraPassword").bottom(), Box("txtDestination").top());
    EXPECT_LT(Box("optPasswordSet").bottom(), Box("OptPasswordClear").top());

    // The permissions frame below the rows, its left edge with the text boxes.
    EXPECT_GT(Box("fraEditorComponent").top(), Box("txtDestination").bottom());
    EXPECT_EQ(Box("fraEditorComponent").left(), Box("txtSource").left());

    // Two columns of sub-frames: 0, 2, 5, 7 on the left, 1, 4, 6, 3 on the right.
    for (const std::array<int, 4>& column :
         {std::array<int, 4>{0, 2, 5, 7}, std::array<int, 4>{1, 4, 6, 3}}) {
        for (std::size_t k = 1; k < column.size(); ++k) {
            const QRect above = Box(kSubFrames[column[k - 1]]);
            const QRect below = Box(kSubFrames[column[k]]);
            EXPECT_EQ(above.left(), below.left()) << kSubFrames[column[k]];
            EXPECT_LT(above.bottom(), below.top()) << kSubFrames[column[k]];
        }
    }
    EXPECT_GT(Box(kSubFrames[1]).left(), Box(kSubFrames[0]).right());
    EXPECT_EQ(Box(kSubFrames[1]).top(), Box(kSubFrames[0]).top());
    EXPECT_GE(Box(kSubFrames[3]).height(), 4 * Box(kSubFrames[1]).height());
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        const QRect label = window_->lblEditorComponent(i)->geometry();
        const QRect list = window_->cmbEditorComponent(i)->geometry();
        EXPECT_LT(label.right(), list.left()) << i;
    }
    EXPECT_GT(Box("lblEditorComponentLanguage").top(), Box("cmbEditorComponent_3").bottom());
    EXPECT_GT(Box("lstLockLanguages").top(), Box("lblEditorComponentLanguage").bottom());

    // OK, Cancel, Help from left to right under the project frame, at the right.
    EXPECT_GT(Box("cmdOK").top(), Box("fraProjectFile").bottom());
    EXPECT_LT(Box("cmdOK").right(), Box("cmdCancel").left());
    EXPECT_LT(Box("cmdCancel").right(), Box("cmdHelp").left());
    EXPECT_GT(Box("cmdOK").left(), window_->width() / 2);
}

INSTANTIATE_TEST_SUITE_P(Languages, FTravixAfterLoad,
                         ::testing::Values(Language{"German", nullptr, kGerman},
                                           Language{"GermanByLcid", "1031", kGerman},
                                           Language{"English", "1033", kEnglish}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace travix_test
