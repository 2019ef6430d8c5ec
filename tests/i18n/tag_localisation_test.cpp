#include "i18n/tag_localisation.h"

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
#include <QVBoxLayout>
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
    struct Case {
        const char* tag;
        const char* caption;  // "design" means: left as the layout gave it
    };
    const Case cases[] = {
        {"C100", "KorvexStudio Projektdatenbank Im-/ExportTool"},
        {"c12", "&Hilfe"},
        {"C101,C102", "Datenbankpfad"},
        {"C101,", "Projektdatenbank"},
        {",C101", "Projektdatenbank"},
        {"C101,,X102", "Projektdatenbank"},
        {" C101", "design"},
        {"C 101", "Projektdatenbank"},
        {"C 1 0\t1", "Projektdatenbank"},
        {"C101x", "Projektdatenbank"},
        {"C112\t", "Ja"},
        {"C", "Resource 0 not found"},
        {"Cabc", "Resource 0 not found"},
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
        {"C1.02e2", "Datenbankpfad"},
        {"C3000000000", "design"},  // does not fit 32 bits: skipped
        {"C101,C3000000000", "Projektdatenbank"},
        {"C1e400", "design"},
        {"C124", "Objekte hinzuf\xC3\xBCgen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("Tag \"") + c.tag + "\"");
        QWidget form;
        auto* label = new QLabel("design", &form);
        label->setProperty("Tag", QString::fromUtf8(c.tag));
        i18n::InitObjectFromTag(label);
        EXPECT_EQ(label->text().toStdString(), c.caption);
    }
}

TEST_F(TagLocalisation, CaptionIsTheTitleOrTextOfWhatShowsOne) {
    QWidget form;
    form.setWindowTitle("design");
    form.setProperty("Tag", QString("C100"));
    auto* frame = new QGroupBox("design", &form);
    frame->setProperty("Tag", QString("C101"));
    auto* layout = new QVBoxLayout(frame);
    auto* label = new QLabel("design", frame);
    auto* button = new QPushButton("design", frame);
    auto* option = new QRadioButton("design", frame);
    auto* check = new QCheckBox("design", frame);
    auto* dialog = new QDialog(&form);  // a window of its own below the form
    dialog->setWindowTitle("design");
    label->setProperty("Tag", QString("C102"));
    button->setProperty("Tag", QString("C10"));
    option->setProperty("Tag", QString("C112"));
    check->setProperty("Tag", QString("c113"));
    dialog->setProperty("Tag", QString("C11"));
    for (QWidget* w : std::initializer_list<QWidget*>{label, button, option, check}) {
        layout->addWidget(w);
    }

    i18n::InitFormFromTag(&form);

    EXPECT_EQ(form.windowTitle(), "KorvexStudio Projektdatenbank Im-/ExportTool");
    EXPECT_EQ(frame->title(), "Projektdatenbank");
    EXPECT_EQ(frame->windowTitle(), "");
    EXPECT_EQ(label->text(), "Datenbankpfad");
    EXPECT_EQ(button->text(), "OK");
    EXPECT_EQ(option->text(), "Ja");
    EXPECT_EQ(check->text(), "Nein");
    EXPECT_EQ(dialog->windowTitle(), "Abbrechen");
}

TEST_F(TagLocalisation, ControlsWithoutCaptionAreLeftAlone) {
    QWidget form;
    auto* edit = new QLineEdit("typed", &form);
    auto* combo = new QComboBox(&form);
    combo->setEditable(true);
    combo->addItems({"Alle Rechte", "anzeigen"});
    combo->setEditText("edited");
    auto* list = new QListWidget(&form);
    list->addItem("Deutsch");
    auto* plain = new QObject(&form);
    auto* inner = new QWidget(&form);
    auto* after = new QLabel("design", &form);
    for (QObject* o : std::initializer_list<QObject*>{edit, combo, list, plain, inner, after}) {
        o->setProperty("Tag", QString("C101"));
    }

    i18n::InitFormFromTag(&form);

    EXPECT_EQ(edit->text(), "typed");
    EXPECT_EQ(combo->currentText(), "edited");
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "Deutsch");
    EXPECT_FALSE(plain->property("text").isValid());  // no property was invented
    EXPECT_EQ(inner->windowTitle(), "");
    EXPECT_EQ(after->text(), "Projektdatenbank");
}

TEST_F(TagLocalisation, ObjectsWithoutStringTagArePassedOver) {
    QWidget form;
    auto* untagged = new QLabel("untagged", &form);
    auto* number = new QLabel("number", &form);
    number->setProperty("Tag", 101);
    auto* bytes = new QLabel("bytes", &form);
    bytes->setProperty("Tag", QByteArray("C101"));
    auto* list = new QLabel("list", &form);
    list->setProperty("Tag", QStringList{"C101"});
    auto* last = new QPushButton("design", &form);
    last->setProperty("Tag", QString("C11"));

    i18n::InitFormFromTag(&form);

    EXPECT_EQ(untagged->text(), "untagged");
    EXPECT_EQ(number->text(), "number");
    EXPECT_EQ(bytes->text(), "bytes");
    EXPECT_EQ(list->text(), "list");
    EXPECT_EQ(last->text(), "Abbrechen");
}

TEST_F(TagLocalisation, FormWalkReachesNestedControls) {
    QWidget form;
    auto* outer = new QGroupBox(&form);
    auto* inner = new QGroupBox(outer);
    auto* deep = new QLabel(inner);
    outer->setProperty("Tag", QString("C104"));
    inner->setProperty("Tag", QString("C117"));
    deep->setProperty("Tag", QString("C109"));

    i18n::InitFormFromTag(&form);

    EXPECT_EQ(outer->title(), "Komponentenberechtigungen");
    EXPECT_EQ(inner->title(), "Variableneditor (alt)");
    EXPECT_EQ(deep->text(), "Rechte");
}

TEST_F(TagLocalisation, FormIsAWindowEvenWhenEmbedded) {
    QWidget host;
    auto* form = new QWidget(&host);
    form->setProperty("Tag", QString("C100"));
    auto* child = new QWidget(form);
    child->setProperty("Tag", QString("C101"));
    i18n::InitFormFromTag(form);
    EXPECT_EQ(form->windowTitle(), "KorvexStudio Projektdatenbank Im-/ExportTool");
    EXPECT_EQ(child->windowTitle(), "");

    QWidget alone;
    alone.setProperty("Tag", QString("C11"));
    i18n::InitObjectFromTag(&alone);
    EXPECT_EQ(alone.windowTitle(), "Abbrechen");
}

TEST_F(TagLocalisation, NullObjectsAreIgnored) {
    i18n::InitFormFromTag(nullptr);
    i18n::InitObjectFromTag(nullptr);
    QObject plain;
    plain.setProperty("Tag", QString("C101"));
    i18n::InitFormFromTag(&plain);  // not a widget: no caption, no failure
    EXPECT_FALSE(plain.property("windowTitle").isValid());
    EXPECT_FALSE(plain.property("text").isValid());
}

}  // namespace
