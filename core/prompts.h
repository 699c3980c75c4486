#pragma once

#include <exception>
#include <optional>
#include <string>

namespace kalvora {

// Every message box, question and file dialog of the program goes through this interface, so that
// each command can be driven from a test or from the batch tool as well as from the desktop.
class Prompts {
  public:
    struct FileRequest {
        std::string title;   // dialog caption, e.g. "Indicate File to Save Data"
        std::string folder;  // initial folder (may be empty)
        std::string filter;  // "Data file (*.dat)|*.dat|..." pairs of description and pattern
        std::string defaultExtension;  // without the dot, may be empty
        std::string fileName;          // proposed file name, may be empty
    };

    virtual ~Prompts() = default;

    // An error message box with one "OK" button.
    virtual void error(const std::string& message) = 0;
    // An error message box whose text is the message and whose details (shown on request) are
    // the second text, e.g. a script error's place and Lua's own words. Without details it is
    // error(message).
    virtual void detailedError(const std::string& message, const std::string& details) {
        error(details.empty() ? message : message + ": " + details);
    }
    // An information box with one "OK" button.
    virtual void information(const std::string& message) = 0;
    // A confirmation box with "OK" and "Cancel"; true for OK.
    virtual bool confirm(const std::string& message) = 0;
    // The question before unsaved edits would be lost: "Save", "Discard" or "Cancel". A front end
    // that cannot ask keeps everything as it is.
    enum class SaveAnswer { Save, Discard, Cancel };
    virtual SaveAnswer askSaveChanges(const std::string& message) {
        (void)message;
        return SaveAnswer::Cancel;
    }
    // A file to read; nothing when the user cancels.
    virtual std::optional<std::string> chooseOpenFile(const FileRequest& request) = 0;
    // A file to write; nothing when the user cancels. The second value of a save request is the
    // index (from 0) of the filter the user chose, for commands whose format follows the filter.
    virtual std::optional<std::string> chooseSaveFile(const FileRequest& request,
                                                      int* chosenFilter = nullptr) = 0;
};

// Runs a command's action and shows an error it raises (a number that does not convert, a file that
// cannot be written) in one error box, as the desktop's default handler would; the command ends
// there. True when the action ran to its end.
template <typename Action>
bool ReportingErrors(Prompts& prompts, Action action) {
    try {
        action();
        return true;
    } catch (const std::exception& error) {
        prompts.error(error.what());
        return false;
    }
}

}  // namespace kalvora
