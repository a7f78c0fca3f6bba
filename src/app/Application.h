#pragma once
// What the program sets on its application object before the main window exists: its name and
// picture, and Qt's own texts in French.
class QWidget;

void setUpApplication();  // once the application object exists

// Shows a window again over the others, as when a later start hands its files to this editor.
void bringForward(QWidget& window);
