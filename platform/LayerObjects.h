// The layer's process-wide tables. They live in one object together with Application and Screen
// (Forms.cpp), made before those two and freed after them, so the forms and their menu items and
// timers that Application frees at exit still find the tables they leave.
#pragma once

#include <map>
#include <vector>

#include <windows.h>

class TMainMenu;
class TMenuItem;
class TTimer;

struct TLayerTables
{
    std::map<UINT, TMenuItem*> menuCommands; // every menu item by its command id
    UINT lastMenuCommand = 0;
    std::vector<TMainMenu*> mainMenus;
    std::map<UINT_PTR, TTimer*> timers; // every running timer by its id
    UINT_PTR lastTimerId = 0;
};

// Made on first use (start-up at the latest) and freed at exit after Application and Screen.
TLayerTables& LayerTables();

// Adds a procedure run at exit before Application and Screen are freed (the last added first), for
// a process-wide object of a higher folder that still needs the application window.
void AddLayerExitProc(void (*proc)());
