// A help viewer for tests: counts how often help was asked for.
#pragma once

#include "HelpViewer.h"

class ScriptedHelpViewer : public HelpViewer {
public:
    void openHelp() override { ++m_opens; }
    int opens() const { return m_opens; }

private:
    int m_opens = 0;
};
