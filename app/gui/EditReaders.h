#pragma once
// The two edit readers of the main window: an edit's text as a real number or as an
// integer, with a check mode that looks at the last character before converting.
//   mode 1 (TCheckMode::digit):        the last character must be a digit
//   mode 2 (TCheckMode::digitOrComma): a digit or ","
// An empty text or a failed check turns the edit red, sets the value to 0 and fails;
// otherwise the edit turns white and the text is converted ("." as the decimal
// separator, as in the files). A text that does not convert shows "Please enter a
// number.", keeps the value and fails.
#include <QString>

class QLineEdit;

namespace ksn::gui {

enum class TCheckMode { digit = 1, digitOrComma = 2 };

bool PassesCheck(const QString& text, TCheckMode mode);
// Red for a failed check, white otherwise.
void MarkEdit(QLineEdit* edit, bool ok);
bool IsMarkedRed(const QLineEdit* edit);

bool ReadReal(QLineEdit* edit, TCheckMode mode, double& value);
bool ReadInt(QLineEdit* edit, TCheckMode mode, int& value);

// Plain conversions without colours or messages (whole text, surrounding blanks allowed).
bool ParseInt(const QString& text, int& value);
bool ParseReal(const QString& text, double& value);

// A real as the files write it (shortest form, "." separator).
QString RealText(double value);

// Live colouring while the user types: the check of `mode` only, no message.
void ColourWhileTyping(QLineEdit* edit, TCheckMode mode);

} // namespace ksn::gui
