// The two control tables and Relayout. Each place formula is evaluated as its
// control is made, from the places the toolkit reports for the controls made
// before it, so a toolkit that adjusts a size is followed, not overruled.

#include "ui/layout.hpp"

#include <cmath>

#include "ui/gadgets.hpp"

namespace vantrel {
namespace {

using K = ControlKind;
using C = Container;

Text None(const UiTexts&) { return Text(); }
#define TEXT(field) [](const UiTexts& t) { return t.field; }
#define FIXED(literal) [](const UiTexts&) { return TextFromAscii(literal); }
#define AT(...) [](Placer & p) -> Rect { (void)p; return Rect{__VA_ARGS__}; }

void DisableMinSize(WindowHost& h) { h.SetEnabled(GadgetMinSize, false); }
void DisableMaxSize(WindowHost& h) { h.SetEnabled(GadgetMaxSize, false); }
void CheckAndDisableMd5(WindowHost& h) {
  h.SetChecked(GadgetMd5, true);
  h.SetEnabled(GadgetMd5, false);
}

}  // namespace

const std::vector<ControlRow>& WindowsControls() {
  static const std::vector<ControlRow> rows = {
      {GadgetDirectoryFrame, K::Frame, C::Window, None, AT(5, 0, 800, 40), nullptr},
      {GadgetDirectoryLabel, K::Label, C::Window, TEXT(TextDirectory), AT(13, 15, 105, p.TH()), nullptr},
      {GadgetDirectoryInput, K::TextField, C::Window, None, AT(120, 13, 520, 20), nullptr},
      {GadgetBrowse, K::Button, C::Window, TEXT(TextBrowse), AT(647, 12, 150, 22), nullptr},
      {GadgetSearchListFrame, K::Frame, C::Window, None, AT(5, 40, 800, 100), nullptr},
      {GadgetAdd, K::Button, C::Window, TEXT(TextAdd), AT(10, 55, 105, 36), nullptr},
      {GadgetRemove, K::Button, C::Window, TEXT(TextRemove), AT(10, 96, 105, 36), nullptr},
      {GadgetSearchList, K::ListBox, C::Window, None, AT(120, 55, 677, 76), nullptr},
      {GadgetPanelFrame, K::Frame, C::Window, None, AT(5, 140, 800, 403), nullptr},
      {GadgetPanel, K::Panel, C::Window, None, AT(10, 153, 790, 383), nullptr},
      {GadgetOptionsFrame, K::Frame, C::OptionsPage, None, AT(3, 0, 779, 353), nullptr},
      {GadgetSearchOptionsFrame, K::Frame, C::OptionsPage, TEXT(TextSearchOptions), AT(20, 25, 745, 143), nullptr},
      {GadgetHidden, K::CheckBox, C::OptionsPage, TEXT(TextIncludeHidden), AT(65, 60, p.TW() + 20, p.TH()), nullptr},
      {GadgetSystem, K::CheckBox, C::OptionsPage, TEXT(TextIncludeSystem), AT(65, 90, p.TW() + 20, p.TH()), nullptr},
      {GadgetSubdirs, K::CheckBox, C::OptionsPage, TEXT(TextSubdirectories), AT(65, 120, p.TW() + 20, p.TH()), nullptr},
      {GadgetOtherOptionsFrame, K::Frame, C::OptionsPage, TEXT(TextOtherOptions), AT(20, 186, 745, 143), nullptr},
      {GadgetSizeLimit, K::CheckBox, C::OptionsPage, TEXT(TextSizeLimit), AT(65, 220, p.TW() + 20, p.TH()), nullptr},
      {GadgetMinLabel, K::Label, C::OptionsPage, FIXED("Min."), AT(65, 259, 73, 20), nullptr},
      {GadgetMinSize, K::SpinField, C::OptionsPage, FIXED("0"), AT(105, 256, 98, 20), DisableMinSize},
      {GadgetMaxLabel, K::Label, C::OptionsPage, FIXED("Max."), AT(65, 289, 73, 20), nullptr},
      {GadgetMaxSize, K::SpinField, C::OptionsPage, FIXED("0"), AT(105, 286, 98, 20), DisableMaxSize},
      {GadgetMinUnitLabel, K::Label, C::OptionsPage, FIXED("Bytes"), AT(210, 259, 73, 20), nullptr},
      {GadgetMaxUnitLabel, K::Label, C::OptionsPage, FIXED("Bytes"), AT(210, 289, 73, 20), nullptr},
      {GadgetAlwaysOnTop, K::CheckBox, C::OptionsPage, TEXT(TextAlwaysOnTop), AT(455, 236, p.TW() + 20, p.TH()), nullptr},
      {GadgetHighPriority, K::CheckBox, C::OptionsPage, TEXT(TextHighPriority), AT(455, 266, p.TW() + 20, p.TH()), nullptr},
      {GadgetMethodLabel, K::Label, C::OptionsPage, TEXT(TextMethod), AT(465, 115, p.TW() + 20, p.TH() + 2), nullptr},
      {GadgetMd5, K::CheckBox, C::OptionsPage, FIXED("MD5"), AT(505, 115, p.TW() + 20, p.TH() + 2), nullptr},
      {GadgetCrc32, K::CheckBox, C::OptionsPage, FIXED("CRC32"), AT(565, 115, p.TW() + 20, p.TH() + 2), nullptr},
      {GadgetSha1, K::CheckBox, C::OptionsPage, FIXED("SHA1"), AT(565, 115, p.TW() + 20, p.TH() + 2), CheckAndDisableMd5},
      {GadgetFileTypes, K::CheckBox, C::OptionsPage, TEXT(TextFileTypes), AT(455, 65, p.TW() + 20, p.TH()), nullptr},
      {GadgetFileTypesInput, K::TextField, C::OptionsPage, None, AT(550, 62, 170, 20), nullptr},
      {GadgetResults, K::ResultList, C::ResultsPage, None, AT(3, 5, 779, 320), nullptr},
      {GadgetSelectAll, K::Button, C::ResultsPage, TEXT(TextSelectAll), AT(2, 330, 150, 22), nullptr},
      {GadgetSelectAllButOne, K::Button, C::ResultsPage, TEXT(TextSelectAllButOne), AT(160, 330, 150, 22), nullptr},
      {GadgetReverseSelection, K::Button, C::ResultsPage, TEXT(TextReverseSelection), AT(317, 330, 150, 22), nullptr},
      {GadgetClearList, K::Button, C::ResultsPage, TEXT(TextClearList), AT(474, 330, 150, 22), nullptr},
      {GadgetDeleteSelected, K::Button, C::ResultsPage, TEXT(TextDeleteSelected), AT(631, 330, 150, 22), nullptr},
      {GadgetProgressFrame, K::Frame, C::Window, None, AT(5, 545, 800, 45), nullptr},
      {GadgetProgress, K::ProgressBar, C::Window, None, AT(10, 560, 790, 20), nullptr},
      {GadgetSearchControlFrame, K::Frame, C::Window, None, AT(5, 593, 800, 45), nullptr},
      {GadgetStart, K::Button, C::Window, FIXED("Start"), AT(10, 605, 259, 25), nullptr},
      {GadgetPause, K::Button, C::Window, FIXED("Pause"), AT(276, 605, 259, 25), nullptr},
      {GadgetStop, K::Button, C::Window, FIXED("Stop"), AT(541, 605, 259, 25), nullptr},
  };
  return rows;
}

const std::vector<ControlRow>& MacControls() {
  static const std::vector<ControlRow> rows = {
      {GadgetDirectoryFrame, K::Frame, C::Window, None, AT(5, 5, p.W - 10, 40), nullptr},
      {GadgetDirectoryLabel, K::Label, C::Window, TEXT(TextDirectory), AT(10, 13, 100, 20), nullptr},
      {GadgetDirectoryInput, K::TextField, C::Window, None, AT(p.x(1) + p.w(1) + 10, p.y(1), 520, 20), nullptr},
      {GadgetBrowse, K::Button, C::Window, TEXT(TextBrowse),
       AT(p.x(2) + p.w(2) + 10, p.y(1), p.W - (p.x(2) + p.w(2)) - 40, p.h(1)), nullptr},
      {GadgetSearchListFrame, K::Frame, C::Window, None, AT(5, 50, p.W - 10, 88), nullptr},
      {GadgetAdd, K::Button, C::Window, TEXT(TextAdd), AT(10, 55, 105, 36), nullptr},
      {GadgetRemove, K::Button, C::Window, TEXT(TextRemove), AT(10, 96, 105, 36), nullptr},
      {GadgetSearchList, K::ListBox, C::Window, None, AT(p.x(5) + p.w(5) + 10, 55, p.W - p.w(5) - 40, 76), nullptr},
      {GadgetPanel, K::Panel, C::Window, None, AT(10, 153, p.W - 20, 383), nullptr},
      {GadgetSearchOptionsFrame, K::Frame, C::OptionsPage, TEXT(TextSearchOptions), AT(15, 25, 745, 143), nullptr},
      {GadgetSubdirs, K::CheckBox, C::OptionsPage, TEXT(TextSubdirectories), AT(65, 85, p.TW() + 20, 20), nullptr},
      {GadgetOtherOptionsFrame, K::Frame, C::OptionsPage, TEXT(TextOtherOptions), AT(15, 186, 745, 143), nullptr},
      {GadgetSizeLimit, K::CheckBox, C::OptionsPage, TEXT(TextSizeLimit), AT(65, 226, p.TW() + 20, 20), nullptr},
      {GadgetMinLabel, K::Label, C::OptionsPage, FIXED("Min."), AT(65, 262, 73, 20), nullptr},
      {GadgetMinSize, K::SpinField, C::OptionsPage, FIXED("0"), AT(105, 259, 98, 20), DisableMinSize},
      {GadgetMaxLabel, K::Label, C::OptionsPage, FIXED("Max."), AT(65, 292, 73, 20), nullptr},
      {GadgetMaxSize, K::SpinField, C::OptionsPage, FIXED("0"), AT(105, 289, 98, 20), DisableMaxSize},
      {GadgetMinUnitLabel, K::Label, C::OptionsPage, FIXED("Bytes"), AT(210, 262, 73, 20), nullptr},
      {GadgetMaxUnitLabel, K::Label, C::OptionsPage, FIXED("Bytes"), AT(210, 292, 73, 20), nullptr},
      {GadgetAlwaysOnTop, K::CheckBox, C::OptionsPage, TEXT(TextAlwaysOnTop), AT(455, 236, p.TW() + 20, 20), nullptr},
      {GadgetHighPriority, K::CheckBox, C::OptionsPage, TEXT(TextHighPriority), AT(455, 266, p.TW() + 20, 20), nullptr},
      {GadgetMethodLabel, K::Label, C::OptionsPage, TEXT(TextMethod), AT(465, 115, p.TW() + 20, 22), nullptr},
      {GadgetMd5, K::CheckBox, C::OptionsPage, FIXED("MD5"), AT(p.x(37) + p.w(37) + 10, 115, p.TW() + 20, 22), nullptr},
      {GadgetCrc32, K::CheckBox, C::OptionsPage, FIXED("CRC32"), AT(p.x(38) + p.w(38) + 10, 115, p.TW() + 20, 22), nullptr},
      {GadgetSha1, K::CheckBox, C::OptionsPage, FIXED("SHA1"), AT(p.x(39) + p.w(39) + 10, 115, p.TW() + 20, 22),
       CheckAndDisableMd5},
      {GadgetFileTypes, K::CheckBox, C::OptionsPage, TEXT(TextFileTypes), AT(455, 65, p.TW() + 20, 20), nullptr},
      {GadgetFileTypesInput, K::TextField, C::OptionsPage, None, AT(p.x(35) + p.w(35) + 10, 65, 170, 20), nullptr},
      {GadgetResults, K::ResultList, C::ResultsPage, None, AT(3, 5, 770, 310), nullptr},
      {GadgetSelectAll, K::Button, C::ResultsPage, TEXT(TextSelectAll), AT(7, 317, 145, 22), nullptr},
      {GadgetSelectAllButOne, K::Button, C::ResultsPage, TEXT(TextSelectAllButOne),
       AT(p.x(20) + p.w(20) + 9, 317, 145, 22), nullptr},
      {GadgetReverseSelection, K::Button, C::ResultsPage, TEXT(TextReverseSelection),
       AT(p.x(32) + p.w(32) + 9, 317, 145, 22), nullptr},
      {GadgetClearList, K::Button, C::ResultsPage, TEXT(TextClearList), AT(p.x(21) + p.w(21) + 9, 317, 145, 22), nullptr},
      {GadgetDeleteSelected, K::Button, C::ResultsPage, TEXT(TextDeleteSelected),
       AT(p.x(33) + p.w(33) + 9 - 2, 317, 145, 22), nullptr},
      {GadgetProgress, K::ProgressBar, C::Window, None, AT(10, p.H - 60, p.W - 20, 20), nullptr},
      {GadgetStart, K::Button, C::Window, FIXED("Start"), AT(10, p.H - 35, 255, 25), nullptr},
      {GadgetMacPause, K::Button, C::Window, FIXED("Pause"), AT(272, p.H - 35, 255, 25), nullptr},
      {GadgetStop, K::Button, C::Window, FIXED("Stop"), AT(535, p.y(25), 255, 25), nullptr},
  };
  return rows;
}

#undef TEXT
#undef FIXED
#undef AT

const std::vector<ColumnRow>& ResultColumns() {
  static const std::vector<ColumnRow> columns = {
      {[](const UiTexts& t) { return t.TextColumnGroup; }, 60, 60},
      {[](const UiTexts& t) { return t.TextColumnFilename; }, 420, 260},
      {[](const UiTexts& t) { return t.TextColumnSize; }, 85, 85},
      {[](const UiTexts&) { return TextFromAscii("MD5"); }, 120, 100},
      {[](const UiTexts&) { return TextFromAscii("SHA1"); }, 120, 100},
      {[](const UiTexts&) { return TextFromAscii("CRC32"); }, 120, 100},
  };
  return columns;
}

const std::vector<TooltipRow>& Tooltips() {
  static const std::vector<TooltipRow> tips = {
      {GadgetDirectoryInput, &UiTexts::TextDirectoryTip},
      {GadgetBrowse, &UiTexts::TextDirectoryTip},
      {GadgetAdd, &UiTexts::TextAddTip},
      {GadgetRemove, &UiTexts::TextRemoveTip},
      {GadgetSearchList, &UiTexts::TextSearchListTip},
      {GadgetFileTypes, &UiTexts::TextFileTypesTip},
      {GadgetFileTypesInput, &UiTexts::TextFileTypesTip},
      {GadgetStart, &UiTexts::TextStartTip},
      {GadgetStop, &UiTexts::TextStopTip},
      {GadgetPause, &UiTexts::TextPauseTip},
      {GadgetHidden, &UiTexts::TextIncludeHidden},
      {GadgetSystem, &UiTexts::TextIncludeSystem},
      {GadgetSubdirs, &UiTexts::TextSubdirectories},
      {GadgetSizeLimit, &UiTexts::TextSizeLimit},
      {GadgetAlwaysOnTop, &UiTexts::TextAlwaysOnTop},
      {GadgetHighPriority, &UiTexts::TextHighPriority},
      {GadgetSelectAll, &UiTexts::TextSelectAll},
      {GadgetSelectAllButOne, &UiTexts::TextSelectAllButOne},
      {GadgetReverseSelection, &UiTexts::TextReverseSelection},
      {GadgetClearList, &UiTexts::TextClearList},
      {GadgetDeleteSelected, &UiTexts::TextDeleteSelected},
  };
  return tips;
}

void BuildControls(WindowHost& host, SearchFlavour flavour, const UiTexts& texts, Placer& placer) {
  const bool mac = flavour == SearchFlavour::Mac;
  const auto& rows = mac ? MacControls() : WindowsControls();
  Container current = Container::Window;
  for (const ControlRow& row : rows) {
    if (row.container != current) {
      if (row.container == Container::OptionsPage) host.AddTab(GadgetPanel, texts.TextOptionsTab);
      if (row.container == Container::ResultsPage) host.AddTab(GadgetPanel, texts.TextResultsTab);
      if (row.container == Container::Window) host.EndTabs(GadgetPanel);
      current = row.container;
    }
    placer.own = row.text(texts);
    Rect place = row.place(placer);
    host.CreateControl(row.gadget, row.kind, place, placer.own);
    if (row.gadget == GadgetResults)
      for (const ColumnRow& column : ResultColumns())
        host.AddColumn(GadgetResults, column.title(texts), mac ? column.macWidth : column.windowsWidth);
    if (row.after) row.after(host);
  }
  host.SetEnabled(GadgetFileTypesInput, false);
  // The same tips in the same order; the Mac window has no hidden and system
  // options and its Pause button has its own number.
  for (const TooltipRow& tip : Tooltips()) {
    if (mac && (tip.gadget == GadgetHidden || tip.gadget == GadgetSystem)) continue;
    host.SetToolTip(mac && tip.gadget == GadgetPause ? GadgetMacPause : tip.gadget, texts.*tip.text);
  }
}

namespace {

// The integer nearest to v, halves to the even one.
int Nearest(double v) { return static_cast<int>(std::nearbyint(v)); }

// Sets what one step names and leaves the rest of the place as it is now.
struct Mover {
  WindowHost& host;
  void X(int g, int v) { Set(g, [v](Rect& r) { r.x = v; }); }
  void Y(int g, int v) { Set(g, [v](Rect& r) { r.y = v; }); }
  void Width(int g, int v) { Set(g, [v](Rect& r) { r.w = v; }); }
  void Height(int g, int v) { Set(g, [v](Rect& r) { r.h = v; }); }
  int x(int g) { return host.PlaceOf(g).x; }
  int y(int g) { return host.PlaceOf(g).y; }
  int w(int g) { return host.PlaceOf(g).w; }
  int h(int g) { return host.PlaceOf(g).h; }
  template <typename F>
  void Set(int g, F change) {
    Rect r = host.PlaceOf(g);
    change(r);
    host.SetPlace(g, r);
  }
};

}  // namespace

void Relayout(WindowHost& host, int W, int H) {
  Mover m{host};
  // Horizontal pass. The named quantities are single precision, rounded as
  // each is computed; expressions over them are then taken exactly.
  const float unit = static_cast<float>(W) / 100.0f;
  const float col1X = unit * 8.0f;
  const float col2X = unit * 55.0f;
  const float buttonW = unit * 32.0f;
  for (int g : {0, 4, 8, 16, 24}) m.Width(g, W - 10);
  m.Width(10, W - 32);
  m.Width(11, W - 65);
  m.Width(15, W - 65);
  m.Width(2, W - 285);
  m.X(3, W - 163);
  m.Width(23, W - 20);
  m.Width(9, W - 20);
  m.Width(7, W - 133);
  m.Width(19, W - 32);
  for (int g : {12, 13, 14, 17, 28}) m.X(g, Nearest(col1X));
  m.X(18, m.x(28) + 40);
  m.X(128, m.x(28));
  m.X(118, m.x(18));
  m.X(29, m.x(28) + 145);
  m.X(129, m.x(28) + 145);
  for (int g : {30, 31, 35}) m.X(g, Nearest(col2X));
  m.X(36, m.x(35) + 95);
  m.Width(25, Nearest(buttonW));
  m.X(26, Nearest(static_cast<double>(unit) * 34.0));
  m.Width(26, Nearest(buttonW));
  m.X(37, m.x(35) + 15);
  m.X(38, m.x(37) + m.w(37) + 10);
  m.X(40, m.x(38) + 60);
  m.X(39, m.x(40) + 60);
  const int gap = m.x(26) - (m.x(25) + m.w(25));
  m.X(27, m.x(26) + m.w(26) + gap);
  m.Width(27, Nearest(buttonW));
  const float barW = static_cast<float>(m.w(19)) / 100.0f * 19.0f;
  const float gap86 = static_cast<float>(W) / 86.0f;
  m.Width(20, Nearest(barW));
  const int pairs[][2] = {{20, 32}, {32, 21}, {21, 33}, {33, 22}};
  for (const auto& pair : pairs) {
    m.X(pair[1], Nearest(static_cast<double>(m.x(pair[0]) + m.w(pair[0])) + static_cast<double>(gap86) + 1.0));
    m.Width(pair[1], Nearest(barW));
  }

  // Vertical pass.
  const float hUnit = static_cast<float>(H) / 100.0f;
  m.Height(0, Nearest(static_cast<double>(hUnit) * static_cast<double>(6.3f)));
  float t = static_cast<float>(m.h(0)) / 2.0f - static_cast<float>(m.h(1)) / 2.0f;
  m.Y(1, Nearest(static_cast<double>(m.y(0)) + static_cast<double>(t) + 1.0));
  m.Y(2, m.y(1) - 2);
  m.Y(3, m.y(2) - 1);
  t = static_cast<float>(m.h(0)) * 2.5f;
  m.Y(4, m.y(0) + m.h(0));
  m.Height(4, Nearest(t));
  t = static_cast<float>(m.h(4)) / 2.0f - 36.0f;
  m.Y(5, Nearest(static_cast<double>(m.y(4)) + static_cast<double>(t)));
  m.Y(6, m.y(5) + 41);
  m.Y(7, m.y(5) + 1);
  t = static_cast<float>(static_cast<double>(H) / 100.0 * 62.5);
  m.Y(8, m.y(4) + m.h(4));
  m.Height(8, Nearest(t));
  t = static_cast<float>(m.h(8)) / 2.0f - 192.0f;
  m.Y(9, Nearest(static_cast<double>(m.y(8)) + static_cast<double>(t) + 3.0));
  t = static_cast<float>(static_cast<double>(H) / 100.0 * 7.0);
  m.Y(16, m.y(8) + m.h(8));
  m.Height(16, Nearest(t));
  t = static_cast<float>(m.h(16)) / 2.0f - 10.0f;
  m.Y(23, Nearest(static_cast<double>(m.y(16)) + static_cast<double>(t) + 3.0));
  m.Y(24, m.y(16) + m.h(16));
  m.Height(24, m.h(16));
  for (int g : {25, 27, 26}) m.Y(g, Nearest(static_cast<double>(m.y(24)) + static_cast<double>(t)));
}

}  // namespace vantrel
