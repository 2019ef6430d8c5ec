#pragma once
// The language releases: which of a project's languages (the records of TcfgLanguages) are
// released for editing in the Toolbox (their Boolean ToolBoxAccess), shown as the marks of a list
// whose entries carry the LCID as item data. Both operations open the file exclusively for
// themselves and close it before they return.

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "projectdb/level_list.h"
#include "projectdb/password.h"

namespace jet {
class Database;
}

namespace projectdb {

inline constexpr char kLanguagesTable[] = "TcfgLanguages";
inline constexpr char kLcidColumn[] = "LCID";
inline constexpr char kReleaseColumn[] = "ToolBoxAccess";
// The column's description as the product has always written it, blank at the end included.
inline constexpr char kReleaseDescription[] = "Ist die Spalte in der ToolBox freigegeben ? ";

// Where the save's failure message goes (the window shows it in a message box).
using MessageSink = std::function<void(const std::string& text)>;

// The display name of a language in the system's language; platform::RuntimeError 5 for an LCID
// the platform does not know.
std::string GetLanguageName(std::int32_t lcid);

// Empties `list`, then appends one entry per record of TcfgLanguages in the order the engine
// delivers them: text GetLanguageName(LCID), item data LCID, marked when the table has a column
// named exactly "ToolBoxAccess" and the record's value is true. `path` is used as given; state 2
// opens it with the standard password, any other without. Failures pass on and leave the entries
// added so far: the engine's (the open, no table: 3265, no records: 3021), an LCID that is not a
// 32-bit number (13, 94 for Null, 6), an unknown LCID (5).
void LoadLanguageList(const std::string& path, DatabaseState state, ListControl& list);

// Writes the marks of `list` to the file at `path` (opened as for the load): adds the column
// ToolBoxAccess with its Description first when the table has none under exactly that name, then
// for each entry sets ToolBoxAccess of the first record (in engine order) whose LCID equals the
// entry's item data; an entry without such a record is skipped, and records no entry finds keep
// their value. A failure stops the save where it happens (what was stored stays), is shown through
// `showMessage` as the error number directly followed by its description, and is returned; nullopt
// when everything was stored. Throws only what `showMessage` throws.
std::optional<std::string> SaveLanguageReleases(const std::string& path, DatabaseState state,
                                                const ListControl& list,
                                                const MessageSink& showMessage);

// The same on a database the caller has open (as for the load) and keeps open.
std::optional<std::string> SaveLanguageReleases(jet::Database& database, const ListControl& list,
                                                const MessageSink& showMessage);

// The error number directly followed by the description, for any failure that reached a trap.
std::string FailureMessage(std::exception_ptr failure);

}  // namespace projectdb
