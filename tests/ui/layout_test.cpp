// Where the controls stand: the sizable window after Relayout at its smallest
// and its opening size, and the fixed window with its measured widths.

#include <gtest/gtest.h>

#include "tests/ui/app_fixture.hpp"
#include "ui/layout.hpp"

namespace vantrel {
namespace {

using testing::App;

enum Field { X, Y, W, H };

int Get(const Rect& r, Field f) { return f == X ? r.x : f == Y ? r.y : f == W ? r.w : r.h; }

struct Figure {
  int gadget;
  Field field;
  int at810x645;
  int at972x700;
};

// The figures that do not depend on the font.
const Figure kFigures[] = {
    {0, W, 800, 962}, {4, W, 800, 962}, {8, W, 800, 962}, {16, W, 800, 962}, {24, W, 800, 962},
    {0, Y, 0, 0},     {0, H, 41, 44},   {4, Y, 41, 44},   {4, H, 102, 110}, {8, Y, 143, 154},
    {8, H, 403, 438}, {16, Y, 546, 592}, {16, H, 45, 49}, {24, Y, 591, 641}, {24, H, 45, 49},
    {5, Y, 56, 63},   {6, Y, 97, 104},  {7, Y, 57, 64},   {7, W, 677, 839}, {3, X, 647, 809},
    {2, W, 525, 687}, {9, Y, 156, 184}, {9, W, 790, 952}, {23, Y, 562, 610}, {23, W, 790, 952},
    {25, Y, 604, 656}, {26, Y, 604, 656}, {27, Y, 604, 656}, {25, X, 10, 10}, {26, X, 275, 330},
    {27, X, 540, 650}, {25, W, 259, 311}, {26, W, 259, 311}, {27, W, 259, 311},
    // The Options page.
    {12, X, 65, 78},  {13, X, 65, 78},  {14, X, 65, 78},  {17, X, 65, 78},  {28, X, 65, 78},
    {128, X, 65, 78}, {118, X, 105, 118}, {18, X, 105, 118}, {29, X, 210, 223}, {129, X, 210, 223},
    {30, X, 446, 535}, {31, X, 446, 535}, {35, X, 446, 535}, {36, X, 541, 630}, {10, W, 778, 940},
    {11, W, 745, 907}, {15, W, 745, 907},
    // The Results page.
    {19, W, 778, 940}, {20, X, 2, 2},   {32, X, 160, 193}, {21, X, 318, 384}, {33, X, 476, 575},
    {22, X, 634, 766}, {20, W, 148, 179}, {32, W, 148, 179}, {21, W, 148, 179}, {33, W, 148, 179},
    {22, W, 148, 179},
    // What Relayout leaves alone: the panel's and the list's heights.
    {9, H, 383, 383}, {19, H, 320, 320},
};

TEST(Relayout, PlacesTheControlsAtTheSmallestAndTheOpeningSize) {
  App app(SearchFlavour::Windows);
  ASSERT_TRUE(app.started);
  EXPECT_EQ(app.host.client.width, 972);
  EXPECT_EQ(app.host.client.height, 700);
  EXPECT_TRUE(app.host.sizable);
  EXPECT_EQ(app.host.minClient.width, 810);
  EXPECT_EQ(app.host.minClient.height, 645);
  EXPECT_EQ(app.host.maxClient.width, 1920);
  // The opening size first (start-up's own Relayout), then the smallest, then back.
  for (Extent size : {Extent{972, 700}, Extent{810, 645}, Extent{972, 700}}) {
    SCOPED_TRACE(size.width);
    app.host.client = size;
    app.program->OnSizeEvent();
    app.host.PumpPending();
    for (const Figure& f : kFigures) {
      int expected = size.width == 810 ? f.at810x645 : f.at972x700;
      EXPECT_EQ(Get(app.host.PlaceOf(f.gadget), f.field), expected) << "control " << f.gadget << " field " << f.field;
    }
  }
}

TEST(Relayout, PutsTheMethodBoxesMd5Sha1Crc32AfterTheMeasuredLabel) {
  App app(SearchFlavour::Windows);
  // "Method" is 6 characters: 42 pixels by the recorder's rule, 62 with the box.
  const Rect label = app.host.PlaceOf(GadgetMethodLabel);
  EXPECT_EQ(label.x, 535 + 15);
  EXPECT_EQ(label.w, 62);
  EXPECT_EQ(app.host.PlaceOf(GadgetMd5).x, label.x + 62 + 10);
  EXPECT_EQ(app.host.PlaceOf(GadgetSha1).x, label.x + 62 + 10 + 60);
  EXPECT_EQ(app.host.PlaceOf(GadgetCrc32).x, label.x + 62 + 10 + 120);
  EXPECT_EQ(app.host.PlaceOf(GadgetMd5).h, 13 + 2);
}

TEST(Relayout, ABurstOfSizeEventsRelaysOnceWithTheLastSize) {
  App app(SearchFlavour::Windows);
  for (Extent size : {Extent{900, 680}, Extent{1000, 700}, Extent{810, 645}}) {
    app.host.client = size;
    app.program->OnSizeEvent();
  }
  EXPECT_EQ(app.host.Queued(), 1u);
  app.host.PumpPending();
  EXPECT_EQ(app.host.PlaceOf(GadgetStop).x, 540);
  // A later event lays out again.
  app.host.client = {972, 700};
  app.program->OnSizeEvent();
  app.host.PumpPending();
  EXPECT_EQ(app.host.PlaceOf(GadgetStop).x, 650);
}

TEST(MacLayout, PlacesTheFixedWindowsControlsFromTheWindowSizeAndMeasuredTexts) {
  App app(SearchFlavour::Mac);
  ASSERT_TRUE(app.started);
  EXPECT_FALSE(app.host.sizable);
  EXPECT_TRUE(app.host.activated);
  EXPECT_EQ(app.host.client.width, 800);
  EXPECT_EQ(app.host.client.height, 600);
  const struct {
    int gadget;
    Rect place;
  } fixed[] = {
      {GadgetBrowse, {650, 13, 120, 20}},     {GadgetSearchList, {125, 55, 655, 76}},
      {GadgetPanel, {10, 153, 780, 383}},     {GadgetProgress, {10, 540, 780, 20}},
      {GadgetStart, {10, 565, 255, 25}},      {GadgetMacPause, {272, 565, 255, 25}},
      {GadgetStop, {535, 565, 255, 25}},      {GadgetSelectAll, {7, 317, 145, 22}},
      {GadgetSelectAllButOne, {161, 317, 145, 22}}, {GadgetReverseSelection, {315, 317, 145, 22}},
      {GadgetClearList, {469, 317, 145, 22}}, {GadgetDeleteSelected, {621, 317, 145, 22}},
      {GadgetDirectoryInput, {120, 13, 520, 20}}, {GadgetResults, {3, 5, 770, 310}},
  };
  for (const auto& f : fixed) EXPECT_EQ(app.host.PlaceOf(f.gadget), f.place) << f.gadget;
  // Measured: 7 pixels a character, plus 10, plus the box's 20.
  auto boxWidth = [](int chars) { return 7 * chars + 10 + 20; };
  EXPECT_EQ(app.host.PlaceOf(GadgetMethodLabel).w, boxWidth(6));
  const int md5X = 465 + boxWidth(6) + 10;
  EXPECT_EQ(app.host.PlaceOf(GadgetMd5), (Rect{md5X, 115, boxWidth(3), 22}));
  const int crcX = md5X + boxWidth(3) + 10;
  EXPECT_EQ(app.host.PlaceOf(GadgetCrc32), (Rect{crcX, 115, boxWidth(5), 22}));
  EXPECT_EQ(app.host.PlaceOf(GadgetSha1), (Rect{crcX + boxWidth(5) + 10, 115, boxWidth(4), 22}));
  EXPECT_EQ(app.host.PlaceOf(GadgetFileTypesInput).x, 455 + boxWidth(10) + 10);
  EXPECT_EQ(app.host.PlaceOf(GadgetSubdirs).w, boxWidth(21));
  // No Relayout in the fixed window: a size event moves nothing.
  app.program->OnSizeEvent();
  app.host.PumpPending();
  EXPECT_EQ(app.host.PlaceOf(GadgetStop).x, 535);
}

TEST(Layout, BothWindowsStartWithTheirControlsPagesColumnsStatesAndTips) {
  for (SearchFlavour flavour : {SearchFlavour::Windows, SearchFlavour::Mac}) {
    const bool mac = flavour == SearchFlavour::Mac;
    SCOPED_TRACE(mac ? "mac" : "windows");
    App app(flavour);
    auto& h = app.host;
    EXPECT_EQ(h.title, TextFromAscii(" Vantrel v1.4"));
    EXPECT_EQ(h.created.size(), mac ? 37u : 43u);
    for (int absent : {8, 10, 12, 13, 16, 24, 26}) EXPECT_EQ(h.controls.count(absent), mac ? 0u : 1u) << absent;
    EXPECT_EQ(h.controls.count(GadgetMacPause), mac ? 1u : 0u);
    // Pages: the options on the first tab, the results on the second.
    EXPECT_EQ(h.At(GadgetPanel).tabs, (std::vector<Text>{TextFromAscii("Options"), TextFromAscii("Results")}));
    EXPECT_EQ(h.At(GadgetPanel).selectedTab, 0);
    EXPECT_EQ(h.At(GadgetSizeLimit).container, 0);
    EXPECT_EQ(h.At(GadgetDeleteSelected).container, 1);
    EXPECT_EQ(h.At(GadgetStop).container, -1);
    // Initial states.
    for (int g : {GadgetMinSize, GadgetMaxSize, GadgetFileTypesInput, GadgetMd5}) EXPECT_FALSE(h.At(g).enabled) << g;
    EXPECT_TRUE(h.At(GadgetMd5).checked);
    EXPECT_FALSE(h.At(GadgetCrc32).checked);
    EXPECT_TRUE(h.At(GadgetSubdirs).enabled);
    EXPECT_EQ(h.At(GadgetMinSize).text, TextFromAscii("0"));
    // Columns.
    const auto& columns = h.At(GadgetResults).columns;
    ASSERT_EQ(columns.size(), 6u);
    EXPECT_EQ(columns[1], std::make_pair(TextFromAscii("Filename"), mac ? 260 : 420));
    EXPECT_EQ(columns[3].first, TextFromAscii("MD5"));
    EXPECT_EQ(columns[4].first, TextFromAscii("SHA1"));
    EXPECT_EQ(columns[5], std::make_pair(TextFromAscii("CRC32"), mac ? 100 : 120));
    // Tooltips, in their order.
    EXPECT_EQ(h.tooltipOrder.size(), mac ? 19u : 21u);
    EXPECT_EQ(h.tooltipOrder[9], mac ? GadgetMacPause : GadgetPause);
    EXPECT_EQ(h.At(mac ? GadgetMacPause : GadgetPause).tooltip,
              TextFromAscii(mac ? "Pause/Resume searching" : "Pause searching"));
    EXPECT_EQ(h.At(GadgetBrowse).tooltip, TextFromAscii("Select a directory"));
  }
}

TEST(Layout, AWindowThatCannotOpenEndsTheProgramBeforeAnyControl) {
  testing::RecordingHost host;
  host.failToOpen = true;
  Program program(host, SearchFlavour::Windows);
  EXPECT_FALSE(program.StartUp());
  EXPECT_TRUE(host.ended);
  EXPECT_TRUE(host.created.empty());
  EXPECT_EQ(program.Run(), 0);
}

}  // namespace
}  // namespace vantrel
