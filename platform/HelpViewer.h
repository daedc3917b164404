// The help viewer, behind an interface so tests can see that help was asked for.
#pragma once

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // Shows the help at its table of contents; tells the user when it cannot.
    virtual void openHelp() = 0;
};
