#pragma once

#include "foundations/Extended.h"

#include <QLineEdit>
#include <QString>

#include <optional>

namespace kova {

// A one-line numeric field with a fixed number of decimals and a range.
//
// The text is the value: Value() reads it back, clamped to [Min, Max]. Typed
// characters go through a key filter that only lets well-formed numbers in,
// and leaving the field with an unreadable or out-of-range text restores the
// value the field had when it got the focus and keeps the focus in the field.
// The decimal separator is the user's locale separator at construction time.
class TFloatEdit : public QLineEdit {
    Q_OBJECT

public:
    // The ErrorMessage text that means "show no message".
    static inline const QString kNoText = QStringLiteral("[No Text]");
    static constexpr int kMaxDigits = 18;

    explicit TFloatEdit(QWidget* parent = nullptr);

    // The text as a number; empty, "-" and a lone separator read as 0, an
    // unreadable text reads as Min. Clamped to [Min, Max] without a message.
    Extended Value() const;
    // Clamps to [Min, Max] (with ErrorMessage when it had to) and shows the
    // value with Digits decimals.
    void SetValue(Extended value);

    int Digits() const { return digits; }
    // At most kMaxDigits; rewrites the current value.
    void SetDigits(int value);

    Extended Min() const { return minimum; }
    // A minimum above Max is refused with a message and becomes Max.
    void SetMin(Extended value);
    Extended Max() const { return maximum; }
    // A maximum below Min is refused with a message and becomes Min.
    void SetMax(Extended value);

    QString ErrorMessage() const { return errorMessage; }
    void SetErrorMessage(const QString& text) { errorMessage = text; }

    QChar DecimalSeparator() const { return separator; }

    // Fixed notation with `digits` decimals (0..18): the value is first rounded
    // to 18 significant digits, then to the decimals, halves away from zero.
    static QString FormatValue(Extended value, int digits, QChar separator);
    // Reads a number written with `separator`; empty, "-" and a lone separator
    // count as 0. Returns nothing for anything else that is not a finite number.
    static std::optional<Extended> ParseValue(const QString& text, QChar separator);

signals:
    // Enter or Return was pressed; the key itself is swallowed.
    void enterPressed();
    // Raised when the focus leaves the field, before the text is checked, and
    // once more after an accepted text has been rewritten.
    void exited();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    // Shows a message box; tests replace it to see the messages.
    virtual void ShowMessage(const QString& text);

private:
    // The key filter; returns false when the typed character is to be
    // swallowed (it may have rewritten the text itself).
    bool AcceptCharacter(QChar typed);
    void ValidateOnLeave();
    void ReclaimFocus();
    void ShowErrorMessage();

    Extended minimum = 0;
    Extended maximum = 99999999.9L;
    int digits = 1;
    QString errorMessage = kNoText;
    Extended remembered = 0;
    QChar separator;
    bool restoreAfterLeave = false;
};

} // namespace kova
