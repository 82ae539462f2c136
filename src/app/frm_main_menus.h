#pragma once
// The main window's menu actions that the enabling rules and the shortcuts look at.
#include "app/frm_main.h"

struct TfrmMain::MenuSet {
    QMenu *file = nullptr, *editSource = nullptr, *editList = nullptr, *extract = nullptr, *tools = nullptr,
          *view = nullptr;
    // Rule F
    QAction *save = nullptr, *linkPage = nullptr, *makeUrlList = nullptr;
    // Rule E (the conversion submenus are N69 and N70 themselves)
    QAction *undo = nullptr, *del = nullptr, *cut = nullptr, *copy = nullptr, *paste = nullptr, *selectAll = nullptr;
    // Rule L
    QAction *listDelete = nullptr, *listCopy = nullptr;
    // Rule D
    QAction *n7 = nullptr, *n8 = nullptr, *html1 = nullptr, *n92 = nullptr;
    // Rule P (the conversion submenus are N72 and N73)
    QAction *pmUndo = nullptr, *pmCut = nullptr, *pmCopy = nullptr, *n61 = nullptr, *n62 = nullptr;
    // View ticks
    QAction *onTop = nullptr, *listView = nullptr;
};
