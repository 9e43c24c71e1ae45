#pragma once

// A station database test that runs the whole cleaning run with a recording host, as the
// window's Start does, and keeps what the run reports.

#include "cleaning/CleaningRun.h"
#include "support/StationFixture.h"

class CleaningTest : public testing_support::StationTest {
protected:
    RunOutcome run(testing_support::RecordingHost& host, const QString& dropped) {
        db::Connection conx;
        testing_support::setStationParams(conx, dropped);
        db::Query q1(conx), q2(conx);
        CleaningRun cleaning(conx, q1, q2, host);
        const RunOutcome outcome = cleaning.Execute(dropped);
        report = cleaning.removed();
        triggers = cleaning.triggers();
        steps = cleaning.steps();
        return outcome;
    }
    RunOutcome run(testing_support::RecordingHost& host) { return run(host, station); }

    RemovalReport report;
    QStringList triggers;
    qint64 steps = 0;
};
