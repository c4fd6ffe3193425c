#include "app/QtPrompt.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace brightowl {

// What a worker thread waits on while its box is up on the user-interface thread.
struct QtPrompt::Pending
{
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false; // guarded by mutex
    bool ok = false;   // guarded by mutex

    void Finish(bool result)
    {
        std::lock_guard lock(mutex);
        if (done)
            return;
        done = true;
        ok = result;
        answered.notify_all();
    }
};

namespace {

constexpr auto kStopFlagPoll = std::chrono::milliseconds(50);

QMessageBox::Icon ToQtIcon(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Warning:
        return QMessageBox::Warning;
    case PromptIcon::Error:
        return QMessageBox::Critical;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox* MakeBox(QWidget* owner, const std::string& caption, const std::string& text, PromptIcon icon,
                     bool question)
{
    const QString title = caption.empty() ? QtPrompt::ApplicationTitle() : QString::fromLocal8Bit(caption);
    auto* box = new QMessageBox(ToQtIcon(icon), title, QString::fromLocal8Bit(text),
                                question ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, owner);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(question ? QMessageBox::Cancel : QMessageBox::Ok);
    return box;
}

} // namespace

QtPrompt::QtPrompt(QObject* parent) : QObject(parent) {}

void QtPrompt::SetOwner(QWidget* owner)
{
    owner_ = owner;
}

QString QtPrompt::ApplicationTitle()
{
    const QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty())
        return QCoreApplication::applicationName();
    return QFileInfo(path).completeBaseName();
}

bool QtPrompt::OnUserInterfaceThread() const
{
    return QThread::currentThread() == thread();
}

bool QtPrompt::RunBox(const std::string& caption, const std::string& text, PromptIcon icon, bool question)
{
    std::unique_ptr<QMessageBox> box(MakeBox(owner_, caption, text, icon, question));
    return box->exec() == QMessageBox::Ok;
}

void QtPrompt::PostBox(const std::string& caption, const std::string& text, PromptIcon icon, bool question,
                       std::shared_ptr<Pending> pending)
{
    // The box is opened without a nested event loop: the user-interface thread goes on serving the
    // window (and may be waiting for this very worker in Stop Server) while the box is up.
    QMetaObject::invokeMethod(
        this,
        [this, caption, text, icon, question, pending] {
            QMessageBox* box = MakeBox(owner_, caption, text, icon, question);
            box->setAttribute(Qt::WA_DeleteOnClose);
            connect(box, &QMessageBox::finished, box,
                    [pending](int result) { pending->Finish(result == QMessageBox::Ok); });
            connect(box, &QObject::destroyed, box, [pending] { pending->Finish(false); });
            box->open();
        },
        Qt::QueuedConnection);
}

void QtPrompt::Message(const std::string& caption, const std::string& text, PromptIcon icon)
{
    if (OnUserInterfaceThread()) {
        RunBox(caption, text, icon, false);
        return;
    }
    auto pending = std::make_shared<Pending>();
    PostBox(caption, text, icon, false, pending);
    std::unique_lock lock(pending->mutex);
    pending->answered.wait(lock, [&] { return pending->done; });
}

bool QtPrompt::Question(const std::string& caption, const std::string& text, PromptIcon icon)
{
    if (OnUserInterfaceThread())
        return RunBox(caption, text, icon, true);
    auto pending = std::make_shared<Pending>();
    PostBox(caption, text, icon, true, pending);
    std::unique_lock lock(pending->mutex);
    pending->answered.wait(lock, [&] { return pending->done; });
    return pending->ok;
}

void QtPrompt::MessageFromWorker(const std::string& caption, const std::string& text, PromptIcon icon,
                                 const std::atomic<int32_t>& stopFlag)
{
    if (OnUserInterfaceThread()) {
        RunBox(caption, text, icon, false);
        return;
    }
    auto pending = std::make_shared<Pending>();
    PostBox(caption, text, icon, false, pending);
    std::unique_lock lock(pending->mutex);
    while (!pending->done && stopFlag.load() != 1)
        pending->answered.wait_for(lock, kStopFlagPoll);
}

} // namespace brightowl
