#pragma once
// Where the program's modal windows go among its other windows.
class QWidget;

// Call before showing a modal dialog or message box (it must be hidden: changing the flags of a
// shown window hides it). Two things keep it above every other window of the program:
// - while another window of the program stays on top (the control panel, the settings dialog, or
//   the main window with "常に手前に表示"), the dialog stays on top too; window managers keep such
//   windows above all ordinary ones, a modal dialog included;
// - it is made modal for the whole program rather than for its parent alone, so a click on a
//   panel that raises the panel raises the dialog above it as well.
// Its position is still worked out from its parent.
void KeepAboveProgramWindows(QWidget *dialog);
