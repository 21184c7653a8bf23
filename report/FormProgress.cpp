#include "FormProgress.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <cmath>

namespace pellacor {

namespace {

class LabelAdapter : public ProgressLabel {
 public:
  LabelAdapter(QLabel* label, QWidget* window) : label_(label), window_(window) {}
  void SetCaption(const std::string& caption) override {
    label_->setText(QString::fromUtf8(caption.data(),
                                      static_cast<qsizetype>(caption.size())));
  }
  // Synchronous: paints now, without running the event loop.
  void RepaintWindow() override { window_->repaint(); }

 private:
  QLabel* label_;
  QWidget* window_;
};

class BarAdapter : public ProgressBar {
 public:
  explicit BarAdapter(QProgressBar* bar) : bar_(bar) {}
  void SetMin(float value) override { bar_->setMinimum(ToInt(value)); }
  void SetMax(float value) override { bar_->setMaximum(ToInt(value)); }
  void SetValue(float value) override { bar_->setValue(ToInt(value)); }

 private:
  static int ToInt(float value) { return static_cast<int>(std::lround(value)); }
  QProgressBar* bar_;
};

}  // namespace

FormProgress::FormProgress(QWidget* parent)
    : QWidget(parent),
      label_(new QLabel(this)),
      bar_(new QProgressBar(this)) {
  // 6000 x 1350 twips of client area; Qt scales these logical pixels with
  // the screen.
  setFixedSize(400, 90);
  setWindowTitle(QStringLiteral("Form1"));

  label_->setObjectName(QStringLiteral("LabelProgress"));
  label_->setGeometry(8, 8, 385, 49);
  label_->setTextFormat(Qt::PlainText);  // package paths are never markup
  label_->setWordWrap(true);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label_->setText(QStringLiteral("Initializing..."));

  bar_->setObjectName(QStringLiteral("pbProgress"));
  bar_->setGeometry(8, 64, 385, 17);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);

  label_adapter_ = std::make_unique<LabelAdapter>(label_, this);
  bar_adapter_ = std::make_unique<BarAdapter>(bar_);
}

FormProgress::~FormProgress() = default;

void FormProgress::CloseByProgram() {
  closing_by_program_ = true;
  close();
}

void FormProgress::closeEvent(QCloseEvent* event) {
  // Close requests from the user (close button, window menu, Alt+F4) come
  // from the window system; only the program's own close goes through.
  if (closing_by_program_ || !event->spontaneous()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace pellacor
