// The main window as assistive technology sees it: every control named after its label or
// hint, each label tied to its control, the status panels described; and the settings
// boxes, which are usable only while they have entries.
#include "AccessibleLabels.h"
#include "LineEditToolTip.h"
#include "Unit1.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>

void TForm1::describeForAssistiveTechnology() {
    tieLabelsToControls(this);
    // A folder too long for its box can still be read whole.
    showWholeTextWhenCut(EditOutputFolder, EditOutputFolder->toolTip());
    // The preview buttons show glyphs only: their hints name them.
    for (QToolButton* button : {ButtonPlay, ButtonPause, ButtonStop}) {
        button->setAccessibleName(button->toolTip());
        button->setAccessibleDescription(QStringLiteral("Preview"));
    }
    // A panel's name is the text it shows; the description says what the text is.
    StatusPanels[0]->setAccessibleDescription(QStringLiteral("Status"));
    StatusPanels[1]->setAccessibleDescription(QStringLiteral("Output size"));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));
    // A format without video leaves the video boxes empty: they look disabled then.
    for (QComboBox* box : settingsBoxes()) {
        QAbstractItemModel* model = box->model();
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(model, signal, this, &TForm1::updateSettingsBoxes);
        connect(model, &QAbstractItemModel::modelReset, this, &TForm1::updateSettingsBoxes);
    }
}
