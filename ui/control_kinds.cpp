#include "ui/control_kinds.hpp"

#include <atomic>
#include <stdexcept>
#include <string>

namespace vantrel {
namespace {

std::atomic<WrongKindHandler> wrongKindHandler{nullptr};

}  // namespace

bool ControlTakes(ControlKind kind, ControlOperation operation) {
  using K = ControlKind;
  switch (operation) {
    case ControlOperation::ReadText:
    case ControlOperation::WriteText:
      return kind == K::Frame || kind == K::Label || kind == K::TextField || kind == K::Button ||
             kind == K::CheckBox || kind == K::SpinField;
    case ControlOperation::Check: return kind == K::CheckBox;
    case ControlOperation::Value: return kind == K::ProgressBar || kind == K::SpinField;
    case ControlOperation::Busy: return kind == K::ProgressBar;
    case ControlOperation::Tabs: return kind == K::Panel;
    case ControlOperation::Columns: return kind == K::ResultList;
    case ControlOperation::Rows: return kind == K::ListBox || kind == K::ResultList;
    case ControlOperation::AppendRow: return kind == K::ListBox;
    case ControlOperation::AppendRows: return kind == K::ResultList;
  }
  return false;
}

const char* OperationName(ControlOperation operation) {
  switch (operation) {
    case ControlOperation::ReadText: return "read text";
    case ControlOperation::WriteText: return "write text";
    case ControlOperation::Check: return "check";
    case ControlOperation::Value: return "value";
    case ControlOperation::Busy: return "busy";
    case ControlOperation::Tabs: return "tabs";
    case ControlOperation::Columns: return "columns";
    case ControlOperation::Rows: return "rows";
    case ControlOperation::AppendRow: return "append row";
    case ControlOperation::AppendRows: return "append rows";
  }
  return "?";
}

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::Frame: return "frame";
    case ControlKind::Label: return "label";
    case ControlKind::TextField: return "text field";
    case ControlKind::Button: return "button";
    case ControlKind::CheckBox: return "check box";
    case ControlKind::ListBox: return "list box";
    case ControlKind::Panel: return "panel";
    case ControlKind::SpinField: return "spin field";
    case ControlKind::ResultList: return "result list";
    case ControlKind::ProgressBar: return "progress bar";
  }
  return "?";
}

void SetWrongKindHandler(WrongKindHandler handler) { wrongKindHandler.store(handler); }

bool CheckControlKind(int gadget, ControlKind kind, ControlOperation operation) {
  if (ControlTakes(kind, operation)) return true;
  if (WrongKindHandler handler = wrongKindHandler.load()) handler(gadget, kind, operation);
  return false;
}

void ThrowOnWrongKind(int gadget, ControlKind kind, ControlOperation operation) {
  throw std::logic_error("gadget " + std::to_string(gadget) + " is a " + KindName(kind) + ", which takes no " +
                         OperationName(operation));
}

}  // namespace vantrel
