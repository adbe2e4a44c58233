#pragma once

class QAction;

namespace app {

class RibbonBar;

// The main window's commands, made and handled by the main frame.
struct MainRibbonActions {
    QAction* open = nullptr;              // "Select"
    QAction* startRepair = nullptr;       // "&Repair"
    QAction* stop = nullptr;              // "S&top"
    QAction* exit = nullptr;              // "&Exit"
    QAction* viewStatusBar = nullptr;     // "Status &Bar" (check box)
    QAction* viewMessageWindow = nullptr; // "&MessageLog" (check box)
    QAction* saveLog = nullptr;           // "&Save log"
    QAction* clearLog = nullptr;          // "C&lear log"
    QAction* update = nullptr;            // "&Update"
    QAction* helpEnquiry = nullptr;       // "Submit an &Enquiry"
    QAction* helpKnowledge = nullptr;     // "&Knowledgebase"
    QAction* helpHelp = nullptr;          // "Help"
    QAction* helpAbout = nullptr;         // "&About"
};

// Lays the main window's ribbon out: the application button with the
// program's picture, the quick-access bar (Select, Repair),
// the application menu (Select, Repair..., then Exit at its foot), and the
// categories "File" (panels "Database", "View"), "Tools" ("Log", "Update")
// and "Help" ("Support", "Help Manuals", "About"), with the key tips F, T
// and H, beside the menu an empty "Recent Documents" list. Actions without an icon
// get a stock one. Null actions are left out.
void BuildMainRibbon(RibbonBar& ribbon, const MainRibbonActions& actions);

} // namespace app
