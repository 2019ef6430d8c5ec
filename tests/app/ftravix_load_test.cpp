// The window right after start-up, in German (no registry file, or LCID 1031) and in English (LCID
// 1033). Under CTest each case is a process of its own and starts like the program.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <array>
#include <vector>

#include "app/FTravix.h"
#include "app/startup.h"
#include "app_test_support.h"

namespace travix_test {
namespace {

struct Language {
    const char* name;
    const char* lcid;  // nullptr: no registry file at all
    int column;        // 0 German, 1 English
};

void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}

using Texts = std::array<const char*, 2>;  // German, English

const std::pair<const char*, Texts> kCaptions[] = {
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
    {"lblEditorComponentLanguage", {"Sprachfreigaben", "Language authorization"}},
    {"cmdOK", {"OK", "OK"}},
    {"cmdCancel", {"Abbrechen", "Cancel"}},
    {"cmdHelp", {"&Hilfe", "&Help"}},
    // No Tag: the layout's text stays in both languages.
    {"cmdChoosePathSource", {"...", "..."}},
    {"cmdChoosePathDestination", {"...", "..."}},
};

const Texts kLevelNames[] = {
    {"Nicht anzeigen", "Don't Show"},        {"anzeigen", "Show"},
    {"Indextexte bearbeiten", "Edit Texts"}, {"Objekte bearbeiten", "Edit objects"},
    {"Objekte hinzufügen", "Add Objects"},   {"Alle Rechte", "All Rights"},
};

// The sub-frame of each component index, in index order.
const std::array<const char*, 8> kSubFrames = {
    "fraAlarmeditor",   "fraArchivEditor", "fraOPCEditor",       "fraIndextextEditor",
    "fraFormulaEditor", "fraRecipeEditor", "fraUserAdminEditor", "fraKX4VariableEditor"};

QStringList Names(const char* list) {
    return QString::fromLatin1(list).split(' ');
}

QString CaptionOf(const QWidget* widget) {
    if (auto* frame = qobject_cast<const QGroupBox*>(widget)) return frame->title();
    if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    return widget->isWindow() ? widget->windowTitle() : QStringLiteral("<no caption>");
}

class FTravixAfterLoad : public ::testing::TestWithParam<Language> {
  protected:
    void SetUp() override {
        if (GetParam().lcid != nullptr) registry_.WriteHive(HiveWithLcid(GetParam().lcid));
        services_.messages = &messages_;
        services_.exitProgram = [this](int status) { exits_.push_back(status); };
        window_ = app::StartTravix(services_);
        ASSERT_NE(window_, nullptr) << messages_.errors.join('\n').toStdString();
        ASSERT_TRUE(messages_.errors.isEmpty());
    }

    QWidget* Widget(const std::string& name) const {
        if (window_->objectName() == QString::fromStdString(name)) return window_.get();
        auto* widget = window_->findChild<QWidget*>(QString::fromStdString(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // Geometry in window coordinates, valid once the window is shown.
    QRect Box(const QString& name) const {
        QWidget* widget = Widget(name.toStdString());
        return QRect(widget->mapTo(window_.get(), QPoint(0, 0)), widget->size());
    }

    ScratchRegistry registry_;
    RecordingMessageSink messages_;
    app::WindowServices services_;
    std::vector<int> exits_;
    std::unique_ptr<app::FTravix> window_;
};

TEST_P(FTravixAfterLoad, EveryCaptionIsTheTextOfItsTagInTheChosenLanguage) {
    const int column = GetParam().column;
    for (const auto& [control, text] : kCaptions) {
        EXPECT_EQ(CaptionOf(Widget(control)), QString::fromUtf8(text[column])) << control;
    }
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        EXPECT_EQ(window_->lblEditorComponent(i)->text(),
                  QLatin1String(column ? "Rights" : "Rechte"));
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
                      QString::fromUtf8(kLevelNames[level][GetParam().column]));
            EXPECT_EQ(list->itemData(position).typeId(), QMetaType::Int);
            EXPECT_EQ(list->itemData(position).toInt(), level);
        }
        EXPECT_TRUE(list->isEditable());
        EXPECT_EQ(list->insertPolicy(), QComboBox::NoInsert);
        EXPECT_EQ(list->currentIndex(), -1);
        EXPECT_TRUE(list->lineEdit()->text().isEmpty());
    }
}

TEST_P(FTravixAfterLoad, ControlArraysAndComponentKeysShareTheComponentIndex) {
    EXPECT_EQ(window_->ComponentKeys(),
              (std::vector<std::string>{"KXAlarmeditor", "KXArchiveditor", "KXOPCEditor",
                                        "KXIndextexteditor", "KXFormulaEditor", "KXRecipeEditor",
                                        "KXUserAdminEditor", "KX4VariableEditor"}));
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        const std::string suffix = "_" + std::to_string(i);
        EXPECT_EQ(window_->cmbEditorComponent(i), Widget("cmbEditorComponent" + suffix)) << i;
        EXPECT_EQ(window_->lblEditorComponent(i), Widget("lblEditorComponent" + suffix)) << i;
        QWidget* frame = Widget(kSubFrames[i]);
        EXPECT_TRUE(frame->isAncestorOf(window_->cmbEditorComponent(i))) << i;
        EXPECT_TRUE(frame->isAncestorOf(window_->lblEditorComponent(i))) << i;
        EXPECT_TRUE(Widget("fraEditorComponent")->isAncestorOf(frame)) << i;
    }
    EXPECT_TRUE(Widget("fraIndextextEditor")->isAncestorOf(Widget("lstLockLanguages")));
    EXPECT_TRUE(Widget("fraIndextextEditor")->isAncestorOf(Widget("lblEditorComponentLanguage")));
    EXPECT_TRUE(Widget("fraPassword")->isAncestorOf(Widget("OptPasswordClear")));
    EXPECT_TRUE(Widget("fraProjectFile")->isAncestorOf(Widget("fraPassword")));
}

