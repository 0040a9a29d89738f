#pragma once

#include <QSpinBox>

namespace kova {

// An integer spin edit with a range. With typing disabled the value can only
// be changed with the arrows (buttons, arrow keys, wheel).
class TSpinEdit : public QSpinBox {
    Q_OBJECT

public:
    explicit TSpinEdit(QWidget* parent = nullptr);
    TSpinEdit(int minimum, int maximum, int value, QWidget* parent = nullptr);

    bool TypingEnabled() const;
    void SetTypingEnabled(bool enabled);
};

} // namespace kova
