// Captions from Tags: which items of a Tag name a text, and which property of which kind of object
// takes it. The window's own captions in both languages are checked in ftravix_state_test.
#include "app/tag_localisation.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "i18n/MResources.h"
#include "window_driver.h"

namespace travix_test {
namespace {

TEST(TagLocalisation, ReadsTheTagItemsAndEachObjectTakesItsCaptionWhereItShowsOne) {
    // The captions come from the process table in German, whichever language a test before chose.
    kQt->registry.WriteHive(LcidHive("1031"));
    i18n::InitLanguage();
    // "design": left as the layout gave it. The number after "C" is read and rounded as stored
    // levels are (tests/i18n: LeadingNumber, RoundToInt32); the "&H" and ".5" rows show it is.
    const std::pair<const char*, const char*> cases[] = {
        {"C100", "KorvexStudio Projektdatenbank Im-/ExportTool"},
        {"c12", "&Hilfe"},
        {"C101,C102", "Datenbankpfad"},
        {",C101", "Projektdatenbank"},
        {"C101,,X102", "Projektdatenbank"},
        {" C101", "design"},
        {"C999", "Resource 999 not found"},
        {"X101", "design"},
        {"x101,c", "Resource 0 not found"},
        {"", "design"},
        {"C101;C102", "Projektdatenbank"},  // only a comma separates items
        {"C&H65", "Projektdatenbank"},      // 0x65 is 101
        {"C100.5", "KorvexStudio Projektdatenbank Im-/ExportTool"},
        {"C3000000000", "design"},  // does not fit 32 bits: skipped
        {"C124", "Objekte hinzuf\xC3\xBCgen"},
    };
    for (const auto& [tag, caption] : cases) {
        QWidget form;
        auto* label = new QLabel("design", &form);
        label->setProperty("Tag", QString::fromUtf8(tag));
        app::InitObjectFromTag(label);
        EXPECT_EQ(label->text().toStdString(), caption) << "Tag \"" << tag << "\"";
    }

    // Which object takes its caption where: a dialog as its window title, a widget inside the form
    // none (the window's own title, group boxes, labels and buttons are checked with its
    // captions); line edits, lists, combo boxes, plain objects and Tags that are no string are
    // passed over silently, and the walk goes on after them.
    QWidget host;
    auto* form = new QWidget(&host);
    auto* combo = new QComboBox(form);
    combo->setEditable(true);
    combo->setEditText("edited");
    auto* plain = new QObject(form);
    // Each object, its Tag, a property and that property's value afterwards.
    const std::tuple<QObject*, QVariant, const char*, QVariant> objects[] = {
        {new QDialog(form), "C11", "windowTitle", "Abbrechen"},
        {new QWidget(form), "C101", "windowTitle", ""},
        {new QLineEdit("typed", form), "C101", "text", "typed"},
        {combo, "C101", "currentText", "edited"},
        {new QListWidget(form), "C101", "text", QVariant()},
        {plain, "C101", "text", QVariant()},
        {new QLabel("bytes", form), QByteArray("C101"), "text", "bytes"},
        {new QLabel("list", form), QStringList{"C101"}, "text", "list"},
        {new QLabel("design", form), "C11", "text", "Abbrechen"},
    };
    for (const auto& [object, tag, property, value] : objects) object->setProperty("Tag", tag);

    app::InitFormFromTag(form);

    for (const auto& [object, tag, property, value] : objects)
        EXPECT_EQ(object->property(property), value)
            << object->metaObject()->className() << " " << property;
    app::InitFormFromTag(nullptr);
    app::InitObjectFromTag(nullptr);
    app::InitFormFromTag(plain);  // not a widget: no caption, no failure
    EXPECT_FALSE(plain->property("windowTitle").isValid());
}

}  // namespace
}  // namespace travix_test
