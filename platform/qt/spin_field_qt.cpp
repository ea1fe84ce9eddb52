#include "platform/qt/spin_field_qt.hpp"

#include <QLineEdit>

#include <algorithm>
#include <climits>

namespace vantrel {
namespace {

constexpr std::int64_t kLargest = 2147483647;

std::int64_t Clamp(std::int64_t value) { return std::clamp<std::int64_t>(value, 0, kLargest); }

}  // namespace

SpinField::SpinField(QWidget* parent) : QAbstractSpinBox(parent) {
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setAccelerated(true);
  lineEdit()->setMaxLength(INT_MAX);
  connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    TakeTypedValue(text);
    Q_EMIT Changed();
  });
  SetValue(0);
}

void SpinField::SetValue(std::int64_t value) {
  value_ = Clamp(value);
  lineEdit()->setText(QString::number(value_));
  update();
}

void SpinField::SetText(const QString& text) {
  lineEdit()->setText(text);
  TakeTypedValue(text);
  update();
}

void SpinField::TakeTypedValue(const QString& text) {
  const QString t = text.trimmed();
  const bool negative = t.startsWith(u'-');
  const QString digits = (negative || t.startsWith(u'+')) ? t.mid(1) : t;
  if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
    return;
  bool ok = false;
  const qlonglong typed = t.toLongLong(&ok);
  // A number too long for 64 bits is still beyond either end of the range.
  value_ = ok ? Clamp(typed) : (negative ? 0 : kLargest);
}

void SpinField::stepBy(int steps) {
  TakeTypedValue(text());
  SetValue(value_ + steps);
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
