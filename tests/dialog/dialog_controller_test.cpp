#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/notify.h"
#include "common/cp1251.h"
#include "dialog/dialog_controller.h"
#include "dialog/dialog_resources.h"
#include "dialog/setting_controls.h"
#include "fake_dialog_view.h"
#include "logo/logo_image.h"
#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"

namespace om {
namespace {

using testing_support::FakeDialogView;

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_->channelTable.push_back(ChannelRecord());
    state_->initialized = true;
    state_->setFormat(720, 576, 0);
  }
  void TearDown() override { EXPECT_EQ(view_.lockViolations, 0); }

  void open() {
    controller().onInitDialog(state_->dialogModel, view_);
    view_.pump();
  }
  DialogController& controller() { return state_->dialog.controller(); }
  ChannelRecord& record() { return state_->recordInUse(); }

  // A picture in memory, as if loaded from `name`; no file behind it.
  void givePicture(int32_t width, int32_t height, const char* name = "memory.bmp") {
    ASSERT_TRUE(state_->show(1).logo.SetFrameSize(width, height));
    uint8_t* p = reinterpret_cast<uint8_t*>(state_->show(1).logo.currentForWriting().pixels);
    for (int32_t i = 0; i < width * height * 4; ++i) p[i] = static_cast<uint8_t>(i * 7);
    state_->show(1).logo.SelectFrame(0);
    state_->show(1).logoLoaded = 1;
    record().LogoFileName = name;
  }
  bool enabled(int32_t id) { return view_.controls[id].enabled; }

  std::unique_ptr<PluginState> state_ = std::make_unique<PluginState>();
  FakeDialogView view_{state_->dialog.controller()};
};

// ---- placement --------------------------------------------------------------

TEST(DialogPlacement, CentresOnHostOnlyWithoutAUsablePosition) {
  const Rect dialog{10, 20, 310, 220};  // 300 x 200 as created
  const Rect host{100, 50, 900, 650};   // centre 500, 350
  // Never placed: the dialog's centre goes on the host's centre.
  DialogPosition p = placeDialog(-100, -100, dialog, host, 1024, 768);
  EXPECT_EQ(p.x, 350);
  EXPECT_EQ(p.y, 250);
  // A stored position left of or above the screen is used as it is.
  p = placeDialog(-50, 200, dialog, host, 1024, 768);
  EXPECT_EQ(p.x, -50);
  EXPECT_EQ(p.y, 200);
  // Off the screen to the right or below: centred again.
  p = placeDialog(1024, 10, dialog, host, 1024, 768);
  EXPECT_EQ(p.x, 350);
  p = placeDialog(10, 768, dialog, host, 1024, 768);
  EXPECT_EQ(p.y, 250);
  // A centre that would put the dialog off the top-left corner is raised to 0.
  p = placeDialog(-100, -100, dialog, Rect{-200, -200, 0, 0}, 1024, 768);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
}

TEST_F(DialogTest, ReopensWhereItWasClosed) {
  view_.hostRect = Rect{0, 0, 800, 600};
  open();
  EXPECT_EQ(view_.dialogRect.left, 250);
  EXPECT_EQ(view_.dialogRect.top, 200);
  view_.moveWindow(37, 45);  // the user drags it
  view_.click(kIdOk);
  EXPECT_FALSE(state_->dialog.hasWindow());
  EXPECT_EQ(state_->dialog.dialogPosX, 37);
  EXPECT_EQ(state_->dialog.dialogPosY, 45);

  FakeDialogView again(controller());
  controller().onInitDialog(state_->dialogModel, again);
  EXPECT_EQ(again.dialogRect.left, 37);
  EXPECT_EQ(again.dialogRect.top, 45);
  again.click(kIdOk);
}

// ---- opening and refresh ----------------------------------------------------

