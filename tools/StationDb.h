#pragma once

// Makes sample station databases: every table, date column, key column and sequence
// that the cleaning rules touch, plus a few tables they leave alone, filled with
// deterministic pseudo-random data. Used by the tests, the benchmark and
// `dolvane-sample-db`.

#include <QDate>
#include <QString>
#include <cstdint>

struct StationDbOptions {
    // Rows of TBL_SALES; the other tables are sized from it.
    std::int64_t salesRows = 2000;
    std::uint64_t seed = 1;
};

// Row dates fall in [firstSampleDate(), lastSampleDate()); roughly half lie before
// midSampleDate(). Some are null, some exactly at midnight, and some exactly on
// 1 January of a year at midnight (the usual cut-off). In every table with more than one
// date column the first rows are old (in the first sample year) in exactly one column and
// recent (in the last sample weeks) or null in the others, one pair of rows per column.
QDate firstSampleDate();
QDate midSampleDate();
QDate lastSampleDate();

// Creates the database file at path (it must not exist). Throws db::DbError.
void createStationDatabase(const QString& path, const StationDbOptions& options);
