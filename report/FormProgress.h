// The progress window: a caption naming the report's current step and a
// bar. The user cannot close it; the program closes it when the report is
// done.
#pragma once

#include <QWidget>
#include <memory>

#include "Progress.h"

class QCloseEvent;
class QLabel;
class QProgressBar;

namespace pellacor {

class FormProgress : public QWidget {
  Q_OBJECT

 public:
  explicit FormProgress(QWidget* parent = nullptr);
  ~FormProgress() override;

  QLabel* LabelProgress() const { return label_; }
  QProgressBar* pbProgress() const { return bar_; }
  // The report's views of the two controls.
  ProgressLabel* label() const { return label_adapter_.get(); }
  ProgressBar* bar() const { return bar_adapter_.get(); }

  // The program's own close, which the window does not refuse.
  void CloseByProgram();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* label_;
  QProgressBar* bar_;
  std::unique_ptr<ProgressLabel> label_adapter_;
  std::unique_ptr<ProgressBar> bar_adapter_;
  bool closing_by_program_ = false;
};

}  // namespace pellacor
