#include "Zen.h"

#include "Archos.h"

void FillZen(SettingsBoxes& boxes, std::string_view /*variant*/) {
    FillArchos(boxes, "AV500");
    boxes.ComboVideoSize->Select(5); // 640 x 480
}
