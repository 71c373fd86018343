// The settings dialog as a real window, driven the way a user drives it:
// posted clicks, typed characters, the real file box and message box, and
// mouse presses through SendInput. Runs only under scripts/wine/run-gui-tests.sh
// (a display is needed); elsewhere every test is skipped.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "dialog/dialog_ids.h"
#include "gui_host.h"

namespace om {
namespace {

using namespace guitest;

std::string narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

GuiHost& host() {
  static std::unique_ptr<GuiHost> instance(new GuiHost());
  return *instance;
}

class SettingsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* gui = std::getenv("OM_GUI_TESTS");
    if (!gui || std::string(gui) != "1") GTEST_SKIP() << "needs a display: scripts/wine/run-gui-tests.sh";
    ASSERT_TRUE(host().ok()) << "plug-in or host window missing: " << pluginPath();
    DeleteFileA(settingsPath().c_str());
    picture_ = exeFolder() + "logo_100x50.bmp";
    ASSERT_TRUE(writeTestBitmap(picture_, 100, 50));
  }

  HWND open() {
    host().configure();
    HWND dialog = nullptr;
    waitFor([&] { return (dialog = settingsDialog()) != nullptr; });
    // The refresh posted by the opening has run once the file name is shown.
    if (dialog) waitFor([&] { return !controlText(dialog, kIdFileName).empty(); });
    return dialog;
  }

  void click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

  // The test picture at (posX, posY) in the settings file, the host started
  // and the dialog opened once the picture has loaded; null on failure.
  HWND openWithPicture(int posX, int posY) {
    const std::string start = "[COMMON]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\nLogoFileName=" + picture_ +
                              "\r\nLogoPosX=" + std::to_string(posX) + "\r\nLogoPosY=" + std::to_string(posY) +
                              "\r\nLogoSizeX=131\r\nLogoSizeY=87\r\n";
    CreateDirectoryA((exeFolder() + "Plugins").c_str(), nullptr);
    if (!writeFileBytes(settingsPath(), start.data(), start.size())) return nullptr;
    host().start();
    HWND dialog = open();
    if (!dialog || !waitFor([&] { return enabled(dialog, kIdMoveRight); })) return nullptr;
    return dialog;
  }

  std::string savedSettings() {
    host().shutdown();
    return readFileBytes(settingsPath());
  }

  static bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

  std::string picture_;
};

TEST_F(SettingsWindow, OpensWithItsTextsControlsAndOneWindowOnly) {
  host().start();
  HWND dialog = open();
  ASSERT_NE(dialog, nullptr);

  EXPECT_EQ(controlText(dialog, kIdFileName), fromCp1251(texts::kNoLogo));
  EXPECT_EQ(controlText(dialog, kIdChannelName), fromCp1251("\xCF\xE5\xF0\xE2\xFB\xE9"));
  EXPECT_EQ(controlText(dialog, kIdCancel), fromCp1251(texts::kCancelButton));
  for (int id : {kIdMoveRight, kIdLarger, kIdTopLeft, kIdRemoveLogo, kIdColorKeyEnable, kIdLeftTopPixel,
                 kIdColorSwatch, kIdShowLogo, kIdOpacityEdit, kIdOpacitySpin, kIdOpacityLabel})
    EXPECT_FALSE(enabled(dialog, id)) << id;
  for (int id : {kIdPrivateSettings, kIdChooseLogo, kIdAbout, kIdOk, kIdCancel}) EXPECT_TRUE(enabled(dialog, id)) << id;

  // The glyph buttons draw in Marlett; the file buttons show their icons.
  LOGFONTW font = {};
  HFONT glyph = reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, kIdMoveRight, WM_GETFONT, 0, 0));
  ASSERT_NE(glyph, nullptr);
  GetObjectW(glyph, sizeof font, &font);
  EXPECT_STREQ(font.lfFaceName, L"Marlett");
  EXPECT_EQ(font.lfHeight, 12);
  EXPECT_NE(SendDlgItemMessageW(dialog, kIdChooseLogo, BM_GETIMAGE, IMAGE_ICON, 0), 0);
  EXPECT_NE(SendDlgItemMessageW(dialog, kIdRemoveLogo, BM_GETIMAGE, IMAGE_ICON, 0), 0);
  EXPECT_EQ(SendDlgItemMessageW(dialog, kIdOpacitySpin, UDM_GETBUDDY, 0, 0),
            reinterpret_cast<LRESULT>(GetDlgItem(dialog, kIdOpacityEdit)));

  // The dialog manager's OK and Cancel (Enter, Escape) do not close it.
  SendMessageW(dialog, WM_COMMAND, IDOK, 0);
  SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(IsWindow(dialog));

  // A second PluginConfigure keeps the one window.
  host().configure();
  Sleep(300);
  EXPECT_EQ(findWindows(L"#32770", fromCp1251(texts::kDialogCaption)).size(), 1u);
  EXPECT_EQ(settingsDialog(), dialog);

  click(dialog, kIdCancel);
  EXPECT_TRUE(waitFor([&] { return !IsWindow(dialog); }));
  const std::string ini = savedSettings();
  EXPECT_NE(iniValue(ini, "COMMON", "DlgWndPosX"), "-100") << "the position is recorded on closing";
}

