#include "cleaning/DryRun.h"

#include "cleaning/CategoryRules.h"
#include "cleaning/DatabaseFileCheck.h"
#include "cleaning/RunHost.h"
#include "cleaning/TableCleaner.h"
#include "cleaning/WorkFiles.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "env/Locations.h"
#include "env/RunFolder.h"

#include <set>
#include <stdexcept>

namespace {

QString q(const char* text) {
    return QString::fromLatin1(text);
}

} // namespace

DryRun::DryRun(db::Connection& conx, db::Query& q1, db::Query& q2, RunHost& host)
    : fConx(conx), fQ1(q1), fQ2(q2), fHost(host) {}

RemovalReport DryRun::count(const QString& fGDB) {
    sweepStaleRunFolders();
    const QString local = LocalGDBFromRemoteGDB(fGDB);
    if (const QString refusal = databaseFileRefusal(local); !refusal.isEmpty())
        throw std::runtime_error(refusal.toStdString());
    // The snapshot lives in a private run folder like a run's work copy.
    const RunFolder folder;
    const QString snapshot =
        uu_getUniqueFileName(folder.path() + QLatin1Char('/'), QStringLiteral(".gdb"));
    try {
        copyToNewFile(local, snapshot);
    } catch (const FileCopyError& e) {
        throw std::runtime_error("Could not copy GDB to temp folder: " + std::string(e.what()));
    }

    struct Detach {
        db::Connection& c;
        ~Detach() {
            c.Close();
            c.setReadOnly(false);
        }
    } detach{fConx};
    fConx.Close();
    fConx.setParam(QStringLiteral("database"), snapshot);
    fConx.setReadOnly(true);
    fConx.Open();

    TableCleaner cleaner(fConx, fQ1, fQ2, fHost);
    CategoryRules rules(cleaner, fQ1);
    RemovalReport report;

    auto countRows = [&](const QString& sql, const db::DbValue* key) -> quint64 {
        fQ1.Close();
        fQ1.SetSQL(sql);
        if (key)
            fQ1.SetParam(0, *key);
        else
            cleaner.bindCutOff();
        const db::ResultSet rs = fQ1.Open();
        const quint64 n = quint64(rs.asInt64(0, 0));
        fQ1.Close();
        return n;
    };
    // The rows the select form would find.
    auto countSelect = [&](const SelectRule& r) {
        fHost.SetStatus(QStringLiteral("Counting: ") + q(r.table));
        QString sql = cleaner.GenerateSQLQuery(q(r.table), q(r.dates));
        sql.replace(0, int(qstrlen("select *")), QStringLiteral("select count(*)"));
        report.add(report.table(q(r.table)), countRows(sql, nullptr));
    };

    const CategoryTree& tv = fHost.tree();
    for (int i = 0; i < tv.count(); ++i) {
        if (!tv.isTicked(i))
            continue;
        switch (tv.categoryId(i)) {
        case categorySales:
            for (const SelectRule& r : salesRules())
                countSelect(r);
            break;
        case categoryPricing:
            for (const SelectRule& r : pricingRules())
                countSelect(r);
            break;
        case categoryPurchases: {
            std::set<qint32> ids;
            const bool prior = cleaner.priorToMode();
            if (prior) {
                const auto collected = rules.collectOrderIds();
                ids.insert(collected.begin(), collected.end());
            }
            for (const IdListRule& r : orderDetailRules()) {
                fHost.SetStatus(QStringLiteral("Counting: ") + q(r.table));
                const int entry = report.table(q(r.table));
                if (prior && r.takesIdList) {
                    const QString sql = QStringLiteral("select count(*) from ") + q(r.table) +
                                        QStringLiteral(" where ") + q(r.keyField) +
                                        QStringLiteral(" = :V1");
                    for (const qint32 id : ids) {
                        const db::DbValue key = db::DbValue::int32(id);
                        report.add(entry, countRows(sql, &key));
                    }
                } else {
                    report.add(
                        entry,
                        countRows(QStringLiteral("select count(*) from ") + q(r.table), nullptr));
                }
            }
            countSelect(orderHeaderRule());
            break;
        }
        default:
            break;
        }
    }
    return report;
}
