#include "app/tag_localisation.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "i18n/MResources.h"

namespace {

// Widgets need an application object; one for the whole test binary. The table is the process
// one in German, since nothing in this binary reads an LCID into it.
class TagLocalisation : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "tag_localisation_test";
        static char* argv[] = {name, nullptr};
        static QApplication app(argc, argv);
        i18n::FillResourceTable();
    }
};

TEST_F(TagLocalisation, ReadsTheTagItems) {
    // "design": left as the layout gave it.
    const std::pair<const char*, const char*> cases[] = {
        {"C100", "KorvexStudio Projektdatenbank Im-/ExportTool"},
        {"c12", "&Hilfe"},
        {"C101,C102", "Datenbankpfad"},
        {"C101,", "Projektdatenbank"},
        {",C101", "Projektdatenbank"},
        {"C101,,X102", "Projektdatenbank"},
        {" C101", "design"},
        {"C 1 0\t1", "Projektdatenbank"},
        {"C101x", "Projektdatenbank"},
        {"C112\t", "Ja"},
        {"C", "Resource 0 not found"},
        {"C999", "Resource 999 not found"},
        {"C-5", "Resource -5 not found"},
        {"X101", "design"},
        {"x101,c", "Resource 0 not found"},
        {"", "design"},
        {",,", "design"},
        {"C101;C102", "Projektdatenbank"},  // only a comma separates items
        {"C&H65", "Projektdatenbank"},      // 0x65 is 101
        {"C100.5", "KorvexStudio Projektdatenbank Im-/ExportTool"},
        {"C101.5", "Datenbankpfad"},
        {"C3000000000", "design"},  // does not fit 32 bits: skipped
        {"C101,C3000000000", "Projektdatenbank"},
        {"C1e400", "design"},
        {"C124", "Objekte hinzuf\xC3\xBCgen"},
    };
    for (const auto& [tag, caption] : cases) {
        QWidget form;
        auto* label = new QLabel("design", &form);
        label->setProperty("Tag", QString::fromUtf8(tag));
        app::InitObjectFromTag(label);
        EXPECT_EQ(label->text().toStdString(), caption) << "Tag \"" << tag << "\"";
    }
}

TEST_F(TagLocalisation, CaptionIsTheTitleOrTextOfWhatShowsOne) {
    QWidget host;
    auto* form = new QWidget(&host);
    auto* frame = new QGroupBox("design", form);
    auto* inner = new QGroupBox(frame);
    auto* label = new QLabel("design", inner);
    auto* button = new QPushButton("design", frame);
    auto* option = new QRadioButton("design", frame);
    auto* check = new QCheckBox("design", frame);
    auto* dialog = new QDialog(form);
    auto* child = new QWidget(form);
    const std::pair<QObject*, const char*> tags[] = {
        {form, "C100"},   {frame, "C101"}, {inner, "C117"}, {label, "C102"}, {button, "C10"},
        {option, "C112"}, {check, "c113"}, {dialog, "C11"}, {child, "C101"}};
    for (auto [object, tag] : tags) object->setProperty("Tag", QString(tag));

    app::InitFormFromTag(form);

    EXPECT_EQ(form->windowTitle(), "KorvexStudio Projektdatenbank Im-/ExportTool");
    EXPECT_EQ(frame->title(), "Projektdatenbank");
    EXPECT_EQ(frame->windowTitle(), "");
    EXPECT_EQ(inner->title(), "Variableneditor (alt)");
    EXPECT_EQ(label->text(), "Datenbankpfad");
    EXPECT_EQ(button->text(), "OK");
    EXPECT_EQ(option->text(), "Ja");
    EXPECT_EQ(check->text(), "Nein");
    EXPECT_EQ(dialog->windowTitle(), "Abbrechen");
    EXPECT_EQ(child->windowTitle(), "");
}

// Line edits, lists, combos, plain objects and tags that are no string are passed over silently,
// and the walk goes on after them.
TEST_F(TagLocalisation, WhatHasNoCaptionOrNoStringTagIsPassedOver) {
    QWidget form;
    auto* edit = new QLineEdit("typed", &form);
    auto* combo = new QComboBox(&form);
    combo->setEditable(true);
    combo->addItems({"Alle Rechte", "anzeigen"});
    combo->setEditText("edited");
    auto* list = new QListWidget(&form);
    list->addItem("Deutsch");
    auto* plain = new QObject(&form);
    for (QObject* o : std::initializer_list<QObject*>{edit, combo, list, plain})
        o->setProperty("Tag", QString("C101"));
    auto* untagged = new QLabel("untagged", &form);
    const std::pair<const char*, QVariant> foreignTags[] = {
        {"number", 101}, {"bytes", QByteArray("C101")}, {"list", QStringList{"C101"}}};
    QList<QLabel*> foreign;
    for (const auto& [text, tag] : foreignTags) {
        foreign << new QLabel(text, &form);
        foreign.back()->setProperty("Tag", tag);
    }
    auto* after = new QLabel("design", &form);
    after->setProperty("Tag", QString("C11"));

    app::InitFormFromTag(&form);

    EXPECT_EQ(edit->text(), "typed");
    EXPECT_EQ(combo->currentText(), "edited");
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "Deutsch");
    EXPECT_FALSE(plain->property("text").isValid());  // no property was invented
    EXPECT_EQ(untagged->text(), "untagged");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(foreign[i]->text(), foreignTags[i].first);
    EXPECT_EQ(after->text(), "Abbrechen");

    app::InitFormFromTag(nullptr);
    app::InitObjectFromTag(nullptr);
    app::InitFormFromTag(plain);  // not a widget: no caption, no failure
    EXPECT_FALSE(plain->property("windowTitle").isValid());
}

}  // namespace
