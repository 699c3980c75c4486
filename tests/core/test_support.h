#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/model_definition.h"
#include "core/model_shell.h"
#include "core/model_workspace.h"
#include "core/text_file.h"

namespace kalvora::testing {

// A scratch folder removed with the test.
class ScratchFolder {
  public:
    ScratchFolder() {
        path_ =
            std::filesystem::temp_directory_path() /
            ("kalvora-core-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    void write(const std::string& name, const std::string& text) const {
        WriteTextFile(file(name), text);
    }
    std::string read(const std::string& name) const { return ReadTextFile(file(name)); }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_),
                                                      std::filesystem::directory_iterator()));
    }

  private:
    static int& counter() {
        static int value = 0;
        return value;
    }
    std::filesystem::path path_;
};

// Records the window effects in order.
struct RecordingShell : ModelShell {
    std::vector<std::string> calls;
    std::string mainCaption;
    std::string editorCaption;
    void setMainCaption(const std::string& c) override {
        mainCaption = c;
        calls.push_back("main:" + c);
    }
    void setEditorCaption(const std::string& c) override {
        editorCaption = c;
        calls.push_back("editor:" + c);
    }
    void enableModelCommands() override { calls.push_back("enable"); }
    void disableModelCommands() override { calls.push_back("disable"); }
    void closeAnalysisWindows() override { calls.push_back("close"); }
    void setEditModelEnabled(bool on) override { calls.push_back(on ? "edit+" : "edit-"); }
    void setSaveModelEnabled(bool on) override { calls.push_back(on ? "save+" : "save-"); }
    void showEditor() override { calls.push_back("show"); }
};

// The three texts taken into the workspace's model as the model editor's OK takes them: parsed
// whole first, so that a failure stores nothing.
inline void AcceptModelDefinition(ModelWorkspace& ws, const std::string& initial,
                                  const std::string& parameters, const std::string& auxiliaries) {
    const ModelDefinition parsed = ParseModelDefinition(initial, parameters, auxiliaries);
    ReplaceModel(ws, [&](ModelDefinition& model) { StoreDefinitionValues(model, parsed); });
}

}  // namespace kalvora::testing
