// The model commands of the main window and the model editor: each hands the editor's texts to the
// core's model operations, which reach the windows back through the ModelShell interface.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "app/main_window.h"
#include "app/model_editor.h"
#include "app/parameter_window.h"
#include "core/model_commands.h"
#include "core/model_definition.h"
#include "core/parameter_file.h"
#include "core/script_lines.h"

namespace kalvora {

// ---------------------------------------------------------------------------------------------
// The editor's fields as a model source

ModelSource TModelstring::source() const {
    ModelSource source;
    source.initialText = inivals->text().toStdString();
    source.parameterText = params->text().toStdString();
    source.auxiliaryText = hvars->text().toStdString();
    // Model files and the script use CR LF; the text box holds plain line feeds.
    source.equations = StringBox->toPlainText().replace("\n", "\r\n").toStdString();
    source.discrete = discr->isChecked();
    source.stepSizeText = rh->text().toStdString();
    return source;
}

void TModelstring::setSource(const ModelSource& source) {
    inivals->setText(QString::fromStdString(source.initialText));
    params->setText(QString::fromStdString(source.parameterText));
    hvars->setText(QString::fromStdString(source.auxiliaryText));
    QString equations = QString::fromStdString(source.equations);
    equations.replace("\r\n", "\n").replace('\r', '\n');
    StringBox->setPlainText(equations);
    rh->setText(QString::fromStdString(source.stepSizeText));
    discr->setChecked(source.discrete);
    continuous->setChecked(!source.discrete);
    Label5->setVisible(!source.discrete);
    rh->setVisible(!source.discrete);
    // What the fields now hold is a file's or the built-in model: nothing to lose yet.
    setModified(false);
}

// OK: the editor closes only when the script compiled; otherwise the user corrects it here.
void TModelstring::Button2Click() {
    int refusedLine = 0;
    const bool compiled =
        AcceptModelSource(main_.workspace(), source(), main_, main_.prompts(), &refusedLine);
    // OK reached through the parameter window's "Show Model" has replaced the values with the
    // definition's (and perhaps the step size). Grids left as they were would show the old
    // model's rows, and Accept would store them by position into the new model.
    if (main_.parameterWindow()->isVisible())
        main_.parameterWindow()->ShowParameterWindow();
    if (compiled) {
        main_.forgetPreviousModel();
        hide();
        return;
    }
    main_.setModelRefused(true);
    if (refusedLine > 0)
        showEquationLine(refusedLine);
}

void TModelstring::SaveAs1Click() {
    if (SaveModelAs(main_.workspace(), source(), main_, main_.prompts()))
        setModified(false);
}

void TModelstring::SaveToolButton1Click() {
    if (SaveModelFromEditor(main_.workspace(), source(), main_, main_.prompts()))
        setModified(false);
}

// ---------------------------------------------------------------------------------------------
// The main window's model commands

bool TForm1::mayDropEdits() {
    if (!editor_->isModified())
        return true;
    const std::string name =
        workspace_.model().modelName.empty() ? "Newmodel" : workspace_.model().modelName;
    switch (prompts_->askSaveChanges("The model \"" + name +
                                     "\" has been modified. Save the changes?")) {
        case Prompts::SaveAnswer::Save:
            return saveModel();
        case Prompts::SaveAnswer::Discard:
            return true;
        case Prompts::SaveAnswer::Cancel:
            break;
    }
    return false;
}

bool TForm1::saveModel() {
    // Through the editor's Save, which asks for a file when the model has none and remembers it.
    const bool saved = SaveModelFromEditor(workspace_, editor_->source(), *this, *prompts_);
    if (saved)
        editor_->setModified(false);
    return saved;
}

void TForm1::LoadModel1Click() {
    if (!mayDropEdits())
        return;
    Prompts::FileRequest request;
    request.title = "Load Model";
    request.folder = loadModelFolder_;
    request.filter = kModelFileFilter;
    request.defaultExtension = "mod";
    const auto path = prompts_->chooseOpenFile(request);
    if (!path)
        return;
    loadModelFile(*path);
}

void TForm1::loadModelFile(const std::string& path) {
    ModelSource source = editor_->source();
    const bool noModel = workspace_.model().kind == ModelKind::Closed;
    try {
        LoadModelFromFile(workspace_, source, *this, path);
    } catch (const ModelRefusedError& refusal) {
        if (noModel && refusal.failedText < 0) {
            // Nothing was lost: the editor opens on the line Lua named, for correcting.
            editor_->setSource(source);
            if (const int line = EquationLineOf(refusal.details); line > 0) {
                showEditor();
                editor_->showEquationLine(line);
            }
            throw;
        }
        // Refused and nothing changed: the message says which file, and where in it.
        ModelRefusal placed{path + ": " + refusal.what(), refusal.scriptStatus, refusal.details, 0,
                            refusal.failedText};
        if (refusal.failedText >= 0) {
            placed.message =
                path + ", line " + std::to_string(refusal.failedText + 1) + ": " + refusal.what();
        }
        throw ModelRefusedError(placed);
    }
    forgetPreviousModel();
    editor_->setSource(source);
}

void TForm1::BuildModel1Click() {
    if (!mayDropEdits())
        return;
    // The model in force stays until the new one is accepted: Cancel brings back its texts, names
    // and commands. A second Build New Model keeps the first one's way back.
    if (!previousModel_) {
        previousModel_ = PreviousModel{
            editor_->source(), editor_->isModified(),        editor_->caption(),
            mainCaption_,      workspace_.model().modelName, workspace_.model().modelFile,
            modelRefused_};
    }
    ModelSource source = editor_->source();
    SetNewModelSource(source);
    ReplaceModel(workspace_, [](ModelDefinition& model) {
        model.modelName = "Newmodel";
        model.modelFile.clear();
    });
    editor_->setSource(source);
    setMainCaption("Kalvora - Newmodel");
    setEditorCaption("Newmodel");
    // The commands would run the model in force while the editor shows another one.
    setModelRefused(workspace_.model().kind != ModelKind::Closed);
    showEditor();
}

void TForm1::editorDismissed() {
    if (!previousModel_)
        return;
    const PreviousModel previous = std::move(*previousModel_);
    previousModel_.reset();
    editor_->setSource(previous.source);
    editor_->setModified(previous.modified);
    editor_->setCaption(previous.editorCaption);
    ReplaceModel(workspace_, [&](ModelDefinition& model) {
        model.modelName = previous.modelName;
        model.modelFile = previous.modelFile;
    });
    setMainCaption(previous.mainCaption.toStdString());
    setModelRefused(previous.refused);
}

void TForm1::SaveModel1Click() {
    if (SaveModel(workspace_, editor_->source(), *this, *prompts_))
        editor_->setModified(false);
}

void TForm1::Close1Click() {
    if (!mayDropEdits())
        return;
    forgetPreviousModel();
    ResetModel(workspace_, *this);
    // The editor's texts stay for a later OK, but nothing of a closed model waits to be saved.
    editor_->setModified(false);
}

void TForm1::Load1Click() {
    LoadParameters(workspace_, *prompts_);
}

void TForm1::Store1Click() {
    StoreParameters(workspace_, *prompts_);
}

}  // namespace kalvora
