// Placeholder until the dialog is built: the controls exist with their defaults.
#include "Unit4.h"

#include "Unit1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

TForm4::TForm4(TForm1& mainForm, SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_mainForm(mainForm), m_store(store) {
    ComboLetterBox = new QComboBox(this);
    ComboAspectRatio4 = new QComboBox(this);
    CheckBoxOverWrite = new QCheckBox(this);
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setRange(26, 47);
    SpinEdit1->setValue(27);
    ButtonDone = new QPushButton(this);
}

void TForm4::LoadSettings() {}
void TForm4::SaveSettings() {}
void TForm4::SpinEdit1Change() {}
void TForm4::ComboAspectRatio4Change() {}
