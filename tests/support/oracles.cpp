#include "tests/support/oracles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "tests/support/run_command.h"

namespace fixture {

namespace {

// Separators that never occur in fixture data, so mdb-export needs no quoting.
constexpr char kFieldSeparator = '\x1f';
constexpr char kRowSeparator = '\x1e';

// The parts of `text` between separators; a last part left empty by a closing separator is none.
std::vector<std::string> Split(const std::string& text, char separator,
                               bool keepLastEmpty = false) {
    std::vector<std::string> parts(1);
    for (char c : text) c == separator ? (void)parts.emplace_back() : parts.back().push_back(c);
    if (!keepLastEmpty && parts.back().empty()) parts.pop_back();
    return parts;
}

std::string JsonCellText(const nlohmann::json& value) {
    if (value.is_null()) return "";
    if (value.is_boolean()) return value.get<bool>() ? "1" : "0";
    if (value.is_string()) return value.get<std::string>();
    return value.dump();
}

}  // namespace

std::string CanonicalCell(const std::string& type, const std::string& raw) {
    if (raw.empty()) return raw;
    if (type == "boolean") return raw == "true" || raw == "1" ? "1" : "0";
    if (type == "double" || type == "float") {
        const double v = std::strtod(raw.c_str(), nullptr);
        char buffer[64];
        for (int precision = 1; precision <= 17; ++precision) {
            std::snprintf(buffer, sizeof buffer, "%.*g", precision, v);
            if (std::strtod(buffer, nullptr) == v) break;
        }
        return buffer;
    }
    if (type == "datetime") return raw.substr(0, 19);
    if (type == "binary" || type == "ole") {
        std::string hex = raw.rfind("0x", 0) == 0 ? raw.substr(2) : raw;
        for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return hex;
    }
    return raw;
}

std::optional<ReaderDump> DumpWithMdbReader(const std::filesystem::path& file,
                                            const std::vector<std::string>& extra_args) {
    std::vector<std::string> argv{"node", std::string(TRAVIX_ORACLES_DIR) + "/mdb-dump.mjs",
                                  file.string()};
    argv.insert(argv.end(), extra_args.begin(), extra_args.end());
    const CommandResult result = RunCommand(argv);
    if (result.exit_code != 0) return std::nullopt;
    const nlohmann::json doc = nlohmann::json::parse(result.out);
    ReaderDump dump;
    if (!doc.at("password").is_null()) dump.password = doc["password"].get<std::string>();
    for (const nlohmann::json& t : doc.at("tables")) {
        OracleTable table;
        table.name = t.at("name").get<std::string>();
        for (const nlohmann::json& c : t.at("columns")) {
            table.column_names.push_back(c.at("name").get<std::string>());
            table.column_types.push_back(c.at("type").get<std::string>());
        }
        for (const nlohmann::json& r : t.at("rows")) {
            Row row;
            for (std::size_t i = 0; i < table.column_names.size(); ++i)
                row.push_back(CanonicalCell(table.column_types[i],
                                            JsonCellText(r.at(table.column_names[i]))));
            table.rows.push_back(std::move(row));
        }
        std::sort(table.rows.begin(), table.rows.end());
        dump.tables.push_back(std::move(table));
    }
    return dump;
}

std::string MdbVersion(const std::filesystem::path& file) {
    const CommandResult result = RunCommand({"mdb-ver", file.string()});
    return result.exit_code == 0 ? result.out.substr(0, result.out.find_first_of("\r\n")) : "";
}

std::optional<std::vector<std::string>> MdbTableNames(const std::filesystem::path& file) {
    const CommandResult result = RunCommand({"mdb-tables", "-1", file.string()});
    if (result.exit_code != 0) return std::nullopt;
    return Split(result.out, '\n');
}

std::optional<PropertyBlocks> MdbProperties(const std::filesystem::path& file,
                                            const std::string& object) {
    const CommandResult result = RunCommand({"mdb-prop", file.string(), object});
    if (result.exit_code != 0) return std::nullopt;
    PropertyBlocks blocks;
    std::string block;
    for (const std::string& line : Split(result.out, '\n')) {
        if (line.rfind("name: ", 0) == 0) {
            block = line.substr(6) == "(none)" ? "" : line.substr(6);
            blocks[block];
        } else if (line.size() > 1 && line[0] == '\t') {
            const std::size_t colon = line.find(": ");
            if (colon == std::string::npos) return std::nullopt;
            blocks[block][line.substr(1, colon - 1)] = line.substr(colon + 2);
        }
    }
    return blocks;
}

std::optional<RowSet> MdbExportRows(const std::filesystem::path& file, const std::string& table,
                                    const std::vector<std::string>& column_names,
                                    const std::vector<std::string>& column_types) {
    const CommandResult result =
        RunCommand({"mdb-export", "-Q", "-d", std::string(1, kFieldSeparator), "-R",
                    std::string(1, kRowSeparator), "-b", "hex", "-T", "%Y-%m-%dT%H:%M:%S",
                    file.string(), table});
    if (result.exit_code != 0) return std::nullopt;
    std::vector<std::string> lines = Split(result.out, kRowSeparator);
    if (lines.empty()) return std::nullopt;
    if (Split(lines.front(), kFieldSeparator, true) != column_names) return std::nullopt;
    RowSet rows;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> cells = Split(lines[i], kFieldSeparator, true);
        if (cells.size() != column_names.size()) return std::nullopt;
        Row& row = rows.emplace_back();
        for (std::size_t k = 0; k < cells.size(); ++k)
            row.push_back(CanonicalCell(column_types[k], cells[k]));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace fixture
