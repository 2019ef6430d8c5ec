#pragma once
// The apply action without its window: copy the project (or work on it in place), then write the
// chosen levels, language releases and password into the target, in the order in which each step
// finds the file as the probe reported it. The window's OK and travix-cli export both run it.

#include <cstdint>
#include <span>
#include <string>

#include "jet/database.h"
#include "projectdb/language_releases.h"
#include "projectdb/level_list.h"
#include "projectdb/password.h"

namespace projectdb {

// What the user chose; the path texts untrimmed, exactly as in the two boxes.
struct ApplyChoices {
    std::string sourcePath;
    std::string copyPath;        // blank: work on the source in place
    bool passwordSet = false;    // put the standard password on a target that has none
    bool passwordClear = false;  // take it off a target that has it
};

// Which step failed; it chooses the message the user sees.
enum class ApplyStep : std::int16_t { Copy = 1, Changes = 2 };

struct ApplyResult {
    bool completed = false;
    bool workedInPlace = false;  // the copy path was blank: the source is the target
    DatabaseState targetState = kStateMissing;
    ApplyStep failedStep = ApplyStep::Copy;  // meaningful when !completed
    std::string failure;  // the failure's number and description, or its text, for diagnostics
};

// Copies sourcePath to copyPath (replacing a file there) unless the trimmed copyPath is empty, then
// probes the target and, in state 1 or 2, writes the selected level of each of `levelLists` (index
// order of ComponentKeys), the marks of `languages`, and last the password change that the state
// allows. A failure stops the run where it happens and what was done before it stays; a copy onto
// the source itself fails at the copy, and a target that opens neither way fails at the changes
// before anything is written. The language save reports its own failure through
// `showLanguageMessage` and the run goes on. All of it happens on a private working copy that takes
// the target's name only at the end, whole: a killed run leaves the old file, and a run whose write
// failed or whose result does not pass the check leaves the old file and fails at the changes. The
// source is locked for the whole run, and so is a file at the copy path: a second apply onto it
// fails at the copy. REQUIRES: levelLists.size() == kComponentCount.
ApplyResult ApplyChanges(const ApplyChoices& choices, std::span<ListControl* const> levelLists,
                         const ListControl& languages, const MessageSink& showLanguageMessage);
// The same with the working file's I/O handed through `wrap` first: tests fail a chosen write.
ApplyResult ApplyChanges(const ApplyChoices& choices, std::span<ListControl* const> levelLists,
                         const ListControl& languages, const MessageSink& showLanguageMessage,
                         const jet::Database::FileWrapper& wrap);

// The failure messages of the two steps, German in either UI language.
inline constexpr char kCopyFailedMessage[] = "Datei konnte nicht kopiert werden";
inline constexpr char kChangesFailedMessage[] =
    "Die Änderungen am Passwort konnten nicht durchgeführt werden";
const char* ApplyFailureMessage(ApplyStep step);

}  // namespace projectdb
