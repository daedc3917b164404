// The output format list: a drop-down list that tells the window when it is about to open,
// so the number of entries it shows can follow the Additional Options.
#pragma once

#include "ElidingComboBox.h"

#include <functional>

class FormatComboBox : public ElidingComboBox {
    Q_OBJECT
public:
    using ElidingComboBox::ElidingComboBox;
    // Runs before the list opens.
    std::function<void()> onDropDown;

    void showPopup() override {
        if (onDropDown)
            onDropDown();
        ElidingComboBox::showPopup();
    }
};