TEST_F(DialogTest, OpeningSnapshotsTheTableAndRefreshesEverything) {
  state_->channelTable.push_back(ChannelRecord());
  state_->channelTable[1].id = 12;
  state_->currentChannelName = "\xCF\xE5\xF0\xE2\xFB\xE9";  // "Первый"
  controller().onInitDialog(state_->dialogModel, view_);
  EXPECT_EQ(state_->dialog.window(), view_.windowHandle());
  ASSERT_EQ(state_->channelTableBackup.size(), 2u);
  EXPECT_EQ(state_->channelTableBackup[1].id, 12);
  EXPECT_EQ(view_.setUps, 1);
  ASSERT_NE(controller().previewPane(), nullptr);
  ASSERT_EQ(view_.postedLog.size(), 1u);
  EXPECT_EQ(view_.postedLog[0], kNotifyEverything);

  view_.pump();
  EXPECT_EQ(view_.controls[kIdChannelName].text, state_->currentChannelName);
  EXPECT_TRUE(view_.controls[kIdShowLogo].checked);
  EXPECT_TRUE(view_.controls[kIdLeftTopPixel].checked);
  EXPECT_FALSE(view_.controls[kIdPrivateSettings].checked);
  EXPECT_EQ(view_.controls[kIdOpacityEdit].text, "60");
  EXPECT_EQ(view_.presents, 1);
  EXPECT_TRUE(view_.warnings.empty());
}

TEST_F(DialogTest, WithoutAPictureOnlyTheAlwaysEnabledControlsWork) {
  open();
  EXPECT_EQ(view_.controls[kIdFileName].text, texts::kNoLogo);
  EXPECT_EQ(view_.controls[kIdFileName].encoding, TextEncoding::Cp1251);
  for (int32_t id : {kIdMoveLeft, kIdMoveRight, kIdMoveUp, kIdMoveDown, kIdSmaller, kIdLarger,
                     kIdTopLeft, kIdBottomLeft, kIdTopRight, kIdBottomRight, kIdHiddenGlyph,
                     kIdRemoveLogo, kIdColorKeyEnable, kIdShowLogo, kIdOpacityEdit,
                     kIdOpacitySpin, kIdOpacityLabel, kIdLeftTopPixel, kIdColorSwatch})
    EXPECT_FALSE(enabled(id)) << id;
  for (int32_t id : {kIdPrivateSettings, kIdChooseLogo, kIdAbout, kIdOk, kIdCancel})
    EXPECT_TRUE(enabled(id)) << id;
}

// Every control that shows a setting, by its row: enabled with a picture
// and its flag; a change reaches the record in use, and the overlay or the
// show timing when the row says so; numbers out of range warn or are
// clamped; Cancel puts every value back.
TEST_F(DialogTest, EverySettingControlFollowsItsRow) {
  givePicture(40, 30);
  record().LogoSizeX = record().LogoSizeY = 100;
  std::vector<int32_t> atOpen;
  for (const SettingControl& c : kSettingControls) atOpen.push_back(c.value(record()));
  open();
  for (const bool keyOn : {false, true}) {
    record().ColorKeyEnable = keyOn;
    record().CoverMode = keyOn ? kCoverBlur : kCoverPicture;  // the strength is for blur
    record().DriftPixels = keyOn ? 4 : 0;                       // its minutes are for a drift
    controller().onNotify(kNotifyEnabling);
    for (const SettingControl& c : kSettingControls)
      for (const int32_t id : {c.id, c.spinId, c.labelId}) {
        if (id && !c.disabledBy) {
          EXPECT_EQ(enabled(id), keyOn || !c.enabledBy) << id;
        }
      }
  }
  OverlayImage& overlay = state_->show(1).canvas.overlay();
  for (const SettingControl& c : kSettingControls) {
    overlay.content = Rect{};  // a rebuild sets it again
    state_->show(1).restartShowTiming = false;
    int32_t wanted = c.max();
    switch (c.kind) {
      case ControlKind::CheckBox:
        view_.click(c.id);
        wanted = view_.controls[c.id].checked;
        break;
      case ControlKind::Number:
        view_.editNumber(c.id, std::to_string(c.max()));
        view_.editNumber(c.id, std::to_string(c.max() + 1));
        EXPECT_EQ(view_.warnings.size(), c.outOfRangeWarning ? 1u : 0u) << c.id;
        view_.warnings.clear();
        break;
      case ControlKind::Choice:
        view_.select(c.id, c.max());
        break;
      case ControlKind::ColorButton:
        continue;  // the colour chooser's own test below
    }
    view_.pump();
    // The rebuild keeps the rectangle on the frame.
    if (c.setting == findSettingRow("LogoPosX")) wanted = 1000 - record().LogoSizeX;
    if (c.setting == findSettingRow("LogoPosY")) wanted = 1000 - record().LogoSizeY;
    EXPECT_EQ(c.value(record()), wanted) << c.id;
    EXPECT_EQ(!overlay.content.empty(), c.effect == ChangeEffect::Rebuild) << c.id;
    EXPECT_EQ(state_->show(1).restartShowTiming, c.effect == ChangeEffect::RestartsShow) << c.id;
    if (c.setting == findSettingRow("ColorKeyEnable")) view_.click(c.id);  // on again for what follows
  }
  view_.click(kIdMore);
  EXPECT_TRUE(view_.morePageShown);
  view_.click(kIdMore);
  EXPECT_FALSE(view_.morePageShown);
  view_.click(kIdCancel);
  view_.pump();
  for (size_t i = 0; i < kSettingControlCount; ++i) {
    const SettingControl& c = kSettingControls[i];
    EXPECT_EQ(c.value(record()), atOpen[i]) << c.id;
  }
}

