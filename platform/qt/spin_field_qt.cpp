#include "platform/qt/spin_field_qt.hpp"

#include <QLineEdit>

#include <climits>

#include "platform/qt/text_qt.hpp"
#include "ui/spin_rules.hpp"

namespace vantrel {
SpinField::SpinField(QWidget* parent) : QAbstractSpinBox(parent) {
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setAccelerated(true);
  lineEdit()->setMaxLength(INT_MAX);
  lineEdit()->setAcceptDrops(false);  // a dropped folder goes to the window
  connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    TakeTypedValue(text);
    Q_EMIT Changed();
  });
  SetValue(0);
}

void SpinField::SetValue(std::int64_t value) {
  value_ = ClampSpinValue(value);
  lineEdit()->setText(ToQString(SpinText(value_)));
  update();
}

void SpinField::SetText(const QString& text) {
  lineEdit()->setText(text);
  TakeTypedValue(text);
  update();
}

void SpinField::TakeTypedValue(const QString& text) {
  if (const std::optional<std::int64_t> typed = ReadSpinText(FromQString(text))) value_ = *typed;
}

void SpinField::stepBy(int steps) {
  SetValue(SpinStep(FromQString(text()), value_, steps));
  Q_EMIT Changed();
}

QAbstractSpinBox::StepEnabled SpinField::stepEnabled() const {
  // Both arrows always answer: at an end of the range a step writes that end
  // into the field, over whatever was typed.
  return isReadOnly() ? StepNone : (StepUpEnabled | StepDownEnabled);
}

QValidator::State SpinField::validate(QString&, int&) const { return QValidator::Acceptable; }

void SpinField::fixup(QString&) const {}

}  // namespace vantrel
