#include "DialogUnits.h"

#include <QScreen>
#include <QWidget>
#include <cmath>

namespace {
constexpr double kReferenceDpi = 96.0;
constexpr double kHorizontalPixelsPerUnit = 1.5;
constexpr double kVerticalPixelsPerUnit = 1.625;
}  // namespace

DialogUnits::DialogUnits(double dotsPerInch)
    : m_horizontal(kHorizontalPixelsPerUnit * dotsPerInch / kReferenceDpi),
      m_vertical(kVerticalPixelsPerUnit * dotsPerInch / kReferenceDpi) {}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  const int left = static_cast<int>(std::lround(x * m_horizontal));
  const int top = static_cast<int>(std::lround(y * m_vertical));
  const int right = static_cast<int>(std::lround((x + width) * m_horizontal));
  const int bottom = static_cast<int>(std::lround((y + height) * m_vertical));
  return QRect(left, top, right - left, bottom - top);
}

QSize DialogUnits::ToPixels(int width, int height) const {
  return ToPixels(0, 0, width, height).size();
}

DialogUnits DialogUnitsFor(const QWidget& widget) {
  const QScreen* screen = widget.screen();
  const double dpi = screen ? screen->logicalDotsPerInchX() : kReferenceDpi;
  return DialogUnits(dpi > 0 ? dpi : kReferenceDpi);
}
