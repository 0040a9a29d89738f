#include "widgets/FloatEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace kova {

namespace {

const QString kMinAboveMax =
    QStringLiteral("Min-Value has to be less than or equal to Max-Value !");
const QString kMaxBelowMin =
    QStringLiteral("Max-Value has to be greater than or equal to Min-Value !");

// Significant digits kept before rounding to the decimals.
constexpr int kPrecision = 18;

bool IsControlText(const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 32 || c.unicode() == 127; });
}

// Ctrl with a letter is a shortcut (select all, copy, paste, undo) even where
// the platform reports the letter as its text; the line edit inserts nothing
// for such keys. AltGr (Ctrl+Alt) still types characters.
bool IsShortcut(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return modifiers == Qt::ControlModifier ||
           modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
}

// Adds one unit in the last place of a string of decimal digits; returns true
// when the carry ran out of the front ("99" becomes "00").
bool IncrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return false;
        }
        *it = '0';
    }
    return true;
}

} // namespace

TFloatEdit::TFloatEdit(QWidget* parent) : QLineEdit(parent) {
    const QString localeSeparator = QLocale().decimalPoint();
    separator = localeSeparator.isEmpty() ? QChar('.') : localeSeparator.front();
    setAlignment(Qt::AlignRight);
    // Everything typed must pass the key filter, so no composed input and no
    // dropped text.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAcceptDrops(false);
    SetValue(0);
    remembered = Value();
}

QString TFloatEdit::FormatValue(Extended value, int digits, QChar separator) {
    digits = std::clamp(digits, 0, kMaxDigits);
    if (!std::isfinite(value))
        value = 0;

    // d.ddddddddddddddddde±x: the value rounded to 18 significant digits.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value,
                                       std::chars_format::scientific, kPrecision - 1);
    std::string_view text(buffer, static_cast<std::size_t>(written.ptr - buffer));
    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    std::string mantissa(1, text[0]);
    mantissa += text.substr(2, kPrecision - 1);
    int exponent = 0;
    const std::string_view exponentText = text.substr(text.find('e') + 1);
    std::from_chars(exponentText.data() + (exponentText.front() == '+' ? 1 : 0),
                    exponentText.data() + exponentText.size(), exponent);

    // The value is 0.<mantissa> * 10^integerLength; keep as many digits as
    // reach down to the last decimal.
    int integerLength = exponent + 1;
    const int keep = integerLength + digits;
    std::string kept;
    if (keep >= kPrecision) {
        kept = mantissa;
    } else if (keep >= 0) {
        kept = mantissa.substr(0, static_cast<std::size_t>(keep));
        if (mantissa[static_cast<std::size_t>(keep)] >= '5' && IncrementDigits(kept)) {
            kept.insert(kept.begin(), '1');
            ++integerLength;
        }
    }

    std::string integerPart;
    std::string fraction;
    if (integerLength <= 0) {
        integerPart = "0";
        fraction = std::string(static_cast<std::size_t>(-integerLength), '0') + kept;
    } else {
        const auto length = static_cast<std::size_t>(integerLength);
        integerPart = kept.substr(0, std::min(length, kept.size()));
        integerPart.resize(length, '0');
        if (kept.size() > length)
            fraction = kept.substr(length);
    }
    fraction.resize(static_cast<std::size_t>(digits), '0');

    const bool isZero = (integerPart + fraction).find_first_not_of('0') == std::string::npos;
    QString result = QString::fromLatin1(integerPart);
    if (negative && !isZero)
        result.prepend(QChar('-'));
    if (digits > 0)
        result += separator + QString::fromLatin1(fraction);
    return result;
}

std::optional<Extended> TFloatEdit::ParseValue(const QString& text, QChar separator) {
    QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed == QStringLiteral("-") || trimmed == QString(separator))
        return Extended{0};
    if (trimmed.startsWith(QChar('+')))
        trimmed.remove(0, 1);

    std::string ascii;
    ascii.reserve(static_cast<std::size_t>(trimmed.size()));
    for (const QChar c : trimmed) {
        if (c == separator)
            ascii += '.';
        else if (c == QChar('.') || c.unicode() > 127)
            return std::nullopt; // a point that is not the separator is no number
        else
            ascii += static_cast<char>(c.unicode());
    }
    Extended value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

