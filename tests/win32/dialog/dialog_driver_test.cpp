// Tessivo.exe's dialog under Wine: its resources as the system loads them,
// and the running dialog driven from outside against the virtual modem on
// COM1 (a SIM waiting for PIN 1234), as run_dialog_tests.sh sets it up.
// The expected values are the dialog's tables, written out here once more
// on purpose: they check what the resource compiler made of the sources.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/win32/dialog/remote_dialog.h"
#include "tests/win32/dialog/resource_reader.h"

namespace tessivo::win32test {
namespace {

void ExpectBackground(RemoteDialog& dialog, int id, const Colour& colour) {
  const Colour shown = dialog.WaitForBackground(id, colour);
  EXPECT_EQ(shown, colour) << Describe(shown);
}

const Colour kDarkBlue{0, 43, 127};

TEST(DialogResources, Template102IsTheDialogOfTheTables) {
  ProgramResources program(ProgramPath());
  ASSERT_TRUE(program.loaded()) << ProgramPath();
  DialogResource d;
  ASSERT_TRUE(program.Dialog(102, &d));
  EXPECT_EQ(d.version, 1);
  EXPECT_EQ(d.signature, 0xFFFF) << "an extended template";
  EXPECT_EQ(d.helpId, 0u);
  EXPECT_EQ(d.style, 0x90C800C0u);
  EXPECT_EQ(d.exStyle, 0x00040000u);
  EXPECT_EQ(d.x, 0);
  EXPECT_EQ(d.y, 0);
  EXPECT_EQ(d.cx, 189);
  EXPECT_EQ(d.cy, 128);
  EXPECT_EQ(d.menu, "");
  EXPECT_EQ(d.className, "") << "the standard dialog class";
  EXPECT_EQ(d.caption, "Tessivo");
  EXPECT_EQ(d.pointSize, 11);
  EXPECT_EQ(d.weight, 0);
  EXPECT_EQ(d.italic, 0);
  EXPECT_EQ(d.charSet, 1);
  EXPECT_EQ(d.faceName, "Verdana");

  const struct {
    int id;
    const char* className;
    const char* text;  // nullptr: ours to choose, not empty
    std::uint32_t style;
    int x, y, cx, cy;
  } expected[] = {
      {1001, "Edit", "", 0x50810080, 80, 5, 35, 12},
      {1002, "Edit", "", 0x50810080, 80, 20, 35, 12},
      {1007, "Button", "PIN senden", 0x50010001, 122, 20, 60, 15},
      {1006, "Button", "Modem testen", 0x50010000, 122, 5, 60, 15},
      {2, "Button", "Beenden", 0x50010000, 122, 60, 60, 15},
      {1008, "Static", nullptr, 0x50020101, 5, 113, 177, 8},
      {-1, "Static", "Kommunikationsport:", 0x50020202, 5, 5, 74, 11},
      {-1, "Static", "PIN:", 0x50020202, 55, 20, 25, 12},
      {-1, "Static", "Konsolenstart (Bsp.):  Tessivo  COM1  1234", 0x50020000, 5, 85, 177, 8},
      {1011, "Static", nullptr, 0x50020001, 5, 103, 177, 10},
      {1010, "Button", "PIN-Abfrage ausschalten", 0x50012000, 122, 35, 60, 25},
      {1003, "Static", "#", 0x50021001, 5, 35, 110, 40},
  };
  ASSERT_EQ(d.items.size(), std::size(expected));
  for (std::size_t i = 0; i < d.items.size(); ++i) {
    const TemplateItem& item = d.items[i];
    const auto& want = expected[i];
    SCOPED_TRACE("control #" + std::to_string(i + 1));
    EXPECT_EQ(item.id, want.id);
    EXPECT_EQ(item.className, want.className);
    if (want.text) {
      EXPECT_EQ(item.text, want.text);
    } else {
      EXPECT_FALSE(item.text.empty());
    }
    EXPECT_EQ(item.text.find('&'), std::string::npos) << "no mnemonics";
    EXPECT_EQ(item.style, want.style);
    EXPECT_EQ(item.exStyle, 0u);
    EXPECT_EQ(item.helpId, 0u);
    EXPECT_EQ(item.x, want.x);
    EXPECT_EQ(item.y, want.y);
    EXPECT_EQ(item.cx, want.cx);
    EXPECT_EQ(item.cy, want.cy);
    EXPECT_EQ(item.extraBytes, 0);
  }
}

TEST(DialogResources, IconGroup128HoldsTwo16ColourImages) {
  ProgramResources program(ProgramPath());
  std::vector<IconImage> images;
  ASSERT_TRUE(program.IconGroup(128, &images));
  ASSERT_EQ(images.size(), 2u);
  const int sizes[] = {32, 16};
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(sizes[i]);
    EXPECT_EQ(images[i].width, sizes[i]);
    EXPECT_EQ(images[i].height, sizes[i]);
    EXPECT_EQ(images[i].colourCount, 16);
    EXPECT_EQ(images[i].bitCount, 4);
    EXPECT_EQ(images[i].headerWidth, sizes[i]);
    EXPECT_EQ(images[i].headerHeight, 2 * sizes[i]) << "colour bits and mask";
    EXPECT_EQ(images[i].headerBitCount, 4);
  }
}

// Explorer and the taskbar show the first icon group; group 128 above stays
// the dialog's own.
TEST(DialogResources, ExplorerFindsA32BitIconGroupFirst) {
  ProgramResources program(ProgramPath());
  EXPECT_EQ(program.IconGroupIds(), (std::vector<int>{1, 128}));
  std::vector<IconImage> images;
  ASSERT_TRUE(program.IconGroup(1, &images));
  const int sizes[] = {16, 24, 32, 48, 256};
  ASSERT_EQ(images.size(), std::size(sizes));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const IconImage& image = images[i];
    SCOPED_TRACE(sizes[i]);
    EXPECT_EQ(image.width, sizes[i]);
    EXPECT_EQ(image.height, sizes[i]);
    EXPECT_EQ(image.colourCount, 0) << "no palette";
    EXPECT_EQ(image.planes, 1);
    EXPECT_EQ(image.bitCount, 32);
    EXPECT_EQ(image.png, sizes[i] == 256) << "only the largest image is PNG-compressed";
    EXPECT_EQ(image.headerWidth, sizes[i]);
    EXPECT_EQ(image.headerHeight, image.png ? sizes[i] : 2 * sizes[i]);
    EXPECT_EQ(image.headerBitCount, 32);
  }
}

