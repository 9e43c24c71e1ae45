// Test main for widget tests: offscreen platform (set before the application object
// exists, since test discovery runs the executable too), a pinned locale, and the embedded
// Firebird engine shut down after the last test.

#include "db/Connection.h"

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {
class FirebirdEnvironment : public ::testing::Environment {
public:
    void TearDown() override { db::ShutdownClient(); }
};
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The settings hives of tests live in a temporary folder, never in the real locations.
    QTemporaryDir hives;
    qputenv("DOLVANE_MACHINE_HIVE", QFile::encodeName(hives.filePath("machine/registry.sqlite")));
    qputenv("DOLVANE_USER_HIVE", QFile::encodeName(hives.filePath("user/registry.sqlite")));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    ::testing::InitGoogleMock(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new FirebirdEnvironment);
    return RUN_ALL_TESTS();
}
