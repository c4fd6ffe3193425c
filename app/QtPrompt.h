#pragma once

#include "server/Prompt.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

namespace brightowl {

// The program's message boxes, shown with QMessageBox on the user-interface thread, which owns this
// object. A call from another thread is carried over to that thread and waits there for the answer.
class QtPrompt : public QObject, public Prompt
{
    Q_OBJECT

public:
    explicit QtPrompt(QObject* parent = nullptr);

    // The window that owns the boxes (the main window); none for boxes without an owner.
    void SetOwner(QWidget* owner);

    void Message(const std::string& caption, const std::string& text, PromptIcon icon) override;
    bool Question(const std::string& caption, const std::string& text, PromptIcon icon) override;
    void MessageFromWorker(const std::string& caption, const std::string& text, PromptIcon icon,
                           const std::atomic<int32_t>& stopFlag) override;

    // The caption of a box without one of its own: the program file's name without its extension.
    static QString ApplicationTitle();

private:
    struct Pending;

    bool OnUserInterfaceThread() const;
    // Modal, on the user-interface thread; true for OK.
    bool RunBox(const std::string& caption, const std::string& text, PromptIcon icon, bool question);
    // From another thread: opens the box on the user-interface thread; the box reports to pending.
    void PostBox(const std::string& caption, const std::string& text, PromptIcon icon, bool question,
                 std::shared_ptr<Pending> pending);

    QPointer<QWidget> owner_;
};

} // namespace brightowl
