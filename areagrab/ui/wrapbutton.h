#pragma once
// A push button whose caption wraps onto several lines when the button is
// narrower than the text, as a tall narrow command button shows it.
#include <QPushButton>

namespace areagrab {

class WrapButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace areagrab
