#include <gtest/gtest.h>

#include "tests/support/jet4_builder.h"

TEST(Smoke, Empty) {
    fixture::Database db;
    db.tables.push_back(
        fixture::Table{"T1",
                       {{"A", fixture::ColumnType::Long, 0},
                        {"B", fixture::ColumnType::Text, 20},
                        {"M", fixture::ColumnType::Memo, 0},
                        {"F", fixture::ColumnType::Boolean, 0}},
                       {{std::int64_t{5}, std::string("hello"), std::string(5000, 'x'), true},
                        {fixture::kNull, fixture::kNull, std::string(100, 'y'), false}}});
    db.Build("/tmp/fx_empty.mdb");
}
