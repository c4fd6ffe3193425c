#pragma once

#include "server/Prompt.h"

#include <mutex>
#include <string>
#include <vector>

namespace brightowl::test {

// Stands in for the message boxes: records every box and answers questions from a script.
class RecordingPrompt : public Prompt
{
public:
    struct Box
    {
        std::string caption;
        std::string text;
        PromptIcon icon;
        bool question;
    };

    void Message(const std::string& caption, const std::string& text, PromptIcon icon) override
    {
        Record({caption, text, icon, false});
    }

    bool Question(const std::string& caption, const std::string& text, PromptIcon icon) override
    {
        Record({caption, text, icon, true});
        std::lock_guard lock(mutex_);
        return answer_;
    }

    void MessageFromWorker(const std::string& caption, const std::string& text, PromptIcon icon,
                           const std::atomic<int32_t>&) override
    {
        Record({caption, text, icon, false});
    }

    void AnswerQuestionsWith(bool ok)
    {
        std::lock_guard lock(mutex_);
        answer_ = ok;
    }

    std::vector<Box> Boxes() const
    {
        std::lock_guard lock(mutex_);
        return boxes_;
    }

    std::vector<std::string> Texts() const
    {
        std::lock_guard lock(mutex_);
        std::vector<std::string> texts;
        for (const Box& box : boxes_)
            texts.push_back(box.text);
        return texts;
    }

    void Clear()
    {
        std::lock_guard lock(mutex_);
        boxes_.clear();
    }

private:
    void Record(Box box)
    {
        std::lock_guard lock(mutex_);
        boxes_.push_back(std::move(box));
    }

    mutable std::mutex mutex_;
    std::vector<Box> boxes_;  // guarded by mutex_
    bool answer_ = true;      // guarded by mutex_
};

} // namespace brightowl::test
