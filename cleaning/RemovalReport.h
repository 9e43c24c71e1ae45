#pragma once

// Rows removed per table, in the order the tables were cleaned.

#include <QString>
#include <utility>
#include <vector>

class RemovalReport final {
public:
    // The index of the table's entry, added if new.
    int table(const QString& name) {
        for (size_t i = 0; i < fRows.size(); ++i) {
            if (fRows[i].first == name)
                return int(i);
        }
        fRows.emplace_back(name, 0);
        return int(fRows.size()) - 1;
    }
    void add(int index, quint64 rows) { fRows[size_t(index)].second += rows; }
    quint64 removed(const QString& name) const {
        for (const auto& [table, rows] : fRows) {
            if (table == name)
                return rows;
        }
        return 0;
    }
    quint64 total() const {
        quint64 sum = 0;
        for (const auto& row : fRows)
            sum += row.second;
        return sum;
    }
    const std::vector<std::pair<QString, quint64>>& rows() const { return fRows; }

private:
    std::vector<std::pair<QString, quint64>> fRows;
};
