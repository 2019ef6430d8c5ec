#pragma once
// Caption localisation from Tag: every object's dynamic string property "Tag" holds comma-separated
// items; a "C"/"c" item sets the object's caption to the string table text of the number after it.
// It lives with the window because it works on Qt objects, which the string table below needs not
// know; it uses Qt's property system only, no Widgets header.
class QObject;

namespace app {

// Localises the form and every object below it (depth first, in child order). Never throws.
void InitFormFromTag(QObject* form);

// Localises one object. The caption is the title of a group box, the window title of a window (a
// widget without parent, a dialog or main window, and the form given to InitFormFromTag), and the
// text of a label or button; objects without a caption (line edits, combo boxes, lists) and
// objects whose "Tag" is not a string are passed over silently. Never throws.
void InitObjectFromTag(QObject* object);

}  // namespace app
