#include "projectdb/db_engine.h"

namespace projectdb {

DbEngine& DbEngine::Engine() {
    static DbEngine engine;
    return engine;
}

std::unique_ptr<jet::Database> DbEngine::OpenDatabase(const std::string& path, bool exclusive,
                                                      bool readOnly,
                                                      const std::string& connect) const {
    return jet::Database::Open(
        path, jet::OpenOptions{.exclusive = exclusive, .readOnly = readOnly, .connect = connect});
}

}  // namespace projectdb