TEST_F(DialogTest, ColourKeyControlsFollowTheirBoxes) {
  givePicture(8, 4);
  record().ColorKeyEnable = 0;
  record().LeftTopPixelColor = 1;
  open();
  EXPECT_EQ(view_.controls[kIdFileName].text, "memory.bmp");
  EXPECT_EQ(view_.controls[kIdFileName].encoding, TextEncoding::AnsiCodePage);
  EXPECT_TRUE(enabled(kIdMoveLeft));
  EXPECT_FALSE(enabled(kIdLeftTopPixel));
  EXPECT_FALSE(enabled(kIdColorSwatch));

  view_.click(kIdColorKeyEnable);
  EXPECT_EQ(record().ColorKeyEnable, 1u);
  view_.pump();
  EXPECT_TRUE(enabled(kIdLeftTopPixel));
  EXPECT_FALSE(enabled(kIdColorSwatch));
  view_.repaintSwatch();
  EXPECT_EQ(view_.lastSwatch.fill, SwatchLook::Fill::GreyHatch);
  EXPECT_EQ(view_.lastSwatch.color, 0x808080u);

  record().ColorKey = 0x00123456;
  view_.click(kIdLeftTopPixel);  // clears the box
  EXPECT_EQ(record().LeftTopPixelColor, 0u);
  view_.pump();
  EXPECT_TRUE(enabled(kIdColorSwatch));
  view_.repaintSwatch();
  EXPECT_EQ(view_.lastSwatch.fill, SwatchLook::Fill::Solid);
  EXPECT_EQ(view_.lastSwatch.color, 0x00123456u);
}

// ---- opacity edit -----------------------------------------------------------

TEST_F(DialogTest, OpacityTypingRefusesWhatIsNotZeroToHundred) {
  givePicture(8, 4);
  open();
  view_.editOpacity("1");
  EXPECT_EQ(record().LogoOpacity, 1);
  view_.editOpacity("15");
  EXPECT_EQ(record().LogoOpacity, 15);
  view_.editOpacity("150");
  ASSERT_EQ(view_.warnings.size(), 1u);
  EXPECT_STREQ(view_.warnings[0].c_str(), texts::kOpacityWarning);
  EXPECT_EQ(record().LogoOpacity, 15);
  EXPECT_EQ(view_.controls[kIdOpacityEdit].text, "15");

  view_.editOpacity("");  // every digit deleted
  EXPECT_EQ(view_.warnings.size(), 2u);
  EXPECT_EQ(view_.controls[kIdOpacityEdit].text, "15");

  view_.editOpacity("1a");  // pasted text
  EXPECT_EQ(view_.warnings.size(), 3u);
  view_.editOpacity("100");
  EXPECT_EQ(record().LogoOpacity, 100);
  view_.editOpacity("0");
  EXPECT_EQ(record().LogoOpacity, 0);
  EXPECT_EQ(view_.warnings.size(), 3u);
}

TEST(NumberText, OnlyPlainDecimals) {
  int32_t v = -1;
  EXPECT_TRUE(parseNumberText("007", v));
  EXPECT_EQ(v, 7);
  EXPECT_TRUE(parseNumberText("99999999999999999999", v));
  EXPECT_EQ(v, INT32_MAX) << "a huge number stays huge, never wraps into range";
  for (const char* bad : {"", "-1", " 5", "5 ", "+5", "1a"}) EXPECT_FALSE(parseNumberText(bad, v)) << bad;
}

