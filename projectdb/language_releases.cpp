#include "projectdb/language_releases.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <new>
#include <unordered_map>
#include <utility>
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

// What a stored LCID equals under the criterion "LCID = <n>": the one 32-bit n it meets, none
// (Null, a fraction, out of range), or the criterion fails on it (a type the criterion cannot
// compare: 3464).
struct LcidKey {
    std::optional<std::int64_t> value;
    bool fails = false;
};

std::optional<std::int64_t> WholeNumber(double number) {
    if (!(number >= INT32_MIN && number <= INT32_MAX) || std::trunc(number) != number)
        return std::nullopt;
    return static_cast<std::int64_t>(number);
}

LcidKey KeyOf(const jet::Value& value) {
    if (jet::isNull(value)) return {};
    if (const auto* integer = std::get_if<std::int64_t>(&value)) return {*integer};
    if (const auto* single = std::get_if<float>(&value)) return {WholeNumber(*single)};
    if (const auto* real = std::get_if<double>(&value)) return {WholeNumber(*real)};
    if (const auto* truth = std::get_if<bool>(&value)) return {*truth ? -1 : 0};
    if (const auto* money = std::get_if<jet::Currency>(&value)) {
        if (money->units % 10000 != 0) return {};
        return {money->units / 10000};
    }
    return {std::nullopt, true};
}

// The records of the table in engine order, read once: for each LCID the first record that has
// it, and the first record on which the criterion fails. An entry's search is then what a search
// from the first record would find.
class LcidIndex {
  public:
    explicit LcidIndex(const jet::Table& table) {
        jet::RowCursor rows = table.rows();
        std::size_t position = 0;
        while (rows.moveNext()) {
            const LcidKey key = KeyOf(rows.value(kLcidColumn));
            if (key.fails && !firstFailure_) firstFailure_ = position;
            if (key.value) first_.try_emplace(*key.value, Found{position, rows.rowId()});
            ++position;
        }
        empty_ = position == 0;
    }

    // The first record whose LCID is `lcid`; as before the search, a table without records fails
    // (3021).
    std::optional<jet::RowId> find(std::int32_t lcid) const {
        if (empty_) throw jet::noCurrentRecord();
        const auto hit = first_.find(lcid);
        const std::size_t found = hit == first_.end() ? SIZE_MAX : hit->second.position;
        if (firstFailure_ && *firstFailure_ < found)
            throw jet::JetError(kCriteriaTypeMismatch,
                                "Data type mismatch in criteria expression.");
        if (hit == first_.end()) return std::nullopt;
        return hit->second.row;
    }

  private:
    struct Found {
        std::size_t position;
        jet::RowId row;
    };
    std::unordered_map<std::int64_t, Found> first_;
    std::optional<std::size_t> firstFailure_;
    bool empty_ = true;
};

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
    // A name look-up costs far more than reading a record, and a large table repeats its LCIDs.
    std::unordered_map<std::int32_t, std::string> names;
    do {
        const std::int32_t lcid = ToInt32(rows.value(kLcidColumn));
        auto name = names.find(lcid);
        if (name == names.end()) name = names.emplace(lcid, GetLanguageName(lcid)).first;
        list.addItem(name->second, lcid);
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
        // Every mark in one commit; an entry whose search fails stops the save there, after the
        // marks before it are stored.
        std::vector<std::pair<jet::RowId, bool>> marks;
        std::exception_ptr failure;
        try {
            std::optional<LcidIndex> index;
            for (int i = 0; i < entries; ++i) {
                if (!index) index.emplace(table);
                const std::optional<jet::RowId> row = index->find(list.itemData(i));
                if (row) marks.emplace_back(*row, list.checked(i));
            }
        } catch (...) {
            failure = std::current_exception();
        }
        if (!marks.empty()) database->SetBooleans(kLanguagesTable, kReleaseColumn, marks);
        if (failure) std::rethrow_exception(failure);
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
