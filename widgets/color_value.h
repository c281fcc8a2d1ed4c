#pragma once

#include <QColor>
#include <QPalette>

namespace mevra::widgets {

// Colours that follow the user's colour scheme instead of holding a fixed value.
enum class SystemColor {
  clBtnFace,       // QPalette::Button
  clBtnShadow,     // QPalette::Dark
  clBtnHighlight,  // QPalette::Light
  cl3DDkShadow,    // QPalette::Shadow
  clHighlight,     // QPalette::Highlight
  clHotLight,      // QPalette::Link
  clGrayText,      // disabled QPalette::Text
  clWindowText,    // QPalette::WindowText
};

// A colour setting: a fixed RGB value, a system colour resolved through the palette at the
// moment of drawing, or "none" (nothing is drawn).
class ColorValue {
 public:
  ColorValue() = default;                                                    // none
  ColorValue(const QColor& rgb) : kind_(Kind::kRgb), rgb_(rgb) {}            // NOLINT: implicit
  ColorValue(SystemColor system) : kind_(Kind::kSystem), system_(system) {}  // NOLINT: implicit

  static ColorValue None() { return {}; }

  bool IsNone() const { return kind_ == Kind::kNone; }
  bool IsSystem() const { return kind_ == Kind::kSystem; }

  // An invalid QColor for "none".
  QColor Resolve(const QPalette& palette) const;

  friend bool operator==(const ColorValue& a, const ColorValue& b);

 private:
  enum class Kind { kNone, kRgb, kSystem };
  Kind kind_ = Kind::kNone;
  QColor rgb_;
  SystemColor system_ = SystemColor::clBtnFace;
};

}  // namespace mevra::widgets
