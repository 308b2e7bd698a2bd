#pragma once

// The one QApplication of a widget test program, made on first use (on the off-screen
// platform unless told otherwise).
void EnsureQtApplication();
