#pragma once
// A text field with up and down arrows. The field takes any text (the program
// reads and judges it); the arrows step by the program's spin rules
// (ui/spin_rules.hpp) and write the new value into the field.

#include <QAbstractSpinBox>

#include <cstdint>

namespace vantrel {

class SpinField final : public QAbstractSpinBox {
  Q_OBJECT

 public:
  explicit SpinField(QWidget* parent);

  // Sets the arrows' value (cut to the range) and writes it into the field.
  void SetValue(std::int64_t value);
  // Replaces the field's text.
  void SetText(const QString& text);
  std::int64_t Value() const { return value_; }

 Q_SIGNALS:
  // The user typed into the field or stepped it with the arrows.
  void Changed();

 protected:
  void stepBy(int steps) override;
  StepEnabled stepEnabled() const override;
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;

 private:
  void TakeTypedValue(const QString& text);

  std::int64_t value_ = 0;
};

}  // namespace vantrel
