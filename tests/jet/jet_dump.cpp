// Prints what our engine reads from a Jet file, one line per row: a small tool for looking at files
// by hand and the child process of the locking tests (it can hold a file open until told to stop).
// Usage: jet_dump FILE [--pwd PW] [--hold] [--ro]

#include <cstdio>
#include <iostream>
#include <string>

#include "jet/database.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: jet_dump FILE [--pwd PW] [--hold] [--ro]\n";
        return 2;
    }
    jet::OpenOptions options;
    bool hold = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pwd" && i + 1 < argc) options.connect = ";pwd=" + std::string(argv[++i]);
        if (arg == "--hold") hold = true;
        if (arg == "--ro") options.readOnly = true;
    }
    try {
        auto db = jet::Database::Open(argv[1], options);
        if (hold) {
            // Tell the parent the file is held, then keep it until stdin closes.
            std::cout << "open" << std::endl;
            std::string line;
            std::getline(std::cin, line);
            return 0;
        }
        std::cout << "password: " << db->password() << "\n";
        for (const std::string& name : db->tableNames()) {
            jet::Table table = db->OpenTable(name);
            std::cout << "table " << name << "\n";
            jet::RowCursor rows = table.rows();
            while (rows.moveNext()) {
                std::string line;
                for (std::size_t i = 0; i < table.columns().size(); ++i) {
                    line += (i ? " | " : "") + table.columns()[i].name + "=" +
                            jet::toText(rows.valueAt(i));
                }
                std::cout << "  " << line << "\n";
            }
        }
    } catch (const jet::JetError& error) {
        std::cout << "error " << error.number() << " " << error.description() << std::endl;
        return 1;
    }
    return 0;
}
