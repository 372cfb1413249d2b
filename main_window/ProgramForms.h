// The program's windows, made once at start-up in a fixed order.
#pragma once

// Makes the main window (the application's main form), then every other window of the program, each
// once and owned by the application, and docks the search windows into the main window.
void CreateProgramForms();