Extended TFloatEdit::Value() const {
    const Extended value = ParseValue(text(), separator).value_or(minimum);
    return std::clamp(value, minimum, maximum);
}

void TFloatEdit::SetValue(Extended value) {
    if (value > maximum) {
        ShowErrorMessage();
        value = maximum;
    }
    if (value < minimum) {
        ShowErrorMessage();
        value = minimum;
    }
    setText(FormatValue(value, digits, separator));
}

void TFloatEdit::SetDigits(int value) {
    digits = std::clamp(value, 0, kMaxDigits);
    SetValue(Value());
}

void TFloatEdit::SetMin(Extended value) {
    if (value == minimum)
        return;
    if (value > maximum) {
        ShowMessage(kMinAboveMax);
        value = maximum;
    }
    minimum = value;
    SetValue(Value());
}

void TFloatEdit::SetMax(Extended value) {
    if (value == maximum)
        return;
    if (value < minimum) {
        ShowMessage(kMaxBelowMin);
        value = minimum;
    }
    maximum = value;
    SetValue(Value());
}

void TFloatEdit::ShowMessage(const QString& text) {
    QMessageBox::information(this, QApplication::applicationDisplayName(), text);
}

void TFloatEdit::ShowErrorMessage() {
    if (errorMessage != kNoText)
        ShowMessage(errorMessage);
}

void TFloatEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit enterPressed();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        SetValue(remembered);
        selectAll();
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QString typed = event->text();
    if (typed.isEmpty() || IsControlText(typed) || IsShortcut(*event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (typed.size() == 1 && AcceptCharacter(typed.front())) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
}

bool TFloatEdit::AcceptCharacter(QChar typed) {
    const bool isDigit = typed >= QChar('0') && typed <= QChar('9');
    const bool isMinus = typed == QChar('-');
    const bool isSeparator = typed == separator;
    if (!isDigit && !isMinus && !isSeparator)
        return false;

    // The text once the selection is gone, and once the character replaces it.
    const qsizetype start = hasSelectedText() ? selectionStart() : cursorPosition();
    QString rest = text();
    rest.remove(start, selectedText().size());
    QString candidate = rest;
    candidate.insert(start, typed);

    if (isSeparator && (rest.contains(separator) || digits == 0))
        return false;
    if (isMinus && (rest.contains(QChar('-')) || minimum >= 0))
        return false;
    const qsizetype separatorAt = candidate.indexOf(separator);
    if (separatorAt >= 0 && candidate.size() - separatorAt - 1 > digits)
        return false;
    if (isMinus && candidate.indexOf(QChar('-')) != 0)
        return false;

    // A lone sign or separator becomes a number at once, with the digit that
    // the next key will replace selected.
    if (candidate == QStringLiteral("-")) {
        setText(QStringLiteral("-0"));
        setSelection(1, 1);
        return false;
    }
    if (candidate == QString(separator)) {
        setText(QString(QChar('0')) + separator + QChar('0'));
        setSelection(2, 1);
        return false;
    }
    return true;
}

void TFloatEdit::focusInEvent(QFocusEvent* event) {
    remembered = Value();
    QLineEdit::focusInEvent(event);
}

void TFloatEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Switching windows or opening a menu does not leave the field.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    ValidateOnLeave();
}

void TFloatEdit::ValidateOnLeave() {
    emit exited();
    const std::optional<Extended> number = ParseValue(text(), separator);
    if (!number || *number < minimum || *number > maximum) {
        SetValue(remembered);
        selectAll();
        // The focus change that is under way has to finish before the field
        // can take the focus back; the message waits for it as well.
        if (!restoreAfterLeave) {
            restoreAfterLeave = true;
            QTimer::singleShot(0, this, &TFloatEdit::ReclaimFocus);
        }
        return;
    }
    setText(FormatValue(*number, digits, separator));
    SetValue(Value());
    emit exited();
}

void TFloatEdit::ReclaimFocus() {
    restoreAfterLeave = false;
    ShowErrorMessage();
    if (isVisible() && isEnabled()) {
        setFocus(Qt::OtherFocusReason);
        selectAll();
    }
}

} // namespace kova
