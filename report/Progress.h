// What the report knows of the progress window: a label that names the
// current step and a bar. Either may be absent (a null pointer), as when the
// program runs without a display; the report is the same either way.
#pragma once

#include <string>

namespace pellacor {

class ProgressLabel {
 public:
  virtual ~ProgressLabel() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  // Repaints the label's window at once, without processing other events.
  virtual void RepaintWindow() = 0;
};

class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetMin(float value) = 0;
  virtual void SetMax(float value) = 0;
  virtual void SetValue(float value) = 0;
};

}  // namespace pellacor
