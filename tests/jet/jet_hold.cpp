// Holds a Jet file open until its stdin closes: the second process of the locking tests. Prints
// "open" once the file is held, or "error NUMBER DESCRIPTION" when it cannot be opened.
// Usage: jet_hold FILE

#include <iostream>
#include <string>

#include "jet/database.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: jet_hold FILE\n";
        return 2;
    }
    try {
        auto db = jet::Database::Open(argv[1]);
        std::cout << "open" << std::endl;
        std::string line;
        std::getline(std::cin, line);
    } catch (const jet::JetError& error) {
        std::cout << "error " << error.number() << " " << error.description() << std::endl;
        return 1;
    }
    return 0;
}
