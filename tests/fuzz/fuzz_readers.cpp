// libFuzzer entry: the first byte of an input picks the reader, the rest is the text it reads.
// Every reader must either read the text or refuse it with its own error; anything else (a crash,
// a sanitizer report, another exception) is a finding.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "analysis/scan/periods/period_scan.h"
#include "core/model_definition.h"
#include "core/model_evaluator.h"
#include "core/model_file.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/model_workspace.h"
#include "core/native_code.h"
#include "core/native_model.h"
#include "core/numbers.h"
#include "core/parameter_file.h"
#include "core/script_lines.h"
#include "core/text_file.h"
#include "plot/data_file_reader.h"

namespace {

using namespace kalvora;

// The readers take paths; one scratch file per fuzzing process, removed when it ends.
struct ScratchFile {
    std::string path = "/tmp/kalvora-fuzz-" + std::to_string(::getpid()) + ".txt";
    ~ScratchFile() { std::remove(path.c_str()); }
};

std::string WriteScratch(const std::string& text) {
    static const ScratchFile scratch;
    const std::string& path = scratch.path;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file != nullptr) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    return path;
}

void Numbers(const std::string& text) {
    try {
        const Extended value = ParseFloat(text);
        (void)FormatGeneral(value, 15);
        (void)FormatGeneral(value, 8);
    } catch (const ConversionError&) {
    }
    try {
        (void)ParseInteger(text);
    } catch (const ConversionError&) {
    }
}

void ModelFile(const std::string& text) {
    ModelSource source;
    NullModelShell shell;
    try {
        ReadModelFile(source, shell, WriteScratch(text));
        const ModelDefinition definition = DefinitionFromSource(source, 0.01L);
        (void)definition;
    } catch (const FileError&) {
    } catch (const ConversionError&) {
    } catch (const DefinitionError&) {
    }
}

void ParameterFile(const std::string& text) {
    ModelWorkspace ws;
    try {
        ws.definition = ShareDefinition(ParseModelDefinition("x=1, y=2", "a=1, b=2", "k"));
        ReadParameterFile(ws, WriteScratch(text));
    } catch (const FileError&) {
    } catch (const ConversionError&) {
    } catch (const DefinitionError&) {
    } catch (const ParameterFileError&) {
    }
}

void DataFile(const std::string& text) {
    VectorPointSink sink;
    try {
        ReadDataFile(WriteScratch(text), sink);
    } catch (const FileError&) {
    } catch (const DataFileError&) {
    }
}

void DefinitionTexts(const std::string& text) {
    NameList names{};
    ValueList values{};
    std::int32_t count = 0;
    try {
        ParseAssignmentList(text, names, values, count);
    } catch (const ConversionError&) {
    } catch (const DefinitionError&) {
    }
    try {
        ParseNameList(text, names, 3, count);
    } catch (const DefinitionError&) {
    }
    // The same text as an error message of the interpreter, which a model can make of any length
    // and content.
    const std::string translated =
        EquationLineMessage(text, "function model (x)\r\nx=1\r\n\r\nreturn x\r\nend");
    (void)EquationLineOf(translated);
}

// The two-variable model of the script (a map unless told otherwise), as a loaded model's
// definition.
ModelDefinitionPtr TwoVariableModel(const std::string& script,
                                    ModelKind kind = ModelKind::Discrete) {
    ModelDefinition model = ParseModelDefinition("x=0.3, y=-0.7", "a=2.5", "");
    model.scriptText = script;
    SetModelKind(model, kind);
    return ShareDefinition(std::move(model));
}

