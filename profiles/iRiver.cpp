#include "iRiver.h"

#include "Archos.h"

void FilliRiver(SettingsBoxes& boxes, std::string_view /*variant*/) {
    FillArchos(boxes, "AV500");
    boxes.ComboVideoSize->Select(5); // 640 x 480
}
