// A UI port that records what the worker shows, in order, for the pipeline's tests. Like the
// real front ends it shows nothing once the run is cancelled: calls that arrive afterwards are
// kept apart as late calls, so a test can count them.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "pipeline/ui_port.h"

namespace korvane::testing {

struct UiEvent {
  enum Kind { kCaption, kPosition, kMaximum, kMessage, kFailure } kind;
  Control control;
  std::string text;  // caption, message or failure text (GBK)
  int value = 0;     // position, maximum or message style

  bool operator==(const UiEvent&) const = default;
};

class RecordingUi : public UiPort {
 public:
  RecordingUi(std::string id, std::string folder)
      : id_(std::move(id)), folder_(std::move(folder)) {}

  void SetCaption(Control control, std::string_view text) override {
    Record({UiEvent::kCaption, control, std::string(text)});
  }
  void SetPosition(Control control, int position) override {
    std::lock_guard lock(mutex_);
    if (control == Control::kProgress1)
      position1_ = position;
    RecordLocked({UiEvent::kPosition, control, {}, position});
  }
  int Position(Control control) override {
    std::lock_guard lock(mutex_);
    return control == Control::kProgress1 ? position1_ : 0;
  }
  void SetMaximum(Control control, int maximum) override {
    Record({UiEvent::kMaximum, control, {}, maximum});
  }
  std::string Text(Control control) override {
    std::lock_guard lock(mutex_);
    return control == Control::kEdit1 ? id_ : control == Control::kEdit2 ? folder_ : "";
  }
  void ShowMessage(std::string_view text, int style) override {
    Record({UiEvent::kMessage, Control::kLabel4, std::string(text), style});
  }

  void ReportFailure(std::string_view reason) override {
    Record({UiEvent::kFailure, Control::kLabel5, std::string(reason)});
  }

  // The reasons given for documents or icons given up, in order.
  std::vector<std::string> Failures() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> reasons;
    for (const auto& event : events_) {
      if (event.kind == UiEvent::kFailure)
        reasons.push_back(event.text);
    }
    return reasons;
  }

  // What Pause shows: the cancel text, after which nothing else may appear.
  void Cancel(std::string_view text) {
    std::lock_guard lock(mutex_);
    events_.push_back({UiEvent::kCaption, Control::kLabel4, std::string(text)});
    cancelled_ = true;
  }

  std::vector<UiEvent> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<UiEvent> LateEvents() const {
    std::lock_guard lock(mutex_);
    return late_;
  }
  // The captions of one control, in order.
  std::vector<std::string> Captions(Control control) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& event : events_) {
      if (event.kind == UiEvent::kCaption && event.control == control)
        texts.push_back(event.text);
    }
    return texts;
  }
  std::vector<UiEvent> Messages() const {
    std::lock_guard lock(mutex_);
    std::vector<UiEvent> messages;
    for (const auto& event : events_) {
      if (event.kind == UiEvent::kMessage)
        messages.push_back(event);
    }
    return messages;
  }

 private:
  void Record(UiEvent event) {
    std::lock_guard lock(mutex_);
    RecordLocked(std::move(event));
  }
  void RecordLocked(UiEvent event) { (cancelled_ ? late_ : events_).push_back(std::move(event)); }

  mutable std::mutex mutex_;
  std::string id_;
  std::string folder_;
  int position1_ = 0;
  bool cancelled_ = false;
  std::vector<UiEvent> events_;
  std::vector<UiEvent> late_;
};

}  // namespace korvane::testing
