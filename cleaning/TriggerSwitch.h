#pragma once

// Finds the table triggers that would fire on the run's deletes and switches one on or off.

#include <QString>
#include <vector>

namespace db {
class Query;
}

// A row of the trigger listing: the name and whether the trigger was active when listed.
struct ListedTrigger {
    QString name;
    bool active = true;
};

class TriggerSwitch final {
public:
    explicit TriggerSwitch(db::Query& q1) : fQ1(q1) {}

    // Triggers whose name begins with T on tables whose name matches "TBL_%", in the
    // order the database gives them, without the pad blanks of the system column, each with
    // its RDB$TRIGGER_INACTIVE flag read as it stands before the run.
    std::vector<ListedTrigger> listTriggers();

    // The name goes in as a quoted identifier, so lower-case and blank-holding names work.
    void SetTriggerStatus(const QString& trigger, bool setActive);

private:
    db::Query& fQ1;
};

QString quotedIdentifier(const QString& name);
