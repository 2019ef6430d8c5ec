#pragma once
// How Database::Open opens a file. Apart from database.h so that the engine's own parts can keep
// the options without including the public face.

#include <string>

namespace jet {

struct OpenOptions {
    // Exclusive use: no other handle, in this process or another, may open the file meanwhile.
    bool exclusive = true;
    bool readOnly = false;
    // DAO-style connect text, such as ";pwd=secret"; the pwd item is found without regard to case.
    // Empty means no password.
    std::string connect = {};
    // Leaves out every sync: the caller syncs the file itself once it is done with it. Only for a
    // file nobody else can see before then, such as the apply's working file.
    bool deferSync = false;
};

}  // namespace jet