// ---- press-and-hold buttons -------------------------------------------------

TEST_F(DialogTest, HoldingAMoveButtonAcceleratesByRepeatedAdditions) {
  givePicture(100, 50);
  record().LogoPosX = 100;
  record().LogoSizeX = 200;
  record().LogoSizeY = 100;
  open();

  // A click moves by exactly 1.
  controller().onRepeatButtonDown(kIdMoveRight);
  EXPECT_EQ(view_.periods[kHoldRepeatTimer], kHoldRepeatPeriodMs);
  controller().onRepeatButtonUp(kIdMoveRight);
  EXPECT_EQ(record().LogoPosX, 101);
  EXPECT_FALSE(view_.tick(kHoldRepeatTimer));

  // Held for ten ticks: 1 + 0 + 0 + 1 + 1 + 2 + 2 + 2 + 3 + 3 + 3.
  controller().onRepeatButtonDown(kIdMoveRight);
  const int expected[] = {0, 0, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 5, 5, 6, 6, 6, 7, 7, 8};
  int32_t before = record().LogoPosX;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(view_.tick(kHoldRepeatTimer));
    EXPECT_EQ(record().LogoPosX - before, expected[i]) << "tick " << i + 1;
    before = record().LogoPosX;
    if (i == 9) {
      EXPECT_EQ(record().LogoPosX, 101 + 18);
    }
  }
  controller().onRepeatButtonUp(kIdMoveRight);
  EXPECT_FALSE(view_.tick(kHoldRepeatTimer));
}

TEST_F(DialogTest, DoubleClickStepsTwiceAndRestartsTheAcceleration) {
  givePicture(100, 50);
  record().LogoPosY = 500;
  record().LogoSizeX = 200;
  record().LogoSizeY = 100;
  open();
  controller().onRepeatButtonDown(kIdMoveUp);
  for (int i = 0; i < 6; ++i) view_.tick(kHoldRepeatTimer);
  const int32_t afterHold = record().LogoPosY;
  controller().onRepeatButtonDown(kIdMoveUp);  // the double-click's second press
  EXPECT_EQ(record().LogoPosY, afterHold - 1);
  EXPECT_EQ(controller().stepAccumulator(), 0.0);
  view_.tick(kHoldRepeatTimer);
  EXPECT_EQ(record().LogoPosY, afterHold - 1);  // a step of 0 again
}

TEST_F(DialogTest, ResizeKeepsTheCentreAndThePictureAspect) {
  givePicture(100, 50);
  record().LogoPosX = 100;
  record().LogoPosY = 100;
  record().LogoSizeX = 400;
  record().LogoSizeY = 267;
  open();
  controller().onRepeatButtonDown(kIdLarger);
  controller().onRepeatButtonUp(kIdLarger);
  EXPECT_EQ(record().LogoSizeX, 401);
  EXPECT_EQ(record().LogoSizeY, 268);  // MulDiv(401, 50, 100) = 201, then * 4 / 3
  EXPECT_EQ(record().LogoPosX, 100);
  EXPECT_EQ(record().LogoPosY, 99);
}

TEST_F(DialogTest, ResizeStopsAtZeroAndAtTheWholeWidth) {
  givePicture(100, 50);
  record().LogoPosX = 400;
  record().LogoPosY = 400;
  record().LogoSizeX = 3;
  record().LogoSizeY = 2;
  open();
  controller().onRepeatButtonDown(kIdSmaller);
  for (int i = 0; i < 30; ++i) view_.tick(kHoldRepeatTimer);
  controller().onRepeatButtonUp(kIdSmaller);
  EXPECT_EQ(record().LogoSizeX, 0);
  EXPECT_EQ(record().LogoSizeY, 0);

  record().LogoSizeX = 990;
  controller().onRepeatButtonDown(kIdLarger);
  for (int i = 0; i < 60; ++i) {
    view_.tick(kHoldRepeatTimer);
    ASSERT_LE(record().LogoSizeX, 1000);
  }
  EXPECT_EQ(record().LogoSizeX, 1000);
  EXPECT_EQ(record().LogoSizeY, 667);
}

