#pragma once

class QApplication;

// The whole program in the application object given: its services, the two windows and its way
// of ending, which is closing either window. Returns the exit code once it has ended.
int runProgram(QApplication &application);