TEST(DialogResources, VersionInformationNamesTheProduct) {
  ProgramResources program(ProgramPath());
  EXPECT_EQ(program.VersionString("ProductName"), "Tessivo");
  EXPECT_EQ(program.VersionString("OriginalFilename"), "Tessivo.exe");
  EXPECT_FALSE(program.VersionString("FileVersion").empty());
}

// The tests below run in this order against one virtual modem: the last one
// unlocks its SIM.

TEST(RunningDialog, StartsWithTheModemFoundAndEndsWithBeenden) {
  RemoteDialog dialog(ProgramPath());
  EXPECT_EQ(dialog.Text(1001), "COM1");
  EXPECT_EQ(dialog.Text(1002), "");
  EXPECT_EQ(dialog.Text(1003), "\nModem gefunden. \nPIN wird erwartet.");
  EXPECT_EQ(dialog.Text(1010), "PIN-Abfrage ausschalten");
  EXPECT_TRUE(dialog.Enabled(1010));
  for (int id : {1001, 1002, 1006, 1007, 2}) EXPECT_TRUE(dialog.Enabled(id)) << id;

  EXPECT_EQ(SendMessageA(dialog.Control(1001), EM_GETLIMITTEXT, 0, 0), 5);
  EXPECT_EQ(SendMessageA(dialog.Control(1002), EM_GETLIMITTEXT, 0, 0), 4);
  EXPECT_EQ(SendMessageA(dialog.window(), DM_GETDEFID, 0, 0), MAKELONG(1007, DC_HASDEFID));
  // (WM_GETICON would tell the icons, but Wine does not carry it between
  // processes; the unit tests see both WM_SETICON calls.)

  // Tab order: the template's, not the screen's.
  const int order[] = {1002, 1007, 1006, 2, 1010, 1001};
  HWND at = dialog.Control(1001);
  for (int id : order) {
    at = GetNextDlgTabItem(dialog.window(), at, FALSE);
    EXPECT_EQ(GetDlgCtrlID(at), id);
  }

  RECT window;
  GetWindowRect(dialog.window(), &window);
  RECT area;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_NEAR((window.left + window.right) / 2, (area.left + area.right) / 2, 2);
  EXPECT_NEAR((window.top + window.bottom) / 2, (area.top + area.bottom) / 2, 2);

  ExpectBackground(dialog, 1003, kGrey);
  EXPECT_TRUE(dialog.ShowsColour(1008, kDarkBlue)) << "the link in dark blue";
  // The manifest's dependency took effect: the loader brought in the common
  // controls of version 6 from the side-by-side store, not the system's old
  // ones.
  const std::string controls = dialog.ModulePath("comctl32.dll");
  EXPECT_NE(controls.find("\\winsxs\\"), std::string::npos) << controls;
  EXPECT_NE(controls.find("common-controls"), std::string::npos) << controls;
  EXPECT_TRUE(dialog.ShowsColour(1011, kDarkBlue)) << "the notice in dark blue";

  dialog.Click(2);
  EXPECT_EQ(dialog.WaitForExit(), 0);
}