TEST_F(DialogTest, StepsDoNothingOnceThePictureIsGone) {
  givePicture(100, 50);
  record().LogoSizeX = 300;
  record().LogoSizeY = 200;
  open();
  controller().onRepeatButtonDown(kIdSmaller);
  const ChannelRecord afterPress = record();
  EXPECT_EQ(afterPress.LogoSizeX, 299);
  // The video thread drops the picture while the button is held: sizing from
  // a picture of no size would store negative sizes.
  state_->show(1).logo.clear();
  state_->show(1).logoLoaded = 0;
  for (int i = 0; i < 8; ++i) view_.tick(kHoldRepeatTimer);
  EXPECT_EQ(record().LogoSizeX, afterPress.LogoSizeX);
  EXPECT_EQ(record().LogoSizeY, afterPress.LogoSizeY);
  EXPECT_EQ(record().LogoPosX, afterPress.LogoPosX);
}

TEST_F(DialogTest, CornerButtonsPlaceTheLogoWithoutClamping) {
  givePicture(8, 4);
  record().LogoSizeX = 300;
  record().LogoSizeY = 200;
  open();
  view_.click(kIdBottomRight);
  EXPECT_EQ(record().LogoPosX, 700);
  EXPECT_EQ(record().LogoPosY, 800);
  view_.click(kIdTopRight);
  EXPECT_EQ(record().LogoPosX, 700);
  EXPECT_EQ(record().LogoPosY, 0);
  view_.click(kIdBottomLeft);
  EXPECT_EQ(record().LogoPosX, 0);
  EXPECT_EQ(record().LogoPosY, 800);
  view_.click(kIdTopLeft);
  EXPECT_EQ(record().LogoPosX, 0);
  EXPECT_EQ(record().LogoPosY, 0);
}

TEST_F(DialogTest, FlashInvertsTheCaptionTwiceNTimesThenStops) {
  open();
  controller().startFlash(2);
  EXPECT_EQ(view_.periods[kFlashTimer], kFlashPeriodMs);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(view_.tick(kFlashTimer));
  EXPECT_EQ(view_.flashes, 4);
  EXPECT_TRUE(view_.tick(kFlashTimer));  // the fifth tick stops the timer
  EXPECT_FALSE(view_.tick(kFlashTimer));
  EXPECT_EQ(view_.flashes, 4);
  // A new flash while flashing starts the count again.
  controller().startFlash(2);
  view_.tick(kFlashTimer);
  controller().startFlash(2);
  for (int i = 0; i < 6; ++i) view_.tick(kFlashTimer);
  EXPECT_EQ(view_.flashes, 4 + 1 + 4);
}

// ---- closing ----------------------------------------------------------------

TEST_F(DialogTest, CancelRestoresTheTableButKeepsRecordsAppendedWhileOpen) {
  state_->channelTable.push_back(ChannelRecord());
  state_->channelTable[1].id = 7;
  state_->channelTable[1].LogoOpacity = 33;
  state_->currentChannelId = 12;
  open();
  record().LogoOpacity = 5;  // an edit of the common record
  view_.click(kIdPrivateSettings);  // appends channel 12's record to both tables
  ASSERT_EQ(state_->channelTable.size(), 3u);
  ASSERT_EQ(state_->currentIndex, 2);
  EXPECT_EQ(state_->channelTableBackup.size(), 3u);
  record().LogoOpacity = 80;
  state_->channelTable[1].LogoOpacity = 1;

  view_.click(kIdCancel);
  EXPECT_FALSE(view_.destroyed);  // WM_CLOSE is posted, not sent
  view_.pump();
  EXPECT_TRUE(view_.destroyed);
  EXPECT_FALSE(state_->dialog.hasWindow());
  EXPECT_EQ(state_->privateSettings, 1);
  EXPECT_EQ(state_->currentIndex, 2);
  ASSERT_EQ(state_->channelTable.size(), 3u);
  EXPECT_EQ(state_->channelTable[0].LogoOpacity, 60);
  EXPECT_EQ(state_->channelTable[1].LogoOpacity, 33);
  EXPECT_EQ(state_->channelTable[2].id, 12);
  EXPECT_EQ(state_->channelTable[2].LogoOpacity, 60);  // as appended
  EXPECT_EQ(view_.tearDowns, 1);
  EXPECT_EQ(controller().previewPane(), nullptr);
}