// The period scan's test of one pair of (a, b) on the three paths: the whole test in machine code,
// the register program's batches, the interpreter; the same colour, failures included.
void PeriodPixels(const std::string& script, ModelKind kind) {
    const auto twoParameters = [&](const std::string& text) {
        ModelDefinition model = ParseModelDefinition("x=0.3, y=-0.7", "a=2.5, b=0.5", "");
        model.scriptText = text;
        SetModelKind(model, kind);
        return ShareDefinition(std::move(model));
    };
    const ModelDefinitionPtr definition = twoParameters(script);
    ModelEvaluator machine(definition);
    ModelEvaluator registers(definition);
    ModelEvaluator interpreter(twoParameters(script + "\r\n--[[ ]]"));
    if (machine.scriptStatus != 0 || interpreter.scriptStatus != 0) {
        return;
    }
    registers.nativeCode.reset();
    PeriodSettings settings;
    settings.periods = {2, 1, 3};
    settings.confirmations = 2;
    settings.transient = 40;
    settings.domain = {-1, 3, 2, -1, 1, 2};
    for (int column = 0; column <= 2; ++column) {
        const RgbColour colour = PeriodPixel(interpreter, kind, settings, column, 1);
        if (PeriodPixel(machine, kind, settings, column, 1) != colour ||
            PeriodPixel(registers, kind, settings, column, 1) != colour) {
            std::abort();
        }
    }
}

// Equations the compiler takes must step exactly as in the interpreter: the same numbers, bit for
// bit, and the same failing step. The interpreter's twin has a long comment after the function,
// which the compiler does not take.
void Equations(const std::string& text) {
    const std::string script = "function model (x,y,a)\r\n" + text + "\r\nreturn x,y\r\nend";
    const auto program = NativeModel::Compile(script);
    if (program->stateless()) {
        // What the reading calls stateless gives the same results from the same state, whatever
        // ran between: the batch replays rely on it.
        ModelEvaluator ws(TwoVariableModel(script + "\r\n--[[ ]]"));
        if (ws.scriptStatus == 0) {
            StateVector first = ws.model().initialValues;
            StateVector between = ws.model().initialValues;
            StateVector again = ws.model().initialValues;
            ModelStep(ws, ModelKind::Discrete, first);
            const bool failed = ws.errorFlag;
            ws.errorFlag = false;
            between[0] = 0.9L;
            ModelStep(ws, ModelKind::Discrete, between);
            ws.errorFlag = false;
            ModelStep(ws, ModelKind::Discrete, again);
            if (ws.errorFlag != failed ||
                (!failed && (std::memcmp(&first[0], &again[0], 10) != 0 ||
                             std::memcmp(&first[1], &again[1], 10) != 0))) {
                std::abort();
            }
        }
    }
    if (!program->covered()) {
        return;
    }
    // The machine code, the register program it is made from, and the interpreter, as the steps
    // of a map and as Kutta's steps of a flow.
    for (const ModelKind kind : {ModelKind::Discrete, ModelKind::Continuous}) {
        PeriodPixels("function model (x,y,a,b)\r\n" + text + "\r\nreturn x,y\r\nend", kind);
        const ModelDefinitionPtr definition = TwoVariableModel(script, kind);
        ModelEvaluator machine(definition);
        ModelEvaluator registers(definition);
        ModelEvaluator interpreter(TwoVariableModel(script + "\r\n--[[ ]]", kind));
        if (machine.scriptStatus != 0 || interpreter.scriptStatus != 0) {
            return;
        }
        if (machine.nativeModel == nullptr || !machine.nativeModel->covered() ||
            (NativeCode::Enabled() && machine.nativeCode == nullptr)) {
            std::abort();
        }
        registers.nativeCode.reset();
        StateVector a = machine.model().initialValues;
        StateVector b = interpreter.model().initialValues;
        StateVector c = registers.model().initialValues;
        for (int step = 0; step < 4; ++step) {
            ModelStep(machine, kind, a);
            ModelStep(interpreter, kind, b);
            ModelStep(registers, kind, c);
            if (machine.errorFlag != interpreter.errorFlag ||
                registers.errorFlag != interpreter.errorFlag ||
                machine.recordedMessage != interpreter.recordedMessage ||
                registers.recordedMessage != interpreter.recordedMessage) {
                std::abort();
            }
            if (machine.errorFlag) {
                break;
            }
            for (int slot = 0; slot < 2; ++slot) {
                if (std::memcmp(&a[slot], &b[slot], 10) != 0 ||
                    std::memcmp(&c[slot], &b[slot], 10) != 0) {
                    std::abort();
                }
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
        case 0:
            Numbers(text);
            break;
        case 1:
            ModelFile(text);
            break;
        case 2:
            ParameterFile(text);
            break;
        case 3:
            DataFile(text);
            break;
        case 4:
            DefinitionTexts(text);
            break;
        default:
            Equations(text);
            break;
    }
    return 0;
}
