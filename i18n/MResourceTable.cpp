#include "i18n/MResources.h"

namespace i18n {
namespace {

struct ResourceRow {
    std::int32_t id;
    const char* german;
    const char* english;
};

// The order is the order of adding; it matters only in that the first add of a key wins.
constexpr ResourceRow kRows[] = {
    {10, "OK", "OK"},
    {11, "Abbrechen", "Cancel"},
    {12, "&Hilfe", "&Help"},
    {100, "KorvexStudio Projektdatenbank Im-/ExportTool",
     "KorvexStudio Project Database Im-/ExportTool"},
    {101, "Projektdatenbank", "Project database"},
    {102, "Datenbankpfad", "Database path"},
    {103, "Kopierpfad", "Copy path"},
    {104, "Komponentenberechtigungen", "Component Authorization"},
    {105, "Alarmeditor", "Alarm editor"},
    {106, "Archiveditor", "Archive editor"},
    {107, "OPC - Editor", "OPC editor"},
    {108, "Indextexteditor", "Indextext editor"},
    {109, "Rechte", "Rights"},
    {110, "Sprachfreigaben", "Language authorization"},
    {111, "Datenbankpasswort", "Database password"},
    {112, "Ja", "Yes"},
    {113, "Nein", "No"},
    {114, "Formeleditor", "Formula Editor"},
    {115, "Rezepteditor", "Recipe Editor"},
    {116, "Benutzerverwaltung", "User Administration"},
    {117, "Variableneditor (alt)", "Variables editor (old)"},
    {120, "Nicht anzeigen", "Don't Show"},
    {121, "anzeigen", "Show"},
    {122, "Indextexte bearbeiten", "Edit Texts"},
    {123, "Objekte bearbeiten", "Edit objects"},
    {124,
     "Objekte hinzuf\xC3\xBC"
     "gen",
     "Add Objects"},  // UTF-8 u-umlaut
    {125, "Alle Rechte", "All Rights"},
};

}  // namespace

void FillResourceTable(ResourceTable& table) {
    for (const ResourceRow& row : kRows) table.AddResource(row.id, {row.german, row.english});
}

}  // namespace i18n