// The steps a held arrow makes: 1 on the press, then the truncated
// accumulator after each tick, the accumulator growing by repeated addition.
std::vector<int> holdTotals(int ticks) {
  std::vector<int> totals{1};
  double acc = 0.0;
  for (int i = 0; i < ticks; ++i) {
    acc += 0.4;
    totals.push_back(totals.back() + static_cast<int>(acc));
  }
  return totals;
}

TEST_F(SettingsWindow, PictureFromTheFileBoxThenEditsReachTheFramesAndTheSettings) {
  host().start();
  const std::vector<uint8_t> plainFrame = host().frame();
  HWND dialog = open();
  ASSERT_NE(dialog, nullptr);

  // The real open-file box: type the path and confirm.
  click(dialog, kIdChooseLogo);
  HWND box = nullptr;
  ASSERT_TRUE(waitFor([&] { return (box = ownedDialog(dialog)) != nullptr; }, 10000));
  // The file name field: a combo box (cmb13) in the explorer-style box, an
  // edit (edt1) in the older one.
  HWND name = GetDlgItem(box, 0x47c);
  if (!name) name = GetDlgItem(box, 0x480);
  ASSERT_NE(name, nullptr);
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(picture_.c_str()));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  const std::wstring shownPath(picture_.begin(), picture_.end());
  ASSERT_TRUE(waitFor([&] { return controlText(dialog, kIdFileName) == shownPath; }, 10000))
      << "the file name box shows " << narrow(controlText(dialog, kIdFileName));
  EXPECT_TRUE(waitFor([&] { return enabled(dialog, kIdMoveRight) && enabled(dialog, kIdOpacityEdit); }));
  EXPECT_TRUE(enabled(dialog, kIdColorKeyEnable));
  EXPECT_FALSE(enabled(dialog, kIdLeftTopPixel)) << "needs the colour key on";
  EXPECT_EQ(controlText(dialog, kIdOpacityEdit), L"60");

  host().processFrame();
  EXPECT_NE(host().frame(), plainFrame) << "the chosen logo is stamped on the next frame";
  const std::vector<uint8_t> atOrigin = host().frame();

  // A click on "4" steps once; a held "4" keeps stepping, faster and faster.
  pressAt(GetDlgItem(dialog, kIdMoveRight), 0);
  pressAt(GetDlgItem(dialog, kIdMoveRight), 700);
  host().processFrame();
  EXPECT_NE(host().frame(), atOrigin) << "the moved logo reaches the frame";

  // Select all, type 1, 5, 0: the third digit brings the warning and 15 stays.
  const HWND edit = GetDlgItem(dialog, kIdOpacityEdit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  PostMessageW(edit, WM_CHAR, '1', 0);
  EXPECT_TRUE(waitFor([&] { return windowText(edit) == L"1"; }));
  PostMessageW(edit, WM_CHAR, '5', 0);
  EXPECT_TRUE(waitFor([&] { return windowText(edit) == L"15"; }));
  PostMessageW(edit, WM_CHAR, '0', 0);
  HWND warning = nullptr;
  ASSERT_TRUE(waitFor([&] { return (warning = ownedDialog(dialog)) != nullptr; }));
  EXPECT_EQ(controlText(warning, 0xFFFF), fromCp1251(texts::kOpacityWarning));
  PostMessageW(warning, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(waitFor([&] { return !IsWindow(warning) && windowText(edit) == L"15"; }));

  click(dialog, kIdOk);
  EXPECT_TRUE(waitFor([&] { return !IsWindow(dialog); }));

  const std::string ini = savedSettings();
  EXPECT_EQ(iniValue(ini, "COMMON", "LogoFileName"), picture_);
  // 100x50 on a 576-line frame: 87 thousandths high, 131 wide.
  EXPECT_EQ(iniValue(ini, "COMMON", "LogoSizeY"), "87");
  EXPECT_EQ(iniValue(ini, "COMMON", "LogoSizeX"), "131");
  EXPECT_EQ(iniValue(ini, "COMMON", "LogoOpacity"), "15");
  EXPECT_EQ(iniValue(ini, "COMMON", "LogoPosY"), "0");
  // The click gave 1; the hold 1 more on the press, then the ticks' steps.
  const int moved = std::atoi(iniValue(ini, "COMMON", "LogoPosX").c_str());
  const std::vector<int> totals = holdTotals(40);
  bool matches = false;
  for (size_t ticks = 4; ticks < totals.size(); ++ticks) matches |= moved == 1 + totals[ticks];
  EXPECT_TRUE(matches) << "LogoPosX " << moved << " is not a click plus an accelerating hold";
}

TEST_F(SettingsWindow, CancelRestoresTheTableAndThePositionIsRemembered) {
  const std::string start = "[COMMON]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\nLogoFileName=" + picture_ +
                            "\r\nLogoPosX=100\r\nLogoPosY=200\r\nLogoSizeX=131\r\nLogoSizeY=87\r\n";
  CreateDirectoryA((exeFolder() + "Plugins").c_str(), nullptr);
  ASSERT_TRUE(writeFileBytes(settingsPath(), start.data(), start.size()));
  host().start();
  HWND dialog = open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(waitFor([&] { return enabled(dialog, kIdMoveRight); }))
      << "no picture loaded from " << picture_ << "; file box: " << narrow(controlText(dialog, kIdFileName));

  // First opening: centred on the host window.
  RECT d, h;
  GetWindowRect(dialog, &d);
  GetWindowRect(host().hostWindow(), &h);
  EXPECT_LE(std::abs((d.left + d.right) - (h.left + h.right)), 2);
  EXPECT_LE(std::abs((d.top + d.bottom) - (h.top + h.bottom)), 2);

  pressAt(GetDlgItem(dialog, kIdMoveRight), 0);
  click(dialog, kIdBottomRight);
  SetWindowPos(dialog, nullptr, 130, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  click(dialog, kIdCancel);
  ASSERT_TRUE(waitFor([&] { return !IsWindow(dialog); }));

  dialog = open();
  ASSERT_NE(dialog, nullptr);
  GetWindowRect(dialog, &d);
  EXPECT_EQ(d.left, 130);
  EXPECT_EQ(d.top, 90);
  click(dialog, kIdOk);
  ASSERT_TRUE(waitFor([&] { return !IsWindow(dialog); }));

  const std::string ini = savedSettings();
  EXPECT_EQ(iniValue(ini, "COMMON", "LogoPosX"), "100");
  EXPECT_EQ(iniValue(ini, "COMMON", "LogoPosY"), "200");
  EXPECT_EQ(iniValue(ini, "COMMON", "DlgWndPosX"), "130");
  EXPECT_EQ(iniValue(ini, "COMMON", "DlgWndPosY"), "90");
}

// "Дополнительно..." widens the window onto the page of further settings;
// tolerance and softness follow the colour key; the edits reach the frames
// and the saved record, and only they are added to it.
TEST_F(SettingsWindow, MorePageEditsTheFurtherSettingsLive) {
  HWND dialog = openWithPicture(100, 200);
  ASSERT_NE(dialog, nullptr) << "no picture loaded from " << picture_;
  EXPECT_EQ(controlText(dialog, kIdMore), fromCp1251(texts::kMoreButton));

  RECT narrow, wide;
  GetWindowRect(dialog, &narrow);
  HWND page = FindWindowExW(dialog, nullptr, L"#32770", nullptr);
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(IsWindowVisible(page));
  click(dialog, kIdMore);
  ASSERT_TRUE(waitFor([&] { return IsWindowVisible(page) != FALSE; }));
  GetWindowRect(dialog, &wide);
  EXPECT_GT(wide.right - wide.left, narrow.right - narrow.left);
  EXPECT_EQ(wide.left, narrow.left);
  EXPECT_EQ(controlText(page, kIdToleranceLabel), fromCp1251(texts::kToleranceLabel));
  const HWND colours = GetDlgItem(page, kIdVideoColors);
  EXPECT_EQ(SendMessageW(colours, CB_GETCOUNT, 0, 0), 5);
  EXPECT_EQ(SendMessageW(colours, CB_GETCURSEL, 0, 0), 0);

  EXPECT_FALSE(enabled(page, kIdToleranceEdit)) << "needs the colour key on";
  click(dialog, kIdColorKeyEnable);
  ASSERT_TRUE(waitFor([&] { return enabled(page, kIdToleranceEdit) && enabled(page, kIdSoftnessSpin); }));
  const std::vector<uint8_t> exactKey = host().frame();
  SendMessageW(GetDlgItem(page, kIdToleranceEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"40"));
  SendMessageW(GetDlgItem(page, kIdSoftnessEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"250"));
  EXPECT_TRUE(waitFor([&] { return windowText(GetDlgItem(page, kIdSoftnessEdit)) == L"100"; }))
      << "clamped to its range";
  SendMessageW(colours, CB_SETCURSEL, 3, 0);
  PostMessageW(page, WM_COMMAND, MAKEWPARAM(kIdVideoColors, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(colours));
  EXPECT_TRUE(waitFor([&] {
    host().processFrame();
    return host().frame() != exactKey;
  })) << "the soft key reaches the frames";

  // The rectangle's numbers move the logo; blur, which enables its
  // strength, then hides what is under it: the grey frame stays grey.
  host().processFrame();
  const std::vector<uint8_t> stamped = host().frame();
  SendMessageW(GetDlgItem(page, kIdRectLeftEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"300"));
  EXPECT_TRUE(waitFor([&] {
    host().processFrame();
    return host().frame() != stamped;
  })) << "the logo moves";
  const HWND mode = GetDlgItem(page, kIdCoverMode);
  EXPECT_EQ(SendMessageW(mode, CB_GETCOUNT, 0, 0), 4);
  EXPECT_FALSE(enabled(page, kIdStrengthEdit)) << "for blur and mosaic only";
  SendMessageW(mode, CB_SETCURSEL, 2, 0);
  PostMessageW(page, WM_COMMAND, MAKEWPARAM(kIdCoverMode, CBN_SELCHANGE), reinterpret_cast<LPARAM>(mode));
  EXPECT_TRUE(waitFor([&] { return enabled(page, kIdStrengthEdit); }));
  const std::vector<uint8_t> grey(stamped.size(), 128);
  EXPECT_TRUE(waitFor([&] {
    host().processFrame();
    return host().frame() == grey;
  })) << "the blur reaches the frames";

  if (const char* shots = std::getenv("OM_GUI_SHOTS")) {
    Sleep(300);
    EXPECT_TRUE(captureWindow(dialog, std::string(shots) + "\\settings-dialog.bmp"));
  }
  click(dialog, kIdMore);
  ASSERT_TRUE(waitFor([&] { return !IsWindowVisible(page); }));
  RECT again;
  GetWindowRect(dialog, &again);
  EXPECT_EQ(again.right - again.left, narrow.right - narrow.left);
  click(dialog, kIdOk);
  ASSERT_TRUE(waitFor([&] { return !IsWindow(dialog); }));

  const std::string ini = savedSettings();
  EXPECT_EQ(iniValue(ini, "COMMON", "KeyTolerance"), "40");
  EXPECT_EQ(iniValue(ini, "COMMON", "KeySoftness"), "100");
  EXPECT_EQ(iniValue(ini, "COMMON", "VideoColors"), "3");
  EXPECT_EQ(iniValue(ini, "COMMON", "CoverMode"), "2");
  EXPECT_EQ(iniValue(ini, "COMMON", "LogoPosX"), "300");
  EXPECT_EQ(ini.find("KeyTolerance"), ini.rfind("KeyTolerance")) << "written once, in COMMON";
}

// The layer list on the page: a layer added is picked and edited apart
// from layer 1; Cancel drops it, OK keeps it in its own section.
TEST_F(SettingsWindow, LayersAreAddedPickedRemovedAndCancelled) {
  HWND dialog = openWithPicture(100, 200);
  ASSERT_NE(dialog, nullptr) << "no picture loaded from " << picture_;
  HWND page = FindWindowExW(dialog, nullptr, L"#32770", nullptr);
  ASSERT_NE(page, nullptr);
  click(dialog, kIdMore);
  ASSERT_TRUE(waitFor([&] { return IsWindowVisible(page) != FALSE; }));
  const HWND list = GetDlgItem(page, kIdLayerList);
  const auto count = [&] { return SendMessageW(list, CB_GETCOUNT, 0, 0); };
  const auto picked = [&] { return SendMessageW(list, CB_GETCURSEL, 0, 0); };
  const auto pick = [&](int index) {
    SendMessageW(list, CB_SETCURSEL, index, 0);
    PostMessageW(page, WM_COMMAND, MAKEWPARAM(kIdLayerList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  };
  EXPECT_EQ(controlText(page, kIdLayerLabel), fromCp1251(texts::kLayerLabel));
  EXPECT_EQ(count(), 1);
  EXPECT_FALSE(enabled(page, kIdRemoveLayer)) << "layer 1 stays";

  click(page, kIdAddLayer);
  ASSERT_TRUE(waitFor([&] { return count() == 2 && picked() == 1 && enabled(page, kIdRemoveLayer); }));
  EXPECT_TRUE(waitFor([&] { return controlText(dialog, kIdFileName) == fromCp1251(texts::kNoLogo); }))
      << "layer 2 has no picture";
  pick(0);
  EXPECT_TRUE(waitFor([&] { return narrow(controlText(dialog, kIdFileName)) == picture_; }))
      << narrow(controlText(dialog, kIdFileName)) << " picked " << picked();
  EXPECT_FALSE(enabled(page, kIdRemoveLayer));
  pick(1);
  ASSERT_TRUE(waitFor([&] { return enabled(page, kIdRemoveLayer); }));
  click(page, kIdRemoveLayer);
  ASSERT_TRUE(waitFor([&] { return count() == 1 && picked() == 0; }));

  click(page, kIdAddLayer);
  ASSERT_TRUE(waitFor([&] { return count() == 2; }));
  click(dialog, kIdCancel);
  ASSERT_TRUE(waitFor([&] { return !IsWindow(dialog); }));
  dialog = open();
  ASSERT_NE(dialog, nullptr);
  page = FindWindowExW(dialog, nullptr, L"#32770", nullptr);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(SendMessageW(GetDlgItem(page, kIdLayerList), CB_GETCOUNT, 0, 0), 1) << "Cancel dropped it";

  click(page, kIdAddLayer);
  ASSERT_TRUE(waitFor([&] { return SendMessageW(GetDlgItem(page, kIdLayerList), CB_GETCOUNT, 0, 0) == 2; }));
  SendMessageW(GetDlgItem(dialog, kIdOpacityEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"33"));
  click(dialog, kIdOk);
  ASSERT_TRUE(waitFor([&] { return !IsWindow(dialog); }));
  const std::string ini = savedSettings();
  EXPECT_EQ(iniValue(ini, "COMMON.2", "LogoOpacity"), "33");
  EXPECT_EQ(iniValue(ini, "COMMON", "LogoOpacity"), "60");
}

std::string fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (const uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

// The host's floating-point state is the host's business: "+" once, "−"
// clicked and then held for twelve ticks, and the frames and the saved
// record come out as under a well-behaved host. Run plain and with
// OM_HOSTILE_FPU=1; the run script compares the printed line across both
// modes and both builds.
TEST_F(SettingsWindow, HostFpuStateChangesNothing) {
  HWND dialog = openWithPicture(300, 300);
  ASSERT_NE(dialog, nullptr) << "no picture loaded from " << picture_;
  auto frameChangesFrom = [&](const std::vector<uint8_t>& before) {
    return waitFor([&] {
      host().processFrame();
      return host().frame() != before;
    });
  };

  std::vector<uint8_t> last = host().frame();
  pressAt(GetDlgItem(dialog, kIdLarger), 0);
  ASSERT_TRUE(frameChangesFrom(last)) << "the click on + reached no frame";
  last = host().frame();
  pressAt(GetDlgItem(dialog, kIdSmaller), 0);
  ASSERT_TRUE(frameChangesFrom(last)) << "the click on - reached no frame";

  // The press leaves "−" the held button; each sent tick is one repeat step,
  // handled by the dialog on the host's UI thread.
  std::string steps;
  int expectedWidth = 131;  // 131 + 1 - 1, then the ticks' steps
  double accumulator = 0.0;
  for (int tick = 0; tick < 12; ++tick) {
    SendMessageW(dialog, WM_TIMER, kHoldRepeatTimer, 0);
    accumulator += 0.4;
    expectedWidth -= static_cast<int>(accumulator);
    host().processFrame();
    steps += (tick ? "," : "") + fnv1a(host().frame()).substr(0, 8);
  }
  const std::string frame = fnv1a(host().frame());
  click(dialog, kIdOk);
  ASSERT_TRUE(waitFor([&] { return !IsWindow(dialog); }));
  const std::string ini = savedSettings();
  const std::string record = iniValue(ini, "COMMON", "LogoPosX") + "," + iniValue(ini, "COMMON", "LogoPosY") +
                             "," + iniValue(ini, "COMMON", "LogoSizeX") + "," +
                             iniValue(ini, "COMMON", "LogoSizeY");
  EXPECT_EQ(iniValue(ini, "COMMON", "LogoSizeX"), std::to_string(expectedWidth))
      << "the held steps differ from repeated additions of 0.4 in double precision";
  EXPECT_EQ(host().fpuStateChanges(), 0) << "a call into the plug-in left the host's FPU state changed";
  std::printf("fpu-scenario: record=%s frame=%s steps=%s\n", record.c_str(), frame.c_str(), steps.c_str());
  std::printf("fpu-mode: %s\n", host().hostileFpu() ? "hostile" : "plain");
}

}  // namespace
}  // namespace om
