#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace brightowl::test {

// Runs dialog.exec() for real; steps run once the dialog is up. A watchdog closes any modal widget
// still open after limitMs and fails the test, so that nothing hangs.
inline int ExecWithSteps(QDialog& dialog, const std::function<void(QDialog&)>& steps, int limitMs = 5000)
{
    QTimer::singleShot(0, &dialog, [&dialog, &steps] { steps(dialog); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        for (int i = 0; i < 10 && QApplication::activeModalWidget() != nullptr; ++i) {
            QWidget* modal = QApplication::activeModalWidget();
            ADD_FAILURE() << "modal window left open: " << modal->windowTitle().toStdString();
            if (auto* open = qobject_cast<QDialog*>(modal))
                open->reject();
            else
                modal->close();
        }
    });
    watchdog.start(limitMs);
    const int result = dialog.exec();
    watchdog.stop();
    return result;
}

} // namespace brightowl::test