// The layer list: every control edits the layer picked; layer 1 is never
// removed, an eighth layer is the last; Cancel puts every layer back.
TEST_F(DialogTest, LayersAreAddedPickedEditedRemovedAndCancelRestoresThemAll) {
  LayerSettings kept;
  kept.number = 5;
  kept.LogoOpacity = 20;
  record().layers.push_back(kept);
  open();
  const auto list = [&] { return view_.controls[kIdLayerList]; };
  EXPECT_EQ(list().items, (std::vector<std::string>{"1", "5"}));
  EXPECT_EQ(list().choice, 0);
  EXPECT_FALSE(enabled(kIdRemoveLayer));

  view_.click(kIdAddLayer);  // the lowest free number, picked
  view_.pump();
  EXPECT_EQ(list().items, (std::vector<std::string>{"1", "2", "5"}));
  EXPECT_EQ(list().choice, 1);
  EXPECT_TRUE(enabled(kIdRemoveLayer));
  view_.editOpacity("33");
  EXPECT_EQ(findLayer(record(), 2)->LogoOpacity, 33);
  EXPECT_EQ(record().LogoOpacity, 60) << "layer 1 untouched";

  view_.select(kIdLayerList, 2);  // layer 5: the controls show its values
  view_.pump();
  EXPECT_EQ(view_.controls[kIdOpacityEdit].text, "20");
  EXPECT_EQ(state_->dialogLayer, 5);
  view_.click(kIdRemoveLayer);  // picks the layer before it
  view_.pump();
  EXPECT_EQ(list().items, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(list().choice, 1);
  for (int i = 0; i < 8; ++i) {
    view_.click(kIdAddLayer);
    view_.pump();
  }
  EXPECT_EQ(record().layers.size(), 7u);
  EXPECT_FALSE(enabled(kIdAddLayer));

  view_.click(kIdCancel);
  view_.pump();
  ASSERT_EQ(record().layers.size(), 1u);
  EXPECT_EQ(record().layers[0].number, 5);
  EXPECT_EQ(record().layers[0].LogoOpacity, 20);
}

TEST_F(DialogTest, CancelNeverDropsTheRecordInUse) {
  open();
  // A record that reached the table but not the backup must survive Cancel,
  // or the index in use would point past the table's end.
  ChannelRecord extra;
  extra.id = 99;
  state_->channelTable.push_back(extra);
  state_->currentIndex = 1;
  controller().onClose();
  ASSERT_EQ(state_->channelTable.size(), 2u);
  EXPECT_EQ(state_->channelTable[1].id, 99);
  EXPECT_TRUE(view_.destroyed);
}

TEST_F(DialogTest, OkKeepsEditsAndDefaultCommandsDoNotClose) {
  givePicture(8, 4);
  open();
  view_.editOpacity("42");
  view_.click(kIdShowLogo);
  EXPECT_EQ(record().ShowLogo, 0u);
  controller().onCommand(1);  // IDOK from the Enter key
  controller().onCommand(2);  // IDCANCEL from Escape
  view_.pump();
  EXPECT_FALSE(view_.destroyed);
  view_.click(kIdAbout);
  EXPECT_EQ(view_.aboutShown, 1);
  view_.click(kIdOk);
  EXPECT_TRUE(view_.destroyed);
  EXPECT_EQ(record().LogoOpacity, 42);
  EXPECT_EQ(record().ShowLogo, 0u);
  // Nothing reaches a closed dialog.
  controller().onCommand(kIdCancel);
  controller().onNotify(kNotifyEverything);
  controller().onRepeatButtonDown(kIdMoveLeft);
  EXPECT_FALSE(view_.pending());
}

// ---- pictures and colours ---------------------------------------------------

// The plug-in's model, watched: a picture is decoded with FrameLock free, and
// a channel switch the video thread makes meanwhile decides which record
// takes the pick.
class WatchedModel final : public DialogModel {
 public:
  WatchedModel(PluginState& state, DialogModel& inner) : state_(state), inner_(inner) {}
  bool decodedUnderLock = false;

  std::unique_ptr<DecodedPicture> decodePicture(const std::string& path) override {
    decodedUnderLock = frameLock().heldByCurrentThread();
    if (!decodedUnderLock) {
      platform::LockGuard videoThread(frameLock());
      state_.privateSettings = 1;
      state_.currentChannelId = 5;
      selectChannelRecord(state_);
    }
    return inner_.decodePicture(path);
  }
  platform::Lock& frameLock() override { return inner_.frameLock(); }
  LogoSettings* layerInUse() override { return inner_.layerInUse(); }
  std::vector<int32_t> layerNumbers() override { return inner_.layerNumbers(); }
  int32_t selectedLayer() override { return inner_.selectedLayer(); }
  void selectLayer(int32_t number) override { inner_.selectLayer(number); }
  int32_t addLayer() override { return inner_.addLayer(); }
  void removeLayer() override { inner_.removeLayer(); }
  void reloadLayers() override { inner_.reloadLayers(); }
  int32_t privateSettings() const override { return inner_.privateSettings(); }
  void setPrivateSettings(int32_t on) override { inner_.setPrivateSettings(on); }
  std::string channelName() const override { return inner_.channelName(); }
  bool logoLoaded() const override { return inner_.logoLoaded(); }
  bool pictureSize(int32_t& w, int32_t& h) const override { return inner_.pictureSize(w, h); }
  int32_t frameHeight() const override { return inner_.frameHeight(); }
  void reloadLogo() override { inner_.reloadLogo(); }
  void installPicture(const std::string& path, DecodedPicture& p) override { inner_.installPicture(path, p); }
  void rebuildOverlay() override { inner_.rebuildOverlay(); }
  void restartShowTiming() override { inner_.restartShowTiming(); }
  void backUpTable() override { inner_.backUpTable(); }
  void restoreTable() override { inner_.restoreTable(); }
  void drawPreview(PreviewPane& pane) override { inner_.drawPreview(pane); }
  std::string openFileFilter() override { return inner_.openFileFilter(); }

 private:
  PluginState& state_;
  DialogModel& inner_;
};

TEST_F(DialogTest, PictureIsDecodedOutsideTheLockForTheRecordInUseAtInstall) {
  const std::string path = ::testing::TempDir() + "dialog_decode_40x20.bmp";
  ASSERT_TRUE(testing_support::writeBmp24(path, 40, 20, [](int x, int) { return static_cast<uint32_t>(x); }));
  WatchedModel watched(*state_, state_->dialogModel);
  controller().onInitDialog(watched, view_);
  view_.pump();
  view_.fileAnswers.push_back(path);
  view_.click(kIdChooseLogo);
  EXPECT_FALSE(watched.decodedUnderLock);
  if (!state_->show(1).logoLoaded) GTEST_SKIP() << "this build cannot read Windows bitmaps yet";
  ASSERT_EQ(state_->currentIndex, 1) << "the switch made meanwhile selected channel 5's record";
  EXPECT_EQ(state_->channelTable[1].LogoFileName, path);
  EXPECT_EQ(state_->channelTable[1].LogoSizeY, 35);  // 20 of 576 lines
  EXPECT_EQ(state_->channelTable[0].LogoFileName, "");
  EXPECT_EQ(state_->show(1).logo.current().width, 40);
  view_.destroyWindow();
}

TEST_F(DialogTest, ChoosingAPictureSizesItFromItsPixelsAndKeepsThePosition) {
  const std::string path = ::testing::TempDir() + "dialog_choose_100x50.bmp";
  ASSERT_TRUE(testing_support::writeBmp24(path, 100, 50, [](int x, int y) {
    return static_cast<uint32_t>(x * 2 + (y << 9));
  }));
  record().LogoPosX = 20;
  record().LogoPosY = 30;
  open();
  view_.fileAnswers.push_back(path);
  view_.click(kIdChooseLogo);
  ASSERT_FALSE(view_.lastFilter.empty());
  EXPECT_EQ(view_.lastFilter.back(), '\0');
  if (!state_->show(1).logoLoaded) GTEST_SKIP() << "this build cannot read Windows bitmaps yet";
  EXPECT_EQ(record().LogoFileName, path);
  EXPECT_EQ(record().LogoSizeY, 87);
  EXPECT_EQ(record().LogoSizeX, 131);
  EXPECT_EQ(record().LogoPosX, 20);
  EXPECT_EQ(record().LogoPosY, 30);
  EXPECT_EQ(view_.postedLog.back(), kNotifyEverything);
  view_.pump();
  EXPECT_TRUE(enabled(kIdRemoveLogo));
  EXPECT_EQ(view_.controls[kIdFileName].text, path);

  view_.click(kIdRemoveLogo);
  EXPECT_TRUE(record().LogoFileName.empty());
  EXPECT_EQ(state_->show(1).logoLoaded, 0);
  view_.pump();
  EXPECT_EQ(view_.controls[kIdFileName].text, texts::kNoLogo);
  EXPECT_FALSE(enabled(kIdRemoveLogo));
}

TEST_F(DialogTest, AnUnreadablePictureLeavesNoLogoAndTheOldSize) {
  givePicture(8, 4);
  record().LogoSizeX = 250;
  record().LogoSizeY = 180;
  open();
  view_.fileAnswers.push_back(std::nullopt);  // cancelled: nothing changes
  view_.click(kIdChooseLogo);
  EXPECT_EQ(record().LogoFileName, "memory.bmp");
  EXPECT_EQ(state_->show(1).logoLoaded, 1);

  view_.fileAnswers.push_back(::testing::TempDir() + "no_such_picture.bmp");
  view_.click(kIdChooseLogo);
  EXPECT_TRUE(record().LogoFileName.empty());
  EXPECT_EQ(state_->show(1).logoLoaded, 0);
  EXPECT_EQ(record().LogoSizeX, 250);
  EXPECT_EQ(record().LogoSizeY, 180);
  view_.pump();
  EXPECT_EQ(view_.controls[kIdFileName].text, texts::kNoLogo);
}

TEST_F(DialogTest, KeyColourChooserRepaintsTheSwatchEvenWhenCancelled) {
  givePicture(8, 4);
  record().ColorKey = 0x00010203;
  open();
  view_.colorAnswers.push_back(std::nullopt);
  view_.click(kIdColorSwatch);
  EXPECT_EQ(view_.colorChooserOpenedOn, 0x00010203u);
  EXPECT_EQ(record().ColorKey, 0x00010203u);
  EXPECT_EQ(view_.swatchRepaints, 1);
  view_.colorAnswers.push_back(0x00FF8000u);
  view_.click(kIdColorSwatch);
  EXPECT_EQ(record().ColorKey, 0x00FF8000u);
  EXPECT_EQ(view_.swatchRepaints, 2);
}

// ---- texts ------------------------------------------------------------------

TEST(DialogTexts, ShowAsTheirRussianWordsThroughBothConversions) {
  struct Case {
    const char* cp1251;
    const char* utf8;
  };
  const Case cases[] = {
      {texts::kNoLogo, u8"Л о г о т и п   н е   в ы б р а н"},
      {texts::kOpacityWarning, u8"Значение прозрачности должно быть цифрой от 0 до 100"},
      {texts::kTipPreview, u8"Логотип"},
      {texts::kTipColorKeyEnable, u8"Учитывать прозрачный цвет при выводе логотипа"},
      {texts::kTipLeftTopPixel, u8"Цвет левого верхнего пиксела логотипа"},
      {texts::kTipColorSwatch, u8"Выбрать прозрачный цвет"},
      {texts::kTipChooseLogo, u8"Выбрать логотип"},
      {texts::kTipRemoveLogo, u8"Отключить логотип"},
      {texts::kDialogCaption, u8"Ostrane_Marquel плагин"},
      {texts::kGroupChannel, u8"Канал"},
      {texts::kGroupLogoFile, u8"Файл логотипа"},
      {texts::kColorKeyEnable, u8"Прозрачный цвет"},
      {texts::kLeftTopPixel, u8"Левый верхний пиксел"},
      {texts::kPrivateSettings, u8"Настройка по каналам:"},
      {texts::kShowLogo, u8"Показать логотип:"},
      {texts::kOpacityLabel, u8"Прозрачность:"},
      {texts::kAboutButton, u8"О плагине"},
      {texts::kOkButton, u8"ОК"},
      {texts::kCancelButton, u8"Отмена"},
      {texts::kAboutVersion, u8"Ver.1.03"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cp1251ToUtf8(c.cp1251), reinterpret_cast<const char*>(c.utf8));
    const std::u16string wide = cp1251ToUtf16(c.cp1251);
    EXPECT_EQ(wide.size(), std::strlen(c.cp1251));  // one UTF-16 unit per byte
  }
  EXPECT_EQ(texts::tooltipFor(kIdPreview), texts::kTipPreview);
  EXPECT_EQ(texts::tooltipFor(kIdOk), nullptr);
}

}  // namespace
}  // namespace om
