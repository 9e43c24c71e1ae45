#pragma once

// Private to the database layer: access to the Firebird client's master interface and a
// status object that turns a failed call into DbError with Firebird's own text.
// Nothing outside db/ includes this header.

#include "db/DbError.h"

#include <firebird/Interface.h>

namespace db::fb {

Firebird::IMaster* master();
Firebird::IUtil* util();
// The dispatcher that routes a local path to the embedded engine.
Firebird::IProvider* provider();

// Firebird's message for a failed status vector.
QString formatStatus(Firebird::IStatus* status);

class Status final {
public:
    Status();
    ~Status();
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    Firebird::CheckStatusWrapper* operator&() { return &fWrapper; }
    // Clears the vector before reuse on a hot path.
    void reset() { fWrapper.init(); }
    bool failed() const { return (fWrapper.getState() & Firebird::IStatus::STATE_ERRORS) != 0; }
    // Throws DbError naming the operation when the last call failed.
    void check(const char* operation);

private:
    Firebird::CheckStatusWrapper fWrapper;
};

// Releases a reference-counted Firebird interface on scope exit.
template <typename T> struct Releaser {
    void operator()(T* p) const {
        if (p)
            p->release();
    }
};

} // namespace db::fb
