// The model commands of the main window and the model editor: each hands the editor's texts to the
// core's model operations, which reach the windows back through the ModelShell interface.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <stdexcept>

#include "app/main_window.h"
#include "app/model_editor.h"
#include "core/model_definition.h"

namespace kalvora {

void TForm1::Close1Click() {
    ResetModel(workspace_, *this);
}

namespace {

// Until the model file operations are wired in, these commands say so instead of doing nothing.
[[noreturn]] void NotYet() {
    throw std::runtime_error("This command is not available yet.");
}

}  // namespace

void TForm1::LoadModel1Click() {
    NotYet();
}
void TForm1::BuildModel1Click() {
    NotYet();
}
void TForm1::SaveModel1Click() {
    NotYet();
}
void TForm1::Load1Click() {
    NotYet();
}
void TForm1::Store1Click() {
    NotYet();
}
void TForm1::loadModelFile(const std::string&) {
    NotYet();
}
void TModelstring::Button2Click() {
    NotYet();
}
void TModelstring::SaveAs1Click() {
    NotYet();
}
void TModelstring::SaveToolButton1Click() {
    NotYet();
}

}  // namespace kalvora
