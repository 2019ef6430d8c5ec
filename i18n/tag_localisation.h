#pragma once
// Caption localisation from Tag: every object's dynamic string property "Tag" holds comma-separated
// items; a "C"/"c" item sets the object's caption to the string table text of the number after it.
// Works over Qt's property system, so it needs no Widgets header.
class QObject;

namespace i18n {

// Localises the form and every object below it (depth first, in child order). Never throws.
void InitFormFromTag(QObject* form);

// Localises one object. The caption is the window title of a top-level widget, the title of a group
// box, and the "text" property of anything else that has one (labels, buttons); objects without a
// caption are passed over silently. Never throws.
void InitObjectFromTag(QObject* object);

}  // namespace i18n
