#include "HelpWindow.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 640;
constexpr int kHeight = 560;
const char* const kTitle = "Vidbrisk Help";
} // namespace

HelpWindow::HelpWindow(QWidget* owner) : QMainWindow(owner) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QString::fromLatin1(kTitle));
    // Closing the main window ends the program even while the help is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* central = new QWidget(this);
    m_browser = new QTextBrowser(central);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setAccessibleName(QString::fromLatin1(kTitle));
    // Links within the help move in the browser; others open in the desktop's browser.
    m_browser->setOpenExternalLinks(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, central);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(m_browser, 1);
    layout->addWidget(buttons);
    setCentralWidget(central);
    QSize size(kWidth, kHeight);
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
}

bool HelpWindow::showFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return false;
    file.close();
    m_browser->setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
    return !m_browser->document()->isEmpty();
}
