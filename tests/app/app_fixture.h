#pragma once

#include <gtest/gtest.h>
#include <QAction>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "core/scripted_prompts.h"

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* stream) {
    *stream << text.toStdString();
}

namespace kalvora::testing {

// A main window started headless, answering its dialogs from a script, with its scratch folder in a
// temporary folder of the test's own.
class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(base.isValid());
        StartupOptions options;
        options.scratchBases = {base.path().toStdString()};
        options.workingFolder = base.path().toStdString();
        options.prompts = &prompts;
        options.registerAnalyses = false;
        form = std::make_unique<TForm1>(options);
    }

    QAction* action(const char* id) const {
        QAction* found = form->findChild<QAction*>(id);
        EXPECT_NE(found, nullptr) << id;
        return found;
    }
    bool enabled(const char* id) const {
        QAction* found = action(id);
        return found != nullptr && found->isEnabled();
    }
    // Writes a file in the test's folder and returns its path.
    std::string writeFile(const std::string& name, const std::string& content) const;
    std::string readFile(const std::string& path) const;
    std::string path(const std::string& name) const {
        return base.filePath(QString::fromStdString(name)).toStdString();
    }

    QTemporaryDir base;
    ScriptedPrompts prompts;
    std::unique_ptr<TForm1> form;
};

}  // namespace kalvora::testing
