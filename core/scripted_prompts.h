#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/prompts.h"

namespace kalvora {

// Answers the program's dialogs from queues and records everything it was shown, in order. Used by
// tests of every layer and by the batch tool. An empty queue answers "Cancel".
class ScriptedPrompts : public Prompts {
  public:
    enum class Kind { Error, Information, Confirm, SaveChanges, OpenFile, SaveFile };
    struct Shown {
        Kind kind;
        std::string text;  // the message, or the dialog's title
    };

    void error(const std::string& message) override {
        shown.push_back({Kind::Error, message});
        errors.push_back(message);
        errorDetails.emplace_back();
    }
    // The message is recorded as an error; its details beside it, "" for a plain error.
    void detailedError(const std::string& message, const std::string& details) override {
        error(message);
        errorDetails.back() = details;
    }
    void information(const std::string& message) override {
        shown.push_back({Kind::Information, message});
        informations.push_back(message);
    }
    bool confirm(const std::string& message) override {
        shown.push_back({Kind::Confirm, message});
        confirmations.push_back(message);
        if (confirmAnswers.empty()) {
            return false;
        }
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    SaveAnswer askSaveChanges(const std::string& message) override {
        shown.push_back({Kind::SaveChanges, message});
        saveQuestions.push_back(message);
        if (saveChangesAnswers.empty()) {
            return SaveAnswer::Cancel;
        }
        const SaveAnswer answer = saveChangesAnswers.front();
        saveChangesAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> chooseOpenFile(const FileRequest& request) override {
        shown.push_back({Kind::OpenFile, request.title});
        openRequests.push_back(request);
        return Next(openAnswers);
    }
    std::optional<std::string> chooseSaveFile(const FileRequest& request,
                                              int* chosenFilter = nullptr) override {
        shown.push_back({Kind::SaveFile, request.title});
        saveRequests.push_back(request);
        if (chosenFilter != nullptr) {
            *chosenFilter = 0;
            if (!saveFilterAnswers.empty()) {
                *chosenFilter = saveFilterAnswers.front();
                saveFilterAnswers.pop_front();
            }
        }
        return Next(saveAnswers);
    }

    // Queue answers: a path, or nothing for "Cancel".
    void answerOpen(std::optional<std::string> path) { openAnswers.push_back(std::move(path)); }
    void answerSave(std::optional<std::string> path, int filter = 0) {
        saveAnswers.push_back(std::move(path));
        saveFilterAnswers.push_back(filter);
    }
    void answerConfirm(bool ok) { confirmAnswers.push_back(ok); }
    void answerSaveChanges(SaveAnswer answer) { saveChangesAnswers.push_back(answer); }

    void clear() {
        shown.clear();
        errors.clear();
        errorDetails.clear();
        informations.clear();
        confirmations.clear();
        saveQuestions.clear();
        openRequests.clear();
        saveRequests.clear();
    }

    std::vector<Shown> shown;
    std::vector<std::string> errors;
    std::vector<std::string> errorDetails;  // one per error
    std::vector<std::string> informations;
    std::vector<std::string> confirmations;
    std::vector<std::string> saveQuestions;
    std::vector<FileRequest> openRequests;
    std::vector<FileRequest> saveRequests;

    std::deque<bool> confirmAnswers;
    std::deque<SaveAnswer> saveChangesAnswers;  // empty: "Cancel"
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<int> saveFilterAnswers;

  private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue) {
        if (queue.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }
};

}  // namespace kalvora
