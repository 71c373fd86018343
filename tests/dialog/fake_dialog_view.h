// A dialog window without a window system: records what the controller shows,
// answers its modal questions from queues, and delivers posted messages and
// timer ticks when the test pumps them, as a message loop would.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dialog/dialog_controller.h"
#include "dialog/dialog_ids.h"
#include "dialog/dialog_view.h"
#include "dialog/setting_controls.h"
#include "dialog/preview_pane.h"
#include "tests/support/bmp_file.h"

namespace om {
namespace testing_support {

class FakeDialogView : public DialogView {
 public:
  explicit FakeDialogView(DialogController& controller) : controller_(controller) {}

  struct Control {
    std::string text;
    TextEncoding encoding = TextEncoding::Cp1251;
    bool checked = false;
    bool enabled = true;
    int32_t choice = -1;
    std::vector<std::string> items;
  };

  // Geometry the placement rule sees.
  Rect dialogRect{0, 0, 300, 200};
  Rect hostRect{0, 0, 800, 600};
  ScreenSize screen{1024, 768};
  int32_t paneWidth = 150, paneHeight = 80;

  std::map<int32_t, Control> controls;
  std::set<int32_t> runningTimers;
  int flashes = 0, swatchRepaints = 0, presents = 0, aboutShown = 0;
  int setUps = 0, tearDowns = 0;
  std::vector<std::string> warnings;
  std::vector<int32_t> postedLog;  // every code ever posted
  std::string lastFilter;
  int lockViolations = 0;           // a modal window or control update under FrameLock

  // Answers of the modal choosers, oldest first; nullopt means Cancel.
  std::deque<std::optional<std::string>> fileAnswers;
  std::deque<std::optional<uint32_t>> colorAnswers;

  void* windowHandle() const override { return const_cast<FakeDialogView*>(this); }
  Rect windowRect() const override { return dialogRect; }
  Rect hostWindowRect() const override { return hostRect; }
  ScreenSize screenSize() const override { return screen; }
  void moveWindow(int32_t x, int32_t y) override {
    const int32_t w = dialogRect.width(), h = dialogRect.height();
    dialogRect = Rect{x, y, x + w, y + h};
  }
  void setUpControls() override { ++setUps; }
  void tearDownControls() override { ++tearDowns; }
  std::unique_ptr<PreviewPane> createPreviewPane() override {
    return std::make_unique<PreviewPane>(paneWidth, paneHeight);
  }
  void presentPreview(PreviewPane&) override {
    checkUnlocked();
    ++presents;
  }

  void setCheck(int32_t id, bool checked) override {
    checkUnlocked();
    controls[id].checked = checked;
  }
  bool isChecked(int32_t id) const override {
    auto it = controls.find(id);
    return it != controls.end() && it->second.checked;
  }
  void setText(int32_t id, const std::string& text, TextEncoding encoding) override {
    checkUnlocked();
    controls[id].text = text;
    controls[id].encoding = encoding;
  }
  std::string text(int32_t id) const override {
    auto it = controls.find(id);
    return it == controls.end() ? std::string() : it->second.text;
  }
  void setEnabled(int32_t id, bool enabled) override {
    checkUnlocked();
    controls[id].enabled = enabled;
  }
  // Like an up-down with a buddy: the edit's text follows, and a changed
  // text notifies the dialog at once.
  void setSpinPosition(int32_t spinId, int32_t position) override {
    checkUnlocked();
    if (const SettingControl* c = settingControlFor(spinId)) editNumber(c->id, std::to_string(position));
  }
  void setListItems(int32_t id, const std::vector<std::string>& items) override {
    checkUnlocked();
    controls[id].items = items;
  }
  void setChoice(int32_t id, int32_t index) override {
    checkUnlocked();
    controls[id].choice = index;
  }
  int32_t choice(int32_t id) const override {
    auto it = controls.find(id);
    return it == controls.end() ? -1 : it->second.choice;
  }
  void showMorePage(bool shown) override { morePageShown = shown; }
  void repaintSwatch() override {
    checkUnlocked();
    ++swatchRepaints;
    lastSwatch = controller_.swatchLook(!controls[kIdColorSwatch].enabled);
  }

  void postNotify(int32_t code) override {
    queue_.push_back(code);
    postedLog.push_back(code);
  }
  void postClose() override { queue_.push_back(kClose); }
  void destroyWindow() override {
    checkUnlocked();
    destroyed = true;
    controller_.onDestroy();
    runningTimers.clear();
    queue_.clear();  // messages for a destroyed window are never delivered
  }
  void startTimer(int32_t id, uint32_t periodMs) override {
    runningTimers.insert(id);
    periods[id] = periodMs;
  }
  void stopTimer(int32_t id) override { runningTimers.erase(id); }
  void flashCaption() override { ++flashes; }

  bool chooseLogoFile(const std::string& filter, std::string& path) override {
    checkUnlocked();
    lastFilter = filter;
    if (fileAnswers.empty()) return false;
    std::optional<std::string> answer = fileAnswers.front();
    fileAnswers.pop_front();
    if (!answer) return false;
    path = *answer;
    return true;
  }
  bool chooseColor(uint32_t initial, uint32_t& chosen) override {
    checkUnlocked();
    colorChooserOpenedOn = initial;
    if (colorAnswers.empty()) return false;
    std::optional<uint32_t> answer = colorAnswers.front();
    colorAnswers.pop_front();
    if (!answer) return false;
    chosen = *answer;
    return true;
  }
  void showRangeWarning(const char* text) override {
    checkUnlocked();
    warnings.push_back(text);
  }
  void showAbout() override {
    checkUnlocked();
    ++aboutShown;
  }

  // ---- what the user and the message loop do ----

  // A click: an auto check box toggles itself before telling the dialog.
  void click(int32_t id) {
    const SettingControl* c = settingControlFor(id);
    if (id == kIdPrivateSettings || (c && c->kind == ControlKind::CheckBox))
      controls[id].checked = !controls[id].checked;
    controller_.onCommand(id);
  }
  // A list's item picked.
  void select(int32_t id, int32_t index) {
    controls[id].choice = index;
    controller_.onCommand(id);
  }
  // An edit's text changes (typing, deleting, pasting).
  void editNumber(int32_t id, const std::string& text) {
    Control& edit = controls[id];
    if (edit.text == text) return;
    edit.text = text;
    controller_.onNumberTextChanged(id);
  }
  void editOpacity(const std::string& text) { editNumber(kIdOpacityEdit, text); }
  // Delivers posted messages, including those posted while delivering.
  void pump() {
    while (!queue_.empty()) {
      const int32_t message = queue_.front();
      queue_.pop_front();
      if (message == kClose)
        controller_.onClose();
      else
        controller_.onNotify(message);
    }
  }
  bool tick(int32_t timerId) {
    if (!runningTimers.count(timerId)) return false;
    controller_.onTimer(timerId);
    return true;
  }
  bool pending() const { return !queue_.empty(); }

  bool destroyed = false;
  bool morePageShown = false;
  std::map<int32_t, uint32_t> periods;
  std::optional<uint32_t> colorChooserOpenedOn;
  SwatchLook lastSwatch;

 private:
  static constexpr int32_t kClose = -1;
  void checkUnlocked() {
    if (controller_.frameLockHeld()) ++lockViolations;
  }
  DialogController& controller_;
  std::deque<int32_t> queue_;
};

using om::test::writeBmp24;

}  // namespace testing_support
}  // namespace om
