#pragma once

#include <QString>

namespace mevra::browser {

// The Ctrl+letter keys the host keeps from the engine. The mask holds the letters, compared
// exactly and case-sensitively against the key; the switches are a friendlier view of it.
class ShortCuts {
 public:
  // Ctrl+N is kept from the engine by default so the user cannot open a stray browser window.
  static constexpr const char* kDefaultMask = "N";

  const QString& CtrlCharMask() const { return ctrl_char_mask_; }
  void SetCtrlCharMask(const QString& mask) { ctrl_char_mask_ = mask; }

  bool DisableCTRL_A() const { return Has('A'); }
  bool DisableCTRL_C() const { return Has('C'); }
  bool DisableCTRL_F() const { return Has('F'); }
  bool DisableCTRL_N() const { return Has('N'); }
  bool DisableCTRL_P() const { return Has('P'); }
  void SetDisableCTRL_A(bool on) { Switch('A', on); }
  void SetDisableCTRL_C(bool on) { Switch('C', on); }
  void SetDisableCTRL_F(bool on) { Switch('F', on); }
  void SetDisableCTRL_N(bool on) { Switch('N', on); }
  void SetDisableCTRL_P(bool on) { Switch('P', on); }

  // Whether the mask differs from the default and so would need to be stored.
  bool IsStored() const { return ctrl_char_mask_ != QLatin1String(kDefaultMask); }

 private:
  bool Has(char letter) const { return ctrl_char_mask_.contains(QLatin1Char(letter)); }
  // Switching on appends the letter when absent; switching off removes its first occurrence.
  void Switch(char letter, bool on);

  QString ctrl_char_mask_ = QLatin1String(kDefaultMask);
};

}  // namespace mevra::browser
