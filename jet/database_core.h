#pragma once
// What an open database handle and the tables and cursors made from it share: the file's pages, its
// header and its catalog. Internal to the engine.

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "jet/catalog.h"
#include "jet/header.h"
#include "jet/open_options.h"
#include "jet/page_channel.h"

namespace jet {

struct DatabaseCore {
    std::string path;
    OpenOptions options;
    Header header;
    std::unique_ptr<PageChannel> pages;
    Catalog catalog;
    // First definition pages of the tables whose rows or definition this handle has written (the
    // catalog's, page 2, for property writes): what a check of the written structures walks.
    std::set<std::uint32_t> writtenTables;

    // The page channel of a handle that is still open; 3420 after Close().
    PageChannel& channel() {
        if (!pages || !pages->isOpen()) throw objectInvalid();
        return *pages;
    }

    // The catalog object whose blob holds the custom database properties ("UserDefined" under
    // "Databases"); nullptr when the database has none.
    const CatalogEntry* customPropertiesObject() const {
        const CatalogEntry* databases = catalog.find(Catalog::kDatabasesParentId, "Databases");
        return databases ? catalog.find(databases->id, "UserDefined") : nullptr;
    }
};

}  // namespace jet
