#include "projectdb/language_releases.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <new>
#include <variant>
#include <vector>

#include "i18n/number_reading.h"
#include "jet/database.h"
#include "platform/language_names.h"
#include "platform/runtime_error.h"
#include "projectdb/db_engine.h"

namespace projectdb {

namespace {

constexpr bool kExclusive = true;
constexpr bool kReadWrite = false;
constexpr int kCriteriaTypeMismatch = 3464;

std::unique_ptr<jet::Database> OpenForState(const std::string& path, DatabaseState state) {
    const std::string connect =
        state == kStateStandardPassword ? GetPasswordConnectText() : std::string();
    return DbEngine::Engine().OpenDatabase(path, kExclusive, kReadWrite, connect);
}

// The column check: exact names, letter case included, over all fields.
bool HasReleaseColumn(const jet::Table& table) {
    const std::vector<std::string> names = table.columnNames();
    return std::find(names.begin(), names.end(), kReleaseColumn) != names.end();
}

std::int32_t Int32OrOverflow(double value) {
    const std::optional<std::int32_t> rounded = i18n::RoundToInt32(value);
    if (!rounded) throw platform::overflow();
    return *rounded;
}

// A text converts only when all of it, blanks aside, is one decimal number.
std::int32_t TextToInt32(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) throw platform::typeMismatch();
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') ++begin;
    double number = 0;
    const auto [stop, error] = std::from_chars(begin, end, number);
    if (error != std::errc() || stop != end) throw platform::typeMismatch();
    return Int32OrOverflow(number);
}

// The LCID as a 32-bit integer, converted the way the runtime converts a field value.
std::int32_t ToInt32(const jet::Value& value) {
    if (jet::isNull(value)) throw platform::invalidUseOfNull();
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        if (*integer < INT32_MIN || *integer > INT32_MAX) throw platform::overflow();
        return static_cast<std::int32_t>(*integer);
    }
    if (const auto* truth = std::get_if<bool>(&value)) return *truth ? -1 : 0;
    if (const auto* single = std::get_if<float>(&value)) return Int32OrOverflow(*single);
    if (const auto* real = std::get_if<double>(&value)) return Int32OrOverflow(*real);
    if (const auto* money = std::get_if<jet::Currency>(&value)) {
        return Int32OrOverflow(static_cast<double>(money->units) / 10000.0);
    }
    if (const auto* text = std::get_if<std::string>(&value)) return TextToInt32(*text);
    if (const auto* decimal = std::get_if<jet::Decimal>(&value)) return TextToInt32(decimal->text);
    throw platform::typeMismatch();
}

// ToolBoxAccess as a truth value. A Boolean column never holds Null; a row written before the
// column was added reads Null and stands for false.
bool ToTruth(const jet::Value& value, bool booleanColumn) {
    if (jet::isNull(value)) {
        if (booleanColumn) return false;
        throw platform::invalidUseOfNull();
    }
    if (const auto* truth = std::get_if<bool>(&value)) return *truth;
    return ToInt32(value) != 0;
}

bool IsBooleanColumn(const jet::Table& table, const std::string& name) {
    for (const jet::Column& column : table.columns()) {
        if (column.name == name) return column.is(jet::ColumnType::Boolean);
    }
    return false;
}

// Whether a stored LCID meets the criterion "LCID = <lcid>".
bool LcidEquals(const jet::Value& value, std::int32_t lcid) {
    if (jet::isNull(value)) return false;
    if (const auto* integer = std::get_if<std::int64_t>(&value)) return *integer == lcid;
    if (const auto* single = std::get_if<float>(&value)) return *single == lcid;
    if (const auto* real = std::get_if<double>(&value)) return *real == lcid;
    if (const auto* truth = std::get_if<bool>(&value)) return (*truth ? -1 : 0) == lcid;
    if (const auto* money = std::get_if<jet::Currency>(&value)) {
        return money->units == static_cast<std::int64_t>(lcid) * 10000;
    }
    throw jet::JetError(kCriteriaTypeMismatch, "Data type mismatch in criteria expression.");
}

// The first record, in engine order, whose LCID is `lcid`; as before the search, a table without
// records fails (3021).
std::optional<jet::RowId> FindFirstByLcid(const jet::Table& table, std::int32_t lcid) {
    jet::RowCursor rows = table.rows();
    if (!rows.moveNext()) throw jet::noCurrentRecord();
    do {
        if (LcidEquals(rows.value(kLcidColumn), lcid)) return rows.rowId();
    } while (rows.moveNext());
    return std::nullopt;
}

}  // namespace

std::string GetLanguageName(std::int32_t lcid) {
    return platform::LanguageName(lcid);
}

void LoadLanguageList(const std::string& path, DatabaseState state, ListControl& list) {
    list.clear();
    std::unique_ptr<jet::Database> database = OpenForState(path, state);
    const jet::Table table = database->OpenTable(kLanguagesTable);
    const bool released = HasReleaseColumn(table);
    const bool booleanColumn = released && IsBooleanColumn(table, kReleaseColumn);
    jet::RowCursor rows = table.rows();
    if (!rows.moveNext()) throw jet::noCurrentRecord();
    do {
        const std::int32_t lcid = ToInt32(rows.value(kLcidColumn));
        list.addItem(GetLanguageName(lcid), lcid);
        if (released) {
            list.setChecked(list.count() - 1, ToTruth(rows.value(kReleaseColumn), booleanColumn));
        }
    } while (rows.moveNext());
    database->Close();
}

std::optional<std::string> SaveLanguageReleases(const std::string& path, DatabaseState state,
                                                const ListControl& list,
                                                const MessageSink& showMessage) {
    std::unique_ptr<jet::Database> database;
    try {
        database = OpenForState(path, state);
    } catch (...) {
        const std::string message = FailureMessage(std::current_exception());
        if (showMessage) showMessage(message);
        return message;
    }
    std::optional<std::string> failure = SaveLanguageReleases(*database, list, showMessage);
    database->Close();
    return failure;
}

std::optional<std::string> SaveLanguageReleases(jet::Database& open, const ListControl& list,
                                                const MessageSink& showMessage) {
    std::string message;
    try {
        jet::Database* const database = &open;
        if (!HasReleaseColumn(database->OpenTable(kLanguagesTable))) {
            database->AddBooleanColumn(kLanguagesTable, kReleaseColumn, kReleaseDescription);
        }
        // Opened again so that its definition holds the column.
        const jet::Table table = database->OpenTable(kLanguagesTable);
        const int entries = list.count();
        for (int i = 0; i < entries; ++i) {
            const std::optional<jet::RowId> row = FindFirstByLcid(table, list.itemData(i));
            if (!row) continue;
            database->SetBoolean(kLanguagesTable, *row, kReleaseColumn, list.checked(i));
        }
        return std::nullopt;
    } catch (...) {
        message = FailureMessage(std::current_exception());
    }
    if (showMessage) showMessage(message);
    return message;
}

std::string FailureMessage(std::exception_ptr failure) {
    if (!failure) return "51Internal error";
    try {
        std::rethrow_exception(failure);
    } catch (const jet::JetError& error) {
        return std::to_string(error.number()) + error.description();
    } catch (const platform::RuntimeError& error) {
        return std::to_string(error.number()) + error.description();
    } catch (const std::bad_alloc&) {
        return "7Out of memory";
    } catch (const std::exception& error) {
        return "51" + std::string(error.what());
    } catch (...) {
        return "51Internal error";
    }
}

}  // namespace projectdb
