#include "ui/window_host.hpp"

namespace vantrel {

int WindowHost::Ask(BoxKind kind, const Text& title, const Text& text) {
  int answer;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  } else {
    answer = ShowBox(kind, title, text);
  }
  boxes_.push_back({kind, title, text, answer});
  return answer;
}

Text WindowHost::ChooseFolder(const Text& prompt, const Text& startFolder) {
  if (!folders_.empty()) {
    Text folder = folders_.front();
    folders_.pop_front();
    return folder;
  }
  return ShowFolderChooser(prompt, startFolder);
}

int WindowHost::ChooseFromMenu(int gadget, int row, const std::vector<Text>& entries) {
  menus_.push_back(entries);
  if (!menuChoices_.empty()) {
    const int choice = menuChoices_.front();
    menuChoices_.pop_front();
    return choice;
  }
  return ShowMenu(gadget, row, entries);
}

}  // namespace vantrel
