#include "LineEditToolTip.h"

#include <QEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

// QLineEdit keeps this much room between its contents' edge and the text.
constexpr int kTextInset = 2;

class ToolTipWatcher : public QObject {
public:
    ToolTipWatcher(QLineEdit* edit, QString hint) : QObject(edit), m_edit(edit), m_hint(hint) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, &ToolTipWatcher::update);
        update();
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)
            update();
        return false;
    }

private:
    void update() {
        QStyleOptionFrame option;
        option.initFrom(m_edit);
        const QRect contents =
            m_edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, m_edit);
        const QMargins margins = m_edit->textMargins();
        const int room = contents.width() - margins.left() - margins.right() - 2 * kTextInset;
        const bool cut = m_edit->fontMetrics().horizontalAdvance(m_edit->text()) > room;
        m_edit->setToolTip(cut ? m_edit->text() : m_hint);
    }

    QLineEdit* m_edit; // the watcher's parent; window's thread
    QString m_hint;
};

} // namespace

void showWholeTextWhenCut(QLineEdit* edit, const QString& hint) {
    new ToolTipWatcher(edit, hint);
}
