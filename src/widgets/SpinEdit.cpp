#include "widgets/SpinEdit.h"

#include <QLineEdit>

namespace kova {

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {}

TSpinEdit::TSpinEdit(int minimum, int maximum, int value, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    setValue(value);
}

bool TSpinEdit::TypingEnabled() const {
    return !lineEdit()->isReadOnly();
}

void TSpinEdit::SetTypingEnabled(bool enabled) {
    // Only the text is made read-only: the spin box itself keeps stepping.
    lineEdit()->setReadOnly(!enabled);
}

} // namespace kova
