// Test main: an application object (a widget one, on the offscreen platform, for widget
// tests; set before the object exists, since test discovery runs the executable too),
// settings hives in a temporary folder, a pinned locale, and the embedded Firebird engine
// shut down after the last test.

#include "db/Connection.h"

#include <QLocale>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef DOLVANE_WIDGET_TESTS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

namespace {
class FirebirdEnvironment : public ::testing::Environment {
public:
    void TearDown() override { db::ShutdownClient(); }
};
} // namespace

int main(int argc, char** argv) {
#ifdef DOLVANE_WIDGET_TESTS
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    TestApplication app(argc, argv);
    // The settings hives of tests live in a temporary folder, never in the real locations.
    QTemporaryDir hives;
    qputenv("DOLVANE_MACHINE_HIVE", QFile::encodeName(hives.filePath("machine/registry.sqlite")));
    qputenv("DOLVANE_USER_HIVE", QFile::encodeName(hives.filePath("user/registry.sqlite")));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    ::testing::InitGoogleMock(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new FirebirdEnvironment);
    return RUN_ALL_TESTS();
}
