#include "widgets/color_value.h"

namespace mevra::widgets {

QColor ColorValue::Resolve(const QPalette& palette) const {
  switch (kind_) {
    case Kind::kNone:
      return {};
    case Kind::kRgb:
      return rgb_;
    case Kind::kSystem:
      break;
  }
  switch (system_) {
    case SystemColor::clBtnFace:
      return palette.color(QPalette::Active, QPalette::Button);
    case SystemColor::clBtnShadow:
      return palette.color(QPalette::Active, QPalette::Dark);
    case SystemColor::clBtnHighlight:
      return palette.color(QPalette::Active, QPalette::Light);
    case SystemColor::cl3DDkShadow:
      return palette.color(QPalette::Active, QPalette::Shadow);
    case SystemColor::clHighlight:
      return palette.color(QPalette::Active, QPalette::Highlight);
    case SystemColor::clHotLight:
      return palette.color(QPalette::Active, QPalette::Link);
    case SystemColor::clGrayText:
      return palette.color(QPalette::Disabled, QPalette::Text);
    case SystemColor::clWindowText:
      return palette.color(QPalette::Active, QPalette::WindowText);
  }
  return {};
}

bool operator==(const ColorValue& a, const ColorValue& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case ColorValue::Kind::kNone:
      return true;
    case ColorValue::Kind::kRgb:
      return a.rgb_ == b.rgb_;
    case ColorValue::Kind::kSystem:
      return a.system_ == b.system_;
  }
  return false;
}

}  // namespace mevra::widgets
