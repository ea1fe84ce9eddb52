#pragma once
// Which operations of WindowHost a control of each kind takes, written once
// for every window layer. A layer asks CheckControlKind before it acts on a
// control; a call the control's kind does not take does nothing and is
// reported to the wrong-kind handler, which tests set to fail at once, so a
// command that addresses the wrong control shows up in a test instead of
// doing nothing quietly (or, on Win32, sending a message to the wrong window).

#include "ui/window_host.hpp"

namespace vantrel {

// The operations that depend on a control's kind. Placing, enabling and the
// tooltip apply to every kind.
enum class ControlOperation {
  ReadText,    // TextOf
  WriteText,   // SetText
  Check,       // IsChecked, SetChecked
  Value,       // SetValue
  Busy,        // SetBusy
  Tabs,        // AddTab, EndTabs, SelectTab
  Columns,     // AddColumn
  Rows,        // RowCount, RowText, RowState, SetRowState, RemoveRow(s), ClearRows, FocusedRow
  AppendRow,   // AppendRow: one text
  AppendRows,  // AppendRows: six texts a row
};

// Tells whether a control of kind takes operation.
bool ControlTakes(ControlKind kind, ControlOperation operation);

// The operation's name and the kind's name, for messages.
const char* OperationName(ControlOperation operation);
const char* KindName(ControlKind kind);

// Called with the gadget, its kind and the operation it does not take.
using WrongKindHandler = void (*)(int gadget, ControlKind kind, ControlOperation operation);
// Sets the handler (nullptr: a wrong kind is ignored, as in the programs).
// Set it before any window exists; it is read on the window's thread.
void SetWrongKindHandler(WrongKindHandler handler);

// Tells whether the control takes the operation; when it does not, reports
// the call to the handler, and the caller does nothing.
bool CheckControlKind(int gadget, ControlKind kind, ControlOperation operation);

// A handler for tests: throws std::logic_error naming the gadget, the kind and the operation.
[[noreturn]] void ThrowOnWrongKind(int gadget, ControlKind kind, ControlOperation operation);

}  // namespace vantrel
