#include "core/model_file.h"

#include <filesystem>

#include "core/model_shell.h"
#include "core/numbers.h"
#include "core/text_file.h"

namespace kalvora {

void SetNewModelSource(ModelSource& source) {
    source.initialText = "x=0.25, y=0.2";
    source.parameterText = "a=0.1, b=0.5";
    source.auxiliaryText = "k,l";
    source.equations = "x1=a*x+y\r\ny1=b*y+x\r\nk=x+y\r\nl=(x+y)^2\r\nx=x1\r\ny=y1\r\n";
    source.discrete = true;
}

std::string ModelNameFromPath(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
}

void ReadModelFile(ModelSource& source, ModelShell& shell, const std::string& path) {
    shell.disableModelCommands();
    const std::string text = WithoutByteOrderMark(ReadTextFile(path));
    std::vector<std::string> lines = SplitLines(text);
    // A written file ends with one empty line after the equations; reading it back as an equation
    // line would grow the model by a line on every load and save.
    if (lines.size() > 4 && lines.back().empty()) {
        lines.pop_back();
    }
    auto line = [&](std::size_t index) {
        return index < lines.size() ? lines[index] : std::string();
    };
    source.initialText = line(0);
    source.parameterText = line(1);
    source.auxiliaryText = line(2);
    // The type belongs to the source until the model is accepted; the kind in force changes only
    // then.
    const std::string type = line(3);
    source.discrete = type.empty() || type[0] != 'c';
    if (!source.discrete) {
        source.stepSizeText = type.size() > 2 ? type.substr(2) : std::string();
    }
    source.equations.clear();
    for (std::size_t i = 4; i < lines.size(); ++i) {
        source.equations += lines[i];
        source.equations += "\r\n";
    }
    const std::string name = ModelNameFromPath(path);
    shell.setMainCaption("Kalvora - " + name);
    shell.setEditorCaption(name);
}

std::string ModelFileText(const ModelSource& source) {
    std::string text =
        source.initialText + "\r\n" + source.parameterText + "\r\n" + source.auxiliaryText + "\r\n";
    text += source.discrete ? "d" : "c " + source.stepSizeText;
    text += "\r\n";
    // Every equation line ends with its line break, the last one too, even when the editor's text
    // stops right after it; only then does the final line end leave the empty last line that tells
    // a written file's end from a foreign one.
    text += WithCrLf(source.equations);
    if (!source.equations.empty() && source.equations.back() != '\n') {
        text += "\r\n";
    }
    text += "\r\n";
    return text;
}

void WriteModelFile(const ModelSource& source, const std::string& path) {
    WriteTextFile(path, ModelFileText(source));
}

namespace {

std::string ScriptText(const NameList& variableNames, int variableCount, int auxiliaryCount,
                       const NameList& parameterNames, int parameterCount,
                       const std::string& equations) {
    std::string script = "function model (";
    bool first = true;
    auto append = [&](const std::string& name) {
        if (!first) {
            script += ',';
        }
        script += name;
        first = false;
    };
    for (int i = 0; i < variableCount; ++i) {
        append(variableNames[i]);
    }
    for (int j = 0; j < parameterCount; ++j) {
        append(parameterNames[j]);
    }
    script += ")\r\n";
    script += WithCrLf(equations);
    script += "\r\nreturn ";
    first = true;
    for (int i = 0; i < variableCount + auxiliaryCount && i < kModelListCapacity; ++i) {
        append(variableNames[i]);
    }
    script += "\r\nend";
    return script;
}

}  // namespace

void BuildModelScript(ModelDefinition& definition, const std::string& equations) {
    definition.scriptText =
        ScriptText(definition.variableNames, definition.variableCount, definition.auxiliaryCount,
                   definition.parameterNames, definition.parameterCount, equations);
}

ModelDefinition DefinitionFromSource(const ModelSource& source, Extended discreteStepSize) {
    ModelDefinition definition =
        ParseModelDefinition(source.initialText, source.parameterText, source.auxiliaryText);
    if (source.discrete) {
        SetModelKind(definition, ModelKind::Discrete);
        definition.stepSize = discreteStepSize;
    } else {
        SetModelKind(definition, ModelKind::Continuous);
        definition.stepSize = ParseFloat(source.stepSizeText);
    }
    definition.scriptText =
        ScriptText(definition.variableNames, definition.variableCount, definition.auxiliaryCount,
                   definition.parameterNames, definition.parameterCount, source.equations);
    return definition;
}

}  // namespace kalvora
