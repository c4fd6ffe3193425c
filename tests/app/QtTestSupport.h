#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

namespace brightowl::test {

// Runs a real event loop (which, unlike QTest::qWait, reaches the idle hook) until done() holds or
// the time is up; false on time-out.
inline bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

inline void SpinFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Answers modal windows as they come up, one queued answer for each, in order. Records the class
// of every modal it saw. A modal with no answer left is closed by the watchdog after a few seconds
// and fails the test, so nothing hangs.
class ModalAnswerer
{
public:
    using Answer = std::function<void(QWidget* modal)>;

    ModalAnswerer()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    ~ModalAnswerer() { timer_.stop(); }
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    void Then(Answer answer) { answers_.push_back(std::move(answer)); }

    // While paused the answerer's own timer does not wake the event loop (for tests of idleness).
    void Pause() { timer_.stop(); }
    void Resume() { timer_.start(); }

    // The class names of the modals answered or closed so far, in order.
    const std::vector<QString>& Seen() const { return seen_; }

    static Answer Reject()
    {
        return [](QWidget* modal) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        };
    }
    static Answer Accept()
    {
        return [](QWidget* modal) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->accept();
            else
                modal->close();
        };
    }
    static Answer ClickBox(QMessageBox::StandardButton which)
    {
        return [which](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr) << "expected a message box, got " << modal->metaObject()->className();
            box->button(which)->click();
        };
    }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            waiting_.invalidate();
            return;
        }
        if (modal == lastAnswered_.data())
            return;
        if (!answers_.empty()) {
            Answer answer = std::move(answers_.front());
            answers_.pop_front();
            lastAnswered_ = modal;
            seen_.push_back(QString::fromLatin1(modal->metaObject()->className()));
            answer(modal);
            return;
        }
        if (!waiting_.isValid())
            waiting_.start();
        else if (waiting_.elapsed() > kWatchdogMs) {
            ADD_FAILURE() << "unexpected modal window " << modal->metaObject()->className() << " \""
                          << modal->windowTitle().toStdString() << "\" closed by the watchdog";
            lastAnswered_ = modal;
            seen_.push_back(QString::fromLatin1(modal->metaObject()->className()));
            Reject()(modal);
        }
    }

    static constexpr int kWatchdogMs = 4000;
    QTimer timer_;
    std::deque<Answer> answers_;
    std::vector<QString> seen_;
    QPointer<QWidget> lastAnswered_;
    QElapsedTimer waiting_;
};

} // namespace brightowl::test

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