// The status area's line pitch on the screen is its font's cell height:
// 18 pixels at 100 %, as many more as the screen's scale asks for.
int StatusCellHeightFor(int dpi) {
  switch (dpi) {
    case 96: return 18;
    case 120: return 23;
    case 144: return 27;
    case 192: return 36;
    default: return -1;
  }
}

// Two lines of capitals, so that each line's ink starts at the same height
// within its cell and nothing reaches into the next line. The screen may
// show the text as it was before for a moment (kScreenLagMs): the pitch
// that is `expected` within a pixel, else the last one seen.
int StatusLinePitch(RemoteDialog& dialog, int expected) {
  SendMessageA(dialog.Control(1003), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("I\nI"));
  const DWORD start = GetTickCount();
  for (;;) {
    const auto rows = dialog.InkRows(1003);
    const int pitch =
        rows.size() == 2 ? rows[1].first - rows[0].first : -static_cast<int>(rows.size());
    if (std::abs(pitch - expected) <= 1 || GetTickCount() - start > RemoteDialog::kScreenLagMs) {
      return pitch;
    }
    Sleep(50);
  }
}

TEST(RunningDialog, TheStatusFontGrowsWithTheScreensScale) {
  const int dpi = ScreenDpi();
  ASSERT_GT(StatusCellHeightFor(dpi), 0) << dpi << " dpi is not a scale of the table";
  RemoteDialog dialog(ProgramPath());
  EXPECT_NEAR(StatusLinePitch(dialog, StatusCellHeightFor(dpi)), StatusCellHeightFor(dpi), 1)
      << "at " << dpi << " dpi";

  // The window moves to a screen one step (48 dpi) larger: the program
  // makes its fonts again for it. (The suggested window rectangle cannot
  // cross processes, so none is sent; Wine 8's dialog manager does not use
  // it, where Windows' would resize the window to it.)
  const int larger = dpi + 48;
  SendMessageA(dialog.window(), WM_DPICHANGED, MAKEWPARAM(larger, larger), 0);
  EXPECT_NEAR(StatusLinePitch(dialog, StatusCellHeightFor(larger)), StatusCellHeightFor(larger), 1)
      << "at " << larger << " dpi";
  dialog.Click(2);
  EXPECT_EQ(dialog.WaitForExit(), 0);
}

TEST(RunningDialog, AShortPinTurnsTheStatusOrangeAndEscEnds) {
  RemoteDialog dialog(ProgramPath());
  dialog.Type(1002, "12");
  dialog.Click(1007);
  EXPECT_EQ(dialog.Text(1003), "\nBitte PIN vierstellig \neingeben");
  ExpectBackground(dialog, 1003, kOrangeRed);
  EXPECT_TRUE(dialog.ShowsColour(1008, kDarkBlue));

  dialog.PressKey(1002, VK_ESCAPE);
  EXPECT_EQ(dialog.WaitForExit(), 0);
}

TEST(RunningDialog, TypingStopsAtTheLimitsAndEnterSendsThePin) {
  RemoteDialog dialog(ProgramPath());
  SendMessageA(dialog.Control(1001), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  dialog.Type(1001, "COM123456");
  EXPECT_EQ(dialog.Text(1001), "COM12");
  SendMessageA(dialog.Control(1001), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("COM1"));

  dialog.Type(1002, "123456");
  EXPECT_EQ(dialog.Text(1002), "1234");

  dialog.PressKey(1002, VK_RETURN);  // the default button, "PIN senden"
  EXPECT_TRUE(dialog.WaitForText(1003, "\n\nPIN wurde akzeptiert", 30000)) << dialog.Text(1003);
  ExpectBackground(dialog, 1003, kGrey);

  dialog.Close();
  EXPECT_EQ(dialog.WaitForExit(), 0);
}

}  // namespace
}  // namespace tessivo::win32test
