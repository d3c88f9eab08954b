// The test host's user interface: it shows nothing and records every message
// box and progress position, in order, for the test to read back.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/framework.h"

namespace host {

class ScriptedFramework : public Framework {
 public:
  struct Message {
    GbkText caption;
    GbkText text;
    bool operator==(const Message& other) const { return caption == other.caption && text == other.text; }
  };
  struct Progress {
    GbkText unit;
    int position;
    bool operator==(const Progress& other) const { return unit == other.unit && position == other.position; }
  };

  void ShowMessage(const GbkText& text, const GbkText& caption) override;
  void SetProgress(const GbkText& unit, int position) override;

  // Copies, so a worker may still be recording.
  std::vector<Message> messages() const;
  std::vector<Progress> progress() const;
  // The positions one unit was set to, in order.
  std::vector<int> positions(const GbkText& unit) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  std::vector<Progress> progress_;
};

}  // namespace host
