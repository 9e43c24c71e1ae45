// Writes COUNT settings named TAG_0 ... TAG_<COUNT-1> into the section "Concurrency", each
// through its own settings store, so several of these at once contend for one hive.

#include "env/SettingsStore.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TAG COUNT\n", argv[0]);
        return 2;
    }
    const QString tag = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    try {
        for (int i = 0; i < count; ++i) {
            TBrevikReg reg;
            reg.WriteString(QStringLiteral("Concurrency"),
                            tag + QLatin1Char('_') + QString::number(i), QString::number(i),
                            RegMode::Text);
            // A read with its write-back in between, as the program does all the time.
            reg.ReadInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), 0);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
