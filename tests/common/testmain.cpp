// Every test program runs inside a QApplication (offscreen), so link, screen and
// end-to-end tests can spin the event loop and receive queued signals.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

// No test may load the system's printer plugin: it pulls in the print system's libraries,
// whose thread-local state makes the leak checker's results depend on the machine. Printing
// in tests goes through the scripted prompts to a PDF writer.
class NoPrinterPlugin : public ::testing::Environment {
public:
    void TearDown() override {
        QFile maps(QStringLiteral("/proc/self/maps"));
        if (!maps.open(QIODevice::ReadOnly))
            return; // not Linux: nothing to look at
        const QByteArray mapped = maps.readAll();
        for (const char* library : {"/printsupport/", "libcups"})
            EXPECT_FALSE(mapped.contains(library)) << library << " was loaded by a test";
    }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // Remembered choices go to a scratch place, never to the user's own settings; programs
    // the tests start inherit it through XDG_CONFIG_HOME.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new NoPrinterPlugin);
    return RUN_ALL_TESTS();
}
