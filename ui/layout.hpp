#pragma once
// The controls of both main windows as data: number, kind, container, place
// (a formula over the controls made before and the measured texts), text and
// what happens right after each is made; and Relayout, which moves and
// stretches the sizable window's controls.

#include <vector>

#include "engine/search_worker.hpp"
#include "ui/ui_texts.hpp"
#include "ui/window_host.hpp"

namespace vantrel {

// Where a control lies: the window's client area or a page of GadgetPanel.
enum class Container { Window, OptionsPage, ResultsPage };

// What a place formula may read: the window's size, the places of controls
// made before, and the measured width and height of the control's own text.
class Placer {
 public:
  Placer(WindowHost& host, int width, int height, const std::function<int(const Text&)>& textWidth,
         const std::function<int(const Text&)>& textHeight)
      : host_(host), W(width), H(height), textWidth_(textWidth), textHeight_(textHeight) {}
  int x(int gadget) { return host_.PlaceOf(gadget).x; }
  int y(int gadget) { return host_.PlaceOf(gadget).y; }
  int w(int gadget) { return host_.PlaceOf(gadget).w; }
  int h(int gadget) { return host_.PlaceOf(gadget).h; }
  int TW() { return textWidth_(own); }
  int TH() { return textHeight_(own); }

 private:
  WindowHost& host_;

 public:
  const int W;
  const int H;
  Text own;  // the text of the control being placed

 private:
  const std::function<int(const Text&)>& textWidth_;
  const std::function<int(const Text&)>& textHeight_;
};

struct ControlRow {
  int gadget;
  ControlKind kind;
  Container container;
  Text (*text)(const UiTexts&);
  Rect (*place)(Placer&);
  void (*after)(WindowHost&);  // may be null
};

struct ColumnRow {
  Text (*title)(const UiTexts&);
  int windowsWidth;
  int macWidth;
};

struct TooltipRow {
  int gadget;
  Text UiTexts::*text;
};

// The control tables, in creation order, of the sizable window and the fixed one.
const std::vector<ControlRow>& WindowsControls();
const std::vector<ControlRow>& MacControls();
// The result list's columns, with their widths in each window.
const std::vector<ColumnRow>& ResultColumns();
// The tooltips in the order they are attached (the sizable window's numbers).
const std::vector<TooltipRow>& Tooltips();

// Creates every control of the table, with its columns, then disables the
// file-types input and attaches the tooltips in order.
void BuildControls(WindowHost& host, SearchFlavour flavour, const UiTexts& texts, Placer& placer);

// The smallest client area of the sizable window.
inline constexpr Extent kSmallestClient{810, 645};
// The client area the sizable window opens with, and the fixed window's.
inline constexpr Extent kWindowsClient{972, 700};
inline constexpr Extent kMacClient{800, 600};

// Moves and stretches the sizable window's controls for a client area of W x H.
void Relayout(WindowHost& host, int W, int H);

}  // namespace vantrel