TEST_P(FTravixAfterLoad, OnlyThePathsAndTheButtonsOutsideTheOptionsCanBeUsed) {
    QStringList locked = Names(
        "fraPassword optPasswordSet OptPasswordClear fraEditorComponent "
        "lblEditorComponentLanguage cmdOK");
    // Locked by their container only, so that enabling the container frees them.
    QStringList inLockedFrame = Names("lstLockLanguages");
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        locked << QStringLiteral("cmbEditorComponent_%1").arg(i)
               << QStringLiteral("lblEditorComponent_%1").arg(i);
        inLockedFrame << kSubFrames[i];
    }
    for (const QString& name : Names("txtSource cmdChoosePathSource txtDestination "
                                     "cmdChoosePathDestination cmdCancel cmdHelp") +
                                   locked + inLockedFrame) {
        QWidget* widget = Widget(name.toStdString());
        EXPECT_EQ(widget->testAttribute(Qt::WA_ForceDisabled), locked.contains(name))
            << qPrintable(name);
        EXPECT_EQ(widget->isEnabled(), !locked.contains(name) && !inLockedFrame.contains(name))
            << qPrintable(name);
    }
    EXPECT_TRUE(qobject_cast<QRadioButton*>(Widget("optPasswordSet"))->isChecked());
    EXPECT_TRUE(qobject_cast<QLineEdit*>(Widget("txtSource"))->text().isEmpty());
    EXPECT_TRUE(qobject_cast<QLineEdit*>(Widget("txtDestination"))->text().isEmpty());
    EXPECT_EQ(qobject_cast<QListWidget*>(Widget("lstLockLanguages"))->count(), 0);
    // Enter must not press a button: none is the window's default.
    for (QPushButton* button : window_->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault())
            << qPrintable(button->objectName());
    }
    EXPECT_TRUE(exits_.empty());
}

TEST_P(FTravixAfterLoad, TabMovesThroughTheControlsInTheWindowsFocusOrder) {
    const QStringList expected = Names(
        "txtSource cmdChoosePathSource txtDestination cmdChoosePathDestination optPasswordSet "
        "OptPasswordClear cmdOK cmdCancel cmdHelp cmbEditorComponent_0 cmbEditorComponent_1 "
        "cmbEditorComponent_3 lstLockLanguages cmbEditorComponent_2 cmbEditorComponent_4 "
        "cmbEditorComponent_5 cmbEditorComponent_6 cmbEditorComponent_7");
    QStringList chain;
    QWidget* widget = Widget("txtSource");
    do {
        if (expected.contains(widget->objectName())) chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != Widget("txtSource") && chain.size() <= expected.size());
    EXPECT_EQ(chain, expected);
}

TEST_P(FTravixAfterLoad, ControlsStandWhereTheLayoutPutsThem) {
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    // Each "a:b" ends left of where b starts; the sub-frames 0, 2, 5, 7 form the left column.
    for (const QString& pair :
         Names("lblSource:txtSource txtSource:cmdChoosePathSource lblDestPath:txtDestination "
               "txtDestination:cmdChoosePathDestination cmdChoosePathSource:fraPassword "
               "fraAlarmeditor:fraArchivEditor cmdOK:cmdCancel cmdCancel:cmdHelp")) {
        EXPECT_LT(Box(pair.section(':', 0, 0)).right(), Box(pair.section(':', 1)).left())
            << qPrintable(pair);
    }
    // Each "a:b" ends above where b starts; 1, 4, 6, 3 form the right column.
    for (const QString& pair :
         Names("txtSource:txtDestination optPasswordSet:OptPasswordClear "
               "txtDestination:fraEditorComponent fraProjectFile:cmdOK fraAlarmeditor:fraOPCEditor "
               "fraOPCEditor:fraRecipeEditor fraRecipeEditor:fraKX4VariableEditor "
               "fraArchivEditor:fraFormulaEditor fraFormulaEditor:fraUserAdminEditor "
               "fraUserAdminEditor:fraIndextextEditor")) {
        EXPECT_LT(Box(pair.section(':', 0, 0)).bottom(), Box(pair.section(':', 1)).top())
            << qPrintable(pair);
    }
    EXPECT_EQ(Box("cmdChoosePathSource").width(), Box("cmdChoosePathSource").height());
    EXPECT_GT(Box("txtSource").width(), 4 * Box("cmdChoosePathSource").width());
    EXPECT_GE(Box("fraIndextextEditor").height(), 4 * Box("fraArchivEditor").height());
}

INSTANTIATE_TEST_SUITE_P(Languages, FTravixAfterLoad,
                         ::testing::Values(Language{"German", nullptr, 0},
                                           Language{"GermanByLcid", "1031", 0},
                                           Language{"English", "1033", 1}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace travix_test
