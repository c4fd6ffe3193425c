#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

// One QApplication for the whole binary, offscreen unless told otherwise. The settings store and
// the current directory point into a temporary folder, so no test touches the user's own files.
int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // Windows come and go between tests; only the tests end the event loops they start.
    QApplication::setQuitOnLastWindowClosed(false);
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 2;
    qputenv("XDG_CONFIG_HOME", QDir(scratch.path()).filePath("config").toLocal8Bit());
    QDir::setCurrent(scratch.path());
    return RUN_ALL_TESTS();
}
