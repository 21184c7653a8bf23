// Dialog units of the window's template turned into pixels. The template's
// font (8 points at 96 dots per inch) makes a horizontal unit 1.5 pixels and
// a vertical unit 1.625 pixels; other screens scale from there.
#pragma once

#include <QRect>

class QWidget;

class DialogUnits {
 public:
  explicit DialogUnits(double dotsPerInch);
  QRect ToPixels(int x, int y, int width, int height) const;
  QSize ToPixels(int width, int height) const;

 private:
  double m_horizontal;
  double m_vertical;
};

DialogUnits DialogUnitsFor(const QWidget& widget);
