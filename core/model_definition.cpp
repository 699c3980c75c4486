#include "core/model_definition.h"

#include <vector>

#include "core/native_model.h"
#include "core/numbers.h"

namespace kalvora {
namespace {

std::string Excerpt(const std::string& text) {
    return text.size() <= 40 ? text : text.substr(0, 40) + "...";
}

// The text without the spaces around it. Spaces inside stay: "1 2" is no number and "a b" no
// name, where dropping them made 12 and ab of what the user typed.
std::string WithoutOuterSpaces(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void RefuseInnerSpace(const std::string& name) {
    if (name.find(' ') != std::string::npos) {
        throw DefinitionError("The name '" + Excerpt(name) + "' holds a space");
    }
}

}  // namespace

void ParseAssignmentList(const std::string& text, NameList& names, ValueList& values,
                         std::int32_t& count) {
    struct Entry {
        std::string name;
        Extended value;
    };
    std::vector<Entry> entries;
    const std::size_t length = text.size();
    std::size_t i = 0;
    while (i < length) {
        Entry entry;
        const std::size_t nameEnd = std::min(text.find('=', i), length);
        const std::string nameText = WithoutOuterSpaces(text.substr(i, nameEnd - i));
        i = nameEnd;
        if (i == length) {
            // Blanks after the last comma are no entry; anything else lacks its value.
            if (nameText.empty()) {
                break;
            }
            throw DefinitionError("The entry '" + nameText +
                                  "' has no \"=\" and value; write it as name=value");
        }
        RefuseInnerSpace(nameText);
        entry.name = nameText;
        ++i;  // past the "="
        // A second "=" stays in the value, which then is no number ("x==0.5").
        const std::size_t valueEnd = std::min(text.find(',', i), length);
        const std::string valueText = WithoutOuterSpaces(text.substr(i, valueEnd - i));
        i = valueEnd + 1;  // past the ","
        entry.value = ParseFloat(valueText);
        entries.push_back(std::move(entry));
        if (entries.size() > static_cast<std::size_t>(kModelListCapacity)) {
            throw DefinitionError("More than " + std::to_string(kModelListCapacity) +
                                  " entries in \"" + Excerpt(text) + "\"; a list holds at most " +
                                  std::to_string(kModelListCapacity));
        }
    }
    for (std::size_t k = 0; k < entries.size(); ++k) {
        names[k] = std::move(entries[k].name);
        values[k] = entries[k].value;
    }
    count = static_cast<std::int32_t>(entries.size());
}

void ParseNameList(const std::string& text, NameList& names, int firstIndex, std::int32_t& count) {
    std::vector<std::string> entries;
    const std::size_t length = text.size();
    std::size_t i = 0;
    while (i < length) {
        const std::size_t end = std::min(text.find(',', i), length);
        std::string name = WithoutOuterSpaces(text.substr(i, end - i));
        RefuseInnerSpace(name);
        i = end + 1;
        entries.push_back(std::move(name));
    }
    if (firstIndex < 0 ||
        firstIndex + entries.size() > static_cast<std::size_t>(kModelListCapacity)) {
        throw DefinitionError(
            "Too many auxiliary variables: variables and auxiliary variables "
            "together are limited to " +
            std::to_string(kModelListCapacity));
    }
    for (std::size_t k = 0; k < entries.size(); ++k) {
        names[firstIndex + k] = std::move(entries[k]);
    }
    count = static_cast<std::int32_t>(entries.size());
}

namespace {

// A name given twice in one list would be one Lua variable for two entries: the later silently
// wins, and the earlier entry reads the later's value.
void RefuseDuplicateNames(const NameList& names, int first, int count, const char* list) {
    for (int i = first; i < first + count; ++i) {
        for (int j = first; j < i; ++j) {
            if (!names[i].empty() && names[i] == names[j]) {
                throw DefinitionError("The name '" + Excerpt(names[i]) + "' appears twice in the " +
                                      list);
            }
        }
    }
}

}  // namespace

ModelDefinition ParseModelDefinition(const std::string& initialText,
                                     const std::string& parameterText,
                                     const std::string& auxiliaryText) {
    ModelDefinition definition;
    SetModelKind(definition, ModelKind::Discrete);
    ParseAssignmentList(initialText, definition.variableNames, definition.initialValues,
                        definition.variableCount);
    ParseAssignmentList(parameterText, definition.parameterNames, definition.parameterValues,
                        definition.parameterCount);
    // Variables and auxiliary variables share one list; the combined size is checked on its own
    // so that the message names both counts.
    NameList auxiliaryNames{};
    std::int32_t auxiliaries = 0;
    ParseNameList(auxiliaryText, auxiliaryNames, 0, auxiliaries);
    if (definition.variableCount + auxiliaries > kModelListCapacity) {
        throw DefinitionError(std::to_string(definition.variableCount) + " variables and " +
                              std::to_string(auxiliaries) +
                              " auxiliary variables are too many: together they are limited "
                              "to " +
                              std::to_string(kModelListCapacity));
    }
    for (int j = 0; j < auxiliaries; ++j) {
        definition.variableNames[definition.variableCount + j] = std::move(auxiliaryNames[j]);
    }
    definition.auxiliaryCount = auxiliaries;
    RefuseDuplicateNames(definition.variableNames, 0, definition.variableCount, "initial values");
    RefuseDuplicateNames(definition.parameterNames, 0, definition.parameterCount, "parameters");
    RefuseDuplicateNames(definition.variableNames, definition.variableCount, auxiliaries,
                         "auxiliary variables");
    // A variable and a parameter of one name would be one argument of the model function twice:
    // the parameter silently replaced the variable's value in every step.
    for (int i = 0; i < definition.variableCount; ++i) {
        for (int j = 0; j < definition.parameterCount; ++j) {
            if (definition.variableNames[i] == definition.parameterNames[j]) {
                throw DefinitionError("The name '" + Excerpt(definition.variableNames[i]) +
                                      "' is both a variable and a parameter");
            }
        }
    }
    // The values a model is defined with are the ones the parameter window's Default restores.
    definition.defaultInitialValues = definition.initialValues;
    definition.defaultParameterValues = definition.parameterValues;
    return definition;
}

ModelDefinitionPtr ShareDefinition(ModelDefinition definition) {
    if (definition.nativeModel == nullptr && !definition.scriptText.empty()) {
        // Once per accepted definition, with its machine code: every evaluator made from it shares
        // both.
        definition.nativeModel =
            NativeModel::CompileWithMachineCode(definition.scriptText, definition.variableCount);
    }
    return std::make_shared<const ModelDefinition>(std::move(definition));
}

void StoreDefinitionValues(ModelDefinition& target, const ModelDefinition& parsed) {
    target.variableCount = parsed.variableCount;
    target.parameterCount = parsed.parameterCount;
    target.auxiliaryCount = parsed.auxiliaryCount;
    const int names = parsed.variableCount + parsed.auxiliaryCount;
    for (int i = 0; i < names; ++i) {
        target.variableNames[i] = parsed.variableNames[i];
    }
    for (int j = 0; j < parsed.parameterCount; ++j) {
        target.parameterNames[j] = parsed.parameterNames[j];
        target.parameterValues[j] = parsed.parameterValues[j];
        target.defaultParameterValues[j] = parsed.parameterValues[j];
    }
    for (int i = 0; i < parsed.variableCount; ++i) {
        target.initialValues[i] = parsed.initialValues[i];
        target.defaultInitialValues[i] = parsed.initialValues[i];
    }
    for (int i = parsed.variableCount; i < kModelListCapacity; ++i) {
        target.initialValues[i] = 0;
    }
}

void SetModelKind(ModelDefinition& definition, ModelKind kind) {
    definition.kind = kind;
    definition.discrete = kind != ModelKind::Continuous;
}

ModelDefinitionPtr WithIntegration(const ModelDefinitionPtr& definition,
                                   const Integration& integration) {
    if (definition->integration.method == integration.method &&
        definition->integration.tolerance == integration.tolerance) {
        return definition;
    }
    auto copy = std::make_shared<ModelDefinition>(*definition);
    copy->integration = integration;
    return copy;
}

}  // namespace kalvora
