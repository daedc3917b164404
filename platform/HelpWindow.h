// The program's own help window: the shipped HTML help in a text browser, with its
// contents links, and a Close button. Links to other sites go to the desktop's browser. A main
// window of its own, so the desktop and its screen readers list it as a window.
#pragma once

#include <QMainWindow>

class QTextBrowser;

class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    // A window of its own, kept with `owner` (it closes when the owner goes).
    explicit HelpWindow(QWidget* owner = nullptr);

    // Loads the HTML file at its start; false, with the window unchanged, when the file
    // cannot be read.
    bool showFile(const QString& path);
    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser = nullptr;
};
